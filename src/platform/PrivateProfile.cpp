#include "platform/PrivateProfile.h"

#include "platform/IniDocument.h"
#include "platform/ProfileFile.h"

namespace quenterra {

qint32 ProfileInt(const IniDocument& document, QByteArrayView section, QByteArrayView key,
                  qint32 defaultValue)
{
    const std::optional<QByteArray> text = document.value(section, key);
    // Like the Windows call it stands in for, an empty value reads as the default.
    if (!text || text->isEmpty()) {
        return defaultValue;
    }
    return ParseProfileInt(*text);
}

qint32 GetPrivateProfileIntA(QByteArrayView section, QByteArrayView key, qint32 defaultValue,
                             const QString& path)
{
    const std::optional<QByteArray> bytes = ProfileFile(path).read();
    if (!bytes) {
        return defaultValue;
    }
    return ProfileInt(IniDocument(*bytes), section, key, defaultValue);
}

bool WritePrivateProfileStringA(QByteArrayView section, QByteArrayView key, QByteArrayView value,
                                const QString& path)
{
    if (!IniDocument::canStore(section, key, value)) {
        return false;
    }
    return ProfileFile(path).update(
        [&](IniDocument& document) { document.setValue(section, key, value); });
}

}  // namespace quenterra
