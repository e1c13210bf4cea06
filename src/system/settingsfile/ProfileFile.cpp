#include "system/settingsfile/ProfileFile.h"

#include <utility>

namespace quenterra {

ProfileFile::ProfileFile(QString path) : path_(std::move(path)) {}

void ProfileFile::setBeforeReplaceHook(std::function<bool()> hook)
{
    beforeReplace_ = std::move(hook);
}

}  // namespace quenterra
