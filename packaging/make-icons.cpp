// Writes the program's icon as quenterra.png at each size given, into <folder>/<n>x<n>/apps/, the
// layout of the hicolor icon theme. Run at build time, so the installed icon is the window's own.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QTextStream>

#include "app/Look.h"

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        err << "usage: quenterra-make-icons <folder> <size>...\n";
        return 2;
    }
    const QDir root(args.at(1));
    for (qsizetype i = 2; i < args.size(); ++i) {
        bool ok = false;
        const int size = args.at(i).toInt(&ok);
        if (!ok || size < 1 || size > 1024) {
            err << "not an icon size: " << args.at(i) << '\n';
            return 2;
        }
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString path = root.filePath(folder + QStringLiteral("/quenterra.png"));
        if (!root.mkpath(folder) || !quenterra::DrawAppIcon(size).save(path, "PNG")) {
            err << "cannot write " << path << '\n';
            return 1;
        }
    }
    return 0;
}
