#include "system/ProfileFile.h"

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
    QFile current(path);
    if (current.exists()) {
        if (!current.open(QIODevice::ReadOnly)) {
            return false;
        }
        old = current.readAll();
        if (current.error() != QFileDevice::NoError) {
            return false;
        }
        current.close();
    }
    IniDocument document(old);
    edit(document);
    if (document.bytes() == old) {
        return true;
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
    if (file.error() != QFileDevice::NoError || bytes.size() > kMaxBytes) {
        return std::nullopt;
    }
    return bytes;
}

bool ProfileFile::update(const std::function<void(IniDocument&)>& edit)
{
    return !path_.isEmpty() && saveWithSaveFile(path_, edit, beforeReplace_);
}

}  // namespace quenterra
