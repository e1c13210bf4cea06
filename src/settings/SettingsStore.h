#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <array>
#include <optional>

#include "platform/Controls.h"
#include "platform/SettingsFiles.h"

namespace quenterra {

// The seven hidden selectors whose list positions the settings file keeps.
struct SettingsSelectors {
    Selector& year;
    Selector& month;
    Selector& day;
    Selector& hour;
    Selector& minute;
    Selector& second;
    Selector& bright;
};

// One stored value: its place in the file, and how it maps to its selector's list position.
struct SettingRow {
    const char* section;
    const char* key;
    int offset;        // stored value = list position + offset
    int defaultValue;  // used when the file, the section or the key is missing
};

inline constexpr std::array<SettingRow, 7> kSettingRows{{
    {"Target Date", "Year", 2012, 2012},
    {"Target Date", "Month", 1, 12},
    {"Target Date", "Day", 1, 31},
    {"Target Time", "Hour", 0, 23},
    {"Target Time", "Minute", 0, 59},
    {"Target Time", "Second", 0, 59},
    {"ShowBright", "BrightValue", 1, 4},
}};

// Where the settings file is read at start and written at exit. The two differ only where the
// program's own folder cannot be written and the user's copy does not exist yet.
struct SettingsLocation {
    QString loadPath;
    QString savePath;
};

inline const QString kSettingsFileName = QStringLiteral("Vorlenta.ini");

// Where the settings file is: beside the program, in programFolder, when that folder can be
// written. Otherwise, and always for a program installed under /usr, it is the user's own copy in
// userFolder; until that copy exists, the load starts from the file beside the program. Without a
// program folder (empty or not an absolute path) only the user's copy is used, never a file in the
// working folder.
SettingsLocation LocateSettings(const QString& programFolder, const QString& userFolder);

// The settings file: the target moment and the brightness, read into the hidden selectors at start
// and written back at exit. Also the user's pins of port numbers to devices (section "Ports"),
// which are only ever read.
class SettingsStore {
public:
    // Reads and writes the files through files, which must outlive the store.
    SettingsStore(SettingsLocation location, SettingsFiles& files);

    // Reads the file once and sets the seven list positions. A stored value that fits no item of
    // its selector leaves that selector with no item chosen.
    void load(SettingsSelectors selectors);

    // Writes the seven values back in one atomic replacement of the file. A key that was changed in
    // the file while the program ran keeps the file's text, and a value that fitted no item is
    // written back as it was read. False when the file could not be written (the caller stays
    // silent).
    bool save(SettingsSelectors selectors) const;

    // "COM7" -> "/dev/serial/by-id/usb-...": port numbers the user pinned to devices, as loaded.
    const QMap<int, QString>& portPins() const { return portPins_; }

    const SettingsLocation& location() const { return location_; }

private:
    struct Loaded {
        std::optional<QByteArray> text;      // the key's text in the file that was read
        std::optional<QByteArray> baseline;  // the key's text in the file that will be written
        bool fits = true;                    // whether the value mapped into the selector's list
    };

    SettingsLocation location_;
    SettingsFiles* files_;
    std::array<Loaded, kSettingRows.size()> loaded_;
    QMap<int, QString> portPins_;
};

}  // namespace quenterra
