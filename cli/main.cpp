#include "CliApp.h"

#include <QCoreApplication>

#include <cstdio>

namespace {
// Library chatter would break the promise of one error line; SERVOBENCH_CLI_DEBUG brings it back.
void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& msg)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "servobench-cli: %s\n", qPrintable(msg));
        std::abort();
    }
}
} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("SERVOBENCH_CLI_DEBUG"))
        qInstallMessageHandler(quietHandler);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("servobench-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SERVOBENCH_VERSION));
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return CliApp::run(args);
}
