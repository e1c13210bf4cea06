#pragma once

#include <QWidget>

#include <functional>
#include <memory>

#include "app/QtControls.h"
#include "app/SpokenLabels.h"
#include "badge/BadgeSync.h"
#include "badge/PortMap.h"
#include "countdown/CountdownDisplay.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/Messages.h"
#include "platform/SerialComm.h"
#include "platform/TickCounter.h"
#include "settings/SettingsStore.h"

class QComboBox;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace quenterra {

// Positions and sizes are described in twips; 15 twips are one device-independent pixel.
constexpr int Twips(int twips)
{
    return twips / 15;
}
constexpr QRect TwipsRect(int left, int top, int width, int height)
{
    return {Twips(left), Twips(top), Twips(width), Twips(height)};
}

// What the window reaches the outside world through.
struct FormServices {
    const Clock& clock;
    Messages& messages;
    TickCounter& ticks;
    EventPump& pump;
    SerialComm& comm;  // MSComm1
    SettingsLocation settings;
    SettingsFiles& settingsFiles;  // where the settings file is read and written
    // Maps the port numbers to the machine's devices, given the user's pins; called once, before
    // the port probe. Without it the numbers keep whatever the component already has.
    std::function<PortMap(const QMap<int, QString>& pins)> mapPorts = {};
};

// The program's one window: the title, the countdown with the clock, the port selector, the
// progress bar and the buttons "Sync" and "Exit". Its controls carry the program's state.
class Form1 final : public QWidget {
    Q_OBJECT

public:
    explicit Form1(FormServices services, QWidget* parent = nullptr);
    ~Form1() override;

    // The window load: runs once, before the window is shown. The settings, the first countdown,
    // then the port probe.
    void load();

    // A request to close from outside the window (a signal, the window's loss): the unload, as the
    // close box makes it, after a sync that is running. Asked at once, the sync ends at its next
    // step (sending nothing more) and closes the port, and the unload follows.
    void requestClose(bool atOnce);

    // The process ends now, with no time for a close: the sync ends where it is, the port is
    // closed (the device gets its settings back), and the settings are saved if no unload has
    // saved them yet.
    void endNow();

    // Whether the window has been unloaded (its settings saved).
    bool unloaded() const { return unloaded_; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The window unload, whatever asked for it: "Exit", the close box or the desktop. A close asked
    // for while a sync runs waits until the sync has ended.
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void unload();
    void colourTexts();
    void onTimer1();
    void onCmdSend();
    SettingsSelectors settingsSelectors();

    FormServices services_;

    QLabel* label1_ = nullptr;
    QPushButton* cmdSend_ = nullptr;
    QPushButton* cmdExit_ = nullptr;
    QProgressBar* progressBar1_ = nullptr;
    QComboBox* comSele_ = nullptr;
    QLabel* label4_ = nullptr;
    QFrame* frame1_ = nullptr;
    QLabel* lblDJS_ = nullptr;
    QComboBox* comYear_ = nullptr;
    QComboBox* comMonth_ = nullptr;
    QComboBox* comDay_ = nullptr;
    QComboBox* comHour_ = nullptr;
    QComboBox* comMinute_ = nullptr;
    QComboBox* comSecond_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* lblNow_ = nullptr;
    QComboBox* comBright_ = nullptr;
    QTimer* timer1_ = nullptr;

    // The views of the controls that the logic works through.
    std::unique_ptr<ComboSelector> year_, month_, day_, hour_, minute_, second_, bright_, sele_;
    std::unique_ptr<LabelCaption> djsCaption_, nowCaption_;
    std::unique_ptr<QtRefreshTimer> refresh_;
    std::unique_ptr<QtProgressBar> progress_;
    std::unique_ptr<CountdownDisplay> display_;
    std::unique_ptr<BadgeSync> sync_;
    SettingsStore settings_;
    SpokenLabels spoken_;
    bool closeAfterSync_ = false;
    bool unloaded_ = false;
    QObject* enterDownOn_ = nullptr;  // the button Return or Enter went down on
};

}  // namespace quenterra
