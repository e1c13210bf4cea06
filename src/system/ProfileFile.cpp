#include "system/ProfileFile.h"

#include <utility>

namespace quenterra {

ProfileFile::ProfileFile(QString path) : path_(std::move(path)) {}

const QString& ProfileFile::path() const
{
    return path_;
}

void ProfileFile::setBeforeReplaceHook(std::function<bool()> hook)
{
    beforeReplace_ = std::move(hook);
}

std::optional<QByteArray> DiskSettingsFiles::read(const QString& path) const
{
    return ProfileFile(path).read();
}

bool DiskSettingsFiles::update(const QString& path, const std::function<void(IniDocument&)>& edit)
{
    return ProfileFile(path).update(edit);
}

}  // namespace quenterra
