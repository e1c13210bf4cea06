#pragma once

// The real window, wired to a fake clock, fake Messages and a fake serial component, with its
// settings file in a temporary folder.

#include <QTemporaryDir>

#include "app/Form1.h"
#include "support/FakeSerialComm.h"
#include "support/Fakes.h"
#include "system/session/QtEventPump.h"
#include "system/session/SystemTickCounter.h"
#include "system/settingsfile/DiskSettingsFiles.h"

namespace quenterra::test {

struct FormRig {
    FakeClock clock;
    FakeMessages messages;
    SystemTickCounter ticks;
    QtEventPump pump;
    FakeSerialComm comm;
    DiskSettingsFiles files;
    QTemporaryDir folder;
    Form1 form;

    explicit FormRig(QDateTime now = QDateTime(QDate(2015, 6, 1), QTime(12, 0)))
        : clock(now),
          form(FormServices{clock, messages, ticks, pump, comm,
                            SettingsLocation{settingsPath(), settingsPath()}, files})
    {
        clock.runWith(ticks);
    }

    QString settingsPath() const { return folder.filePath(QStringLiteral("Vorlenta.ini")); }

    template <typename T = QWidget>
    T* control(const char* name) const
    {
        auto* found = form.findChild<T*>(QString::fromLatin1(name));
        if (!found) {
            qFatal("no control named %s", name);
        }
        return found;
    }
};

}  // namespace quenterra::test
