// servobench-sim: the simulated adapter and motors as a stand-alone program.
#include "SimOptions.h"
#include "SimServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <pthread.h>

int main(int argc, char** argv)
{
    // Block the stop signals before any thread starts, so only sigwait() below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("servobench-sim");
    QCoreApplication::setApplicationVersion("0.0.3");
    QCommandLineParser parser;
    sim::SimOptions::declare(&parser);
    parser.process(app);

    sim::SimConfig cfg;
    QString error;
    if (!sim::SimOptions::read(parser, &cfg, &error)) {
        std::fprintf(stderr, "servobench-sim: %s\n", qPrintable(error));
        return 2;
    }
    cfg.traceKeepLines = 0; // nobody reads the in-memory lines of this program; --trace writes them
    sim::SimServer server(cfg);
    server.setMessageHandler([](const QString& line) {
        std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    });
    if (!server.start(&error)) {
        std::fprintf(stderr, "servobench-sim: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s\n", qPrintable(server.portPath()));
    for (int i = 0; i < cfg.motors.size(); ++i)
        std::printf("motor CAN ID %d MCU ID %016llx\n", server.motorCanId(i),
            static_cast<unsigned long long>(server.motorMcuId(i)));
    std::fflush(stdout);

    int sig = 0;
    sigwait(&stopSignals, &sig);
    if (cfg.faults.linkModel) {
        // The time the link itself needed for this run's traffic: no host can be faster.
        const sim::SimServer::LinkStats st = server.linkStats();
        std::fprintf(stderr,
            "servobench-sim: link floor %.1f ms (921600 baud serial, 1 Mbit/s CAN, USB %d us each way); "
            "%d host turnarounds, p50 %.0f us, p99 %.0f us; simulator late p50 %.0f us, p99 %.0f us\n",
            st.busyUs / 1000.0, cfg.faults.usbLatencyUs, st.turnarounds, st.turnaroundP50Us,
            st.turnaroundP99Us, st.lateP50Us, st.lateP99Us);
    }
    server.stop();
    std::fprintf(stderr, "servobench-sim: stopped by signal %d\n", sig);
    return 0;
}
