#include "system/settingsfile/ProfileFile.h"

#include <QFile>
#include <QSaveFile>

namespace quenterra {

namespace {

using Edit = std::function<void(IniDocument&)>;
using Hook = std::function<bool()>;

// The save through QSaveFile, which also writes through symbolic links.
bool saveWithSaveFile(const QString& path, const Edit& edit, const Hook& hook)
{
    QByteArray old;
    if (QFile::exists(path)) {
        const std::optional<QByteArray> readable = ProfileFile(path).read();
        if (!readable) {
            return false;  // never replace what cannot be read
        }
        old = *readable;
    }
    IniDocument document(old);
    edit(document);
    if (document.bytes() == old) {
        return true;
    }
    if (document.bytes().size() > ProfileFile::kMaxBytes) {
        return false;  // the next start could not read it
    }
    QSaveFile save(path);
    save.setDirectWriteFallback(false);
    if (!save.open(QIODevice::WriteOnly) ||
        save.write(document.bytes()) != document.bytes().size() || !save.flush() ||
        (hook && !hook())) {
        save.cancelWriting();
        return false;
    }
    return save.commit();
}

}  // namespace

std::optional<QByteArray> ProfileFile::read() const
{
    QFile file(path_);
    if (path_.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() > kMaxBytes) {
        return std::nullopt;
    }
    QByteArray bytes = file.read(kMaxBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > kMaxBytes ||
        !AsciiCompatible(bytes)) {
        return std::nullopt;
    }
    return bytes;
}

bool ProfileFile::update(const std::function<void(IniDocument&)>& edit)
{
    return !path_.isEmpty() && saveWithSaveFile(path_, edit, beforeReplace_);
}

}  // namespace quenterra
