#pragma once

#include <QByteArrayView>
#include <QString>

namespace quenterra {

class IniDocument;

// The integer value of key in section of a settings file's content (see ParseProfileInt());
// defaultValue when the section or the key is missing, or the value is empty.
qint32 ProfileInt(const IniDocument& document, QByteArrayView section, QByteArrayView key,
                  qint32 defaultValue);

// The integer value of key in section of the settings file at path (see ParseProfileInt());
// defaultValue when the file, the section or the key is missing, or the value is empty.
qint32 GetPrivateProfileIntA(QByteArrayView section, QByteArrayView key, qint32 defaultValue,
                             const QString& path);

// Sets key in section of the settings file at path to value, creating the file, the section or the
// key as needed and leaving everything else as it was; the file is replaced atomically. True on
// success; false when the file cannot be written or the three cannot be stored as given (see
// IniDocument::canStore()).
bool WritePrivateProfileStringA(QByteArrayView section, QByteArrayView key, QByteArrayView value,
                                const QString& path);

}  // namespace quenterra
