// servobench-manual DOCS_DIR OUTPUT.pdf: writes the user manual.
#include "ManualWriter.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: servobench-manual DOCS_DIR OUTPUT.pdf\n");
        return 2;
    }
    ManualWriter writer(args.at(1));
    if (!writer.writePdf(args.at(2))) {
        std::fprintf(stderr, "servobench-manual: %s\n", qPrintable(writer.error()));
        return 1;
    }
    return 0;
}
