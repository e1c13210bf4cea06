#pragma once

// Test entry points that pin what the tests rely on: the time zone, the locale and a headless
// platform.

#include <QLocale>
#include <QTest>

// Tests of the window run in a QApplication; the others, which link no Qt module but Core and
// Test, in a QCoreApplication.
#ifdef QT_WIDGETS_LIB
#include <QApplication>
#define QUENTERRA_TEST_APPLICATION QApplication
#else
#include <QCoreApplication>
#define QUENTERRA_TEST_APPLICATION QCoreApplication
#endif

#include <cstdlib>
#include <ctime>

namespace quenterra::test {

// Pins the process to the given time zone (an Olson name such as "UTC" or "Europe/Berlin") and to
// the C locale, and makes sure a display is never needed.
//
// Windows' C runtime reads TZ in a form of its own ("UTC", or "CET-1CEST" with the United States'
// rules for summer time) and knows no Olson names: there a zone other than UTC is the system's,
// which the test's environment sets (tests/CMakeLists.txt; Wine takes it from TZ at start).
inline void pinEnvironment(const char* timeZone)
{
#ifdef Q_OS_WIN
    if (qstrcmp(timeZone, "UTC") == 0) {
        qputenv("TZ", timeZone);
    } else {
        qunsetenv("TZ");
    }
    ::_tzset();
#else
    qputenv("TZ", timeZone);
    ::tzset();
#endif
    qputenv("LC_ALL", "C");
    qputenv("LANG", "C");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QLocale::setDefault(QLocale::c());
}

}  // namespace quenterra::test

#define QUENTERRA_TEST_MAIN_IN_ZONE(TestObject, zone) \
    int main(int argc, char** argv)                   \
    {                                                 \
        quenterra::test::pinEnvironment(zone);        \
        QUENTERRA_TEST_APPLICATION app(argc, argv);   \
        app.setAttribute(Qt::AA_Use96Dpi, true);      \
        TestObject tc;                                \
        QTEST_SET_MAIN_SOURCE_PATH                    \
        return QTest::qExec(&tc, argc, argv);         \
    }

#define QUENTERRA_TEST_MAIN(TestObject) QUENTERRA_TEST_MAIN_IN_ZONE(TestObject, "UTC")
