// Writes the program icon as DIR/NxN/qnview.png for each size given, for the icon theme of
// the desktop. The pictures come from the same drawing as the window icon.
#include "app/startup.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DIR SIZE...\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size <= 0 || size > 1024) {
            std::fprintf(stderr, "bad size: %s\n", argv[i]);
            return 2;
        }
        const QString folder = out.filePath(QStringLiteral("%1x%1").arg(size));
        const QString file = QDir(folder).filePath(QStringLiteral("qnview.png"));
        if (!QDir().mkpath(folder) || !qn::applicationIconImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
