// The reference the benchmarks hold the program against: the least a Qt window that shows a live
// clock needs. One label, the window itself, rewritten by a 50 ms timer with the current date and
// time; nothing else.

#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);

    QLabel label;
    label.setWindowTitle(QStringLiteral("Baseline"));
    label.setAlignment(Qt::AlignCenter);
    // As big as the program's window, so that both put the same area on the screen.
    label.setFixedSize(642, 278);

    QTimer timer;
    timer.setInterval(50);
    QObject::connect(&timer, &QTimer::timeout, &label, [&label] {
        label.setText(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    });
    label.setText(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    timer.start();

    label.show();
    return QApplication::exec();
}
