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
// program's own folder cannot be written and the user's copy does not exist yet. An empty path is
// nowhere: nothing is read or written there.
struct SettingsLocation {
    QString loadPath;
    QString savePath;
};

inline const QString kSettingsFileName = QStringLiteral("Vorlenta.ini");

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

    // Writes the seven values back in one atomic replacement of the file, changing only the lines
    // whose value changes: a line that already reads as its value keeps its text, comment and all.
    // A key that was changed in the file while the program ran keeps the file's text, and a value
    // that fitted no item is written back as it was read. A user's copy made from the file it was
    // loaded from starts with a comment that names that file. False when the file could not be
    // written (the caller stays silent).
    bool save(SettingsSelectors selectors) const;

    // 7 -> "/dev/serial/by-id/usb-...": the port numbers the user pinned to devices (keys "COM7"
    // of the section "Ports"), as the last load read them; empty before the first load.
    const QMap<int, QString>& portPins() const { return portPins_; }

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
