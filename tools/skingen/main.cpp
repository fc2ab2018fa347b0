// Draws the default skin into a folder (the repository's resources/skin when run through the
// build target "skin"):  ordel-skingen <folder>
#include "tools/skingen/SkinGen.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ordel-skingen <skin folder>\n");
        return 2;
    }
    QString error;
    if (!skingen::WriteSkin(QString::fromLocal8Bit(argv[1]), &error)) {
        std::fprintf(stderr, "ordel-skingen: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
