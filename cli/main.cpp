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
    // The plain poll() event loop: a transfer waits on the port for every frame, and GLib's loop
    // spends about a fifth more CPU per wake-up. Nothing here needs GLib.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("servobench-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SERVOBENCH_VERSION));
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return CliApp::run(args);
}
