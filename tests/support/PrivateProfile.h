#pragma once

// The two Windows calls the settings file's format comes from, over the real file: a test reads
// and writes single keys of a file with them.

#include <QByteArrayView>
#include <QString>

#include "settings/IniDocument.h"
#include "system/settingsfile/DiskSettingsFiles.h"

namespace quenterra::test {

// The integer value of key in section of the settings file at path (see ProfileInt());
// defaultValue when the file, the section or the key is missing, or the value is empty.
inline qint32 GetPrivateProfileIntA(QByteArrayView section, QByteArrayView key, qint32 defaultValue,
                                    const QString& path)
{
    const std::optional<QByteArray> bytes = DiskSettingsFiles().read(path);
    if (!bytes) {
        return defaultValue;
    }
    return ProfileInt(IniDocument(*bytes), section, key, defaultValue);
}

// Sets key in section of the settings file at path to value, creating the file, the section or the
// key as needed and leaving everything else as it was; the file is replaced atomically. True on
// success; false when the file cannot be written or the three cannot be stored as given (see
// IniDocument::canStore()).
inline bool WritePrivateProfileStringA(QByteArrayView section, QByteArrayView key,
                                       QByteArrayView value, const QString& path)
{
    if (!IniDocument::canStore(section, key, value)) {
        return false;
    }
    return DiskSettingsFiles().update(path, [&](const QByteArray& current) {
        IniDocument document(current);
        document.setValue(section, key, value);
        return document.bytes();
    });
}

}  // namespace quenterra::test
