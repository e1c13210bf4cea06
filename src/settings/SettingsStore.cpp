#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>

#include <limits>

#include "badge/PortMap.h"
#include "platform/SettingsFiles.h"
#include "settings/IniDocument.h"

namespace quenterra {
namespace {

std::array<Selector*, kSettingRows.size()> inRowOrder(const SettingsSelectors& s)
{
    return {&s.year, &s.month, &s.day, &s.hour, &s.minute, &s.second, &s.bright};
}

constexpr QByteArrayView kPortsSection = "Ports";

}  // namespace

SettingsStore::SettingsStore(SettingsLocation location, SettingsFiles& files)
    : location_(std::move(location)), files_(&files)
{
}

void SettingsStore::load(SettingsSelectors selectors)
{
    const IniDocument document(files_->read(location_.loadPath).value_or(QByteArray()));
    const bool sameFile = location_.savePath == location_.loadPath;
    const IniDocument target =
        sameFile ? document : IniDocument(files_->read(location_.savePath).value_or(QByteArray()));
    const auto list = inRowOrder(selectors);
    for (size_t i = 0; i < kSettingRows.size(); ++i) {
        const SettingRow& row = kSettingRows[i];
        Selector& selector = *list[i];
        const qint32 value = ProfileInt(document, row.section, row.key, row.defaultValue);
        const qint64 position = qint64(value) - row.offset;
        const bool fits = value >= std::numeric_limits<qint16>::min() &&
                          value <= std::numeric_limits<qint16>::max() && position >= -1 &&
                          position < selector.count();
        selector.setListPosition(fits ? static_cast<int>(position) : -1);
        loaded_[i] = {document.value(row.section, row.key), target.value(row.section, row.key),
                      fits};
    }

    portPins_.clear();
    for (int n = kFirstPortNumber; n <= kLastPortNumber; ++n) {
        const auto device = document.value(kPortsSection, PortName(n).toLatin1());
        if (device && !device->isEmpty()) {
            portPins_.insert(n, QFile::decodeName(*device));
        }
    }
}

bool SettingsStore::save(SettingsSelectors selectors) const
{
    if (location_.savePath.isEmpty()) {
        return false;
    }
    const auto list = inRowOrder(selectors);
    // The user's copy starts as a copy of the file it was loaded from, comments and pins included,
    // and says so at the top: edits to the other file count no longer.
    std::optional<IniDocument> seed;
    if (location_.savePath != location_.loadPath && !files_->exists(location_.savePath)) {
        if (const std::optional<QByteArray> bytes = files_->read(location_.loadPath)) {
            seed.emplace(*bytes);
            seed->insertComment(
                "Quenterra reads its settings from this file from now on, in place of " +
                QFile::encodeName(QDir::toNativeSeparators(location_.loadPath)));
        }
    }
    return files_->update(location_.savePath, [&](const QByteArray& current) {
        IniDocument document(seed && current.isEmpty() ? seed->bytes() : current);
        for (size_t i = 0; i < kSettingRows.size(); ++i) {
            const SettingRow& row = kSettingRows[i];
            const Loaded& loaded = loaded_[i];
            if (document.value(row.section, row.key) != loaded.baseline) {
                continue;  // changed in the file while the program ran: the user's edit wins
            }
            if (!loaded.fits && loaded.text) {
                document.setValue(row.section, row.key, *loaded.text);
                continue;
            }
            const int value = list[i]->listPosition() + row.offset;
            // A line that reads as the value already stays as the user wrote it ("Month=04",
            // "Year=2027 ; launch year").
            const std::optional<QByteArray> text = document.value(row.section, row.key);
            if (!text || text->isEmpty() || ParseProfileInt(*text) != value) {
                document.setValue(row.section, row.key, QByteArray::number(value));
            }
        }
        return document.bytes();
    });
}

}  // namespace quenterra
