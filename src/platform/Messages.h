#pragma once

#include <QString>

namespace quenterra {

// A Message: a modal notice with a text, a title, the exclamation icon and a single OK button.
// show() returns once the user has dismissed it.
class Messages {
public:
    virtual ~Messages() = default;
    virtual void show(const QString& text, const QString& title) = 0;
};

// Every Message the program shows, as the user reads it: a text and a title each.

// A countdown out of range: on the display, which then stops, and on "Sync", which sends nothing.
inline const QString kOutOfRangeText = QStringLiteral("Down Count Days Out of Range!");
inline const QString kOutOfRangeTitle = QStringLiteral("Note");

// "Sync" pressed while a sync runs.
inline const QString kSendingText = QStringLiteral("Sending!");
inline const QString kSendingTitle = QStringLiteral("Waits");

// The port selector's text names no port from COM1 to COM32.
inline const QString kSetPortNumberErrorText = QStringLiteral("Set Port Number Error!");

// The port cannot be set, opened or closed.
inline const QString kPortInUseText = QStringLiteral("Port in use or not port");
// It opens but reads as closed.
inline const QString kOpenFailText = QStringLiteral("Open port fail!");
// The sync's bytes did not leave within the drain wait.
inline const QString kSendTimeoutText = QStringLiteral("Send timeout!");
// The wake string or the frame could not be handed to the port whole, or the device went away
// before they left.
inline const QString kSendFailedText = QStringLiteral("Send failed!");

inline const QString kWarningTitle = QStringLiteral("Warning");  // with kPortInUseText
inline const QString kErrorTitle = QStringLiteral("Error");      // with every other text above

}  // namespace quenterra
