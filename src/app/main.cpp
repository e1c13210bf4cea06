#include <QApplication>

#include "app/Form1.h"
#include "system/serial/SerialDeviceList.h"
#include "system/serial/SystemSerialComm.h"
#include "system/session/CloseRequests.h"
#include "system/session/QtEventPump.h"
#include "system/session/QtMessages.h"
#include "system/session/SystemClock.h"
#include "system/session/SystemTickCounter.h"
#include "system/session/WindowPlatform.h"
#include "system/settingsfile/DiskSettingsFiles.h"
#include "system/settingsfile/ProgramFolder.h"
#include "system/settingsfile/SettingsLocation.h"

int main(int argc, char** argv)
{
    // A fatal message of Qt's gives the device back and saves the settings first; where no display
    // can be opened, one line says so, not Qt's advice to reinstall the program.
    quenterra::CloseRequests::watchFatalMessages();
    quenterra::ChooseWindowPlatform();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quenterra"));
    // No display name: Qt would append it to every title ("Quenterra  Ver 2.00 — ..."). The
    // desktop entry names the program to the desktop instead.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quenterra.Badge"));

    // A signal (the session ending, Ctrl+C, the terminal closed) or the loss of the window closes
    // the window as its close box does, Messages on screen dismissed; asked again, at once. An end
    // that leaves no time for that still gives the device back and saves the settings.
    quenterra::QtMessages messages;
    QPointer<quenterra::Form1> window;
    quenterra::CloseRequests closeRequests(
        [&window, &messages](int count) {
            messages.dismissAll();
            if (window) {
                window->requestClose(count > 1);
            }
        },
        [&window] {
            if (window) {
                window->endNow();
            }
        });

    quenterra::SystemClock clock;
    quenterra::SystemTickCounter ticks;
    quenterra::QtEventPump pump;
    quenterra::SystemSerialComm msComm1;
    quenterra::DiskSettingsFiles files;
    const quenterra::SettingsLocation settings =
        quenterra::LocateSettings(quenterra::ProgramFolder(), quenterra::UserSettingsFolder());

    quenterra::Form1 form({clock, messages, ticks, pump, msComm1, settings, files,
                           [&msComm1](const QMap<int, QString>& pins) {
                               quenterra::PortMap map =
                                   quenterra::SystemPortMap(quenterra::SystemSerialDevices(), pins);
                               msComm1.setPortMap(map);
                               return map;
                           }});
    window = &form;
    closeRequests.watchWindow(&form);
    // The window's icon stands for the program too (a Message before the window shows has no
    // window of its own to take it from).
    QApplication::setWindowIcon(form.windowIcon());
    messages.setOwner(&form);
    form.load();
    if (form.unloaded()) {
        return 0;  // asked to close while it loaded (a Message was on screen)
    }
    form.show();
    return QApplication::exec();
}
