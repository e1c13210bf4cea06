#include <QApplication>

#include "app/Form1.h"
#include "app/Look.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quenterra"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quenterra Badge"));
    QApplication::setWindowIcon(quenterra::AppIcon());

    quenterra::SystemClock clock;
    quenterra::QtMessages messages;
    quenterra::Form1 form({clock, messages});
    messages.setOwner(&form);
    form.load();
    form.show();
    return QApplication::exec();
}
