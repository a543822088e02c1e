// sidebar_bench [seconds]: connects the motion panel to two simulated motors and prints
//  - the GUI thread's CPU time per second of wall time with nothing sending and while the MIT
//    row sends continuously at the template's 50 Hz;
//  - the time from the EStop click until the simulated adapter has received the stop frame of
//    every connected motor (20 runs, each interrupting a continuous send).
#include "CANWorker.h"
#include "DialogProvider.h"
#include "EnableButton.h"
#include "Helper.h"
#include "Sidebar.h"
#include "UiResources.h"

#include <DataManager.h>
#include <DataObject.h>
#include <SimServer.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
class NoDialogs : public DialogProvider
{
public:
    bool messageBox(Box, QWidget*, const QString&, const QString&) override { return true; }
    QString getOpenFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString getSaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    bool openLocalFile(const QString&) override { return true; }
};

double threadCpuSeconds()
{
    rusage u {};
    getrusage(RUSAGE_THREAD, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
        + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// GUI-thread CPU in percent of one core over `seconds` of a running event loop.
double cpuPercent(double seconds)
{
    const double before = threadCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    return 100.0 * (threadCpuSeconds() - before) / (double(wall.nsecsElapsed()) / 1e9);
}

int countFrames(const sim::SimServer& s, const QString& fragment)
{
    int n = 0;
    for (const QString& line : s.traceLines())
        n += line.contains(QLatin1String(" rx ")) && line.contains(fragment) ? 1 : 0;
    return n;
}
} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    servobench::initUiResources();
    Helper* helper = Helper::instance();
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 5.0;
    ve::DataObject* root = ve::d().rootDobj();
    root->set(nullptr, "config.setting.enable_multiple_devices", true, true);
    root->set(nullptr, "config.setting.upload_param_on_connected", false, true);
    // The status line and the raw trace are what a user would have on; keep them on.
    helper->setDialogProvider(std::make_unique<NoDialogs>());
    helper->createServices();

    sim::SimServer simulator(sim::SimConfig::forCanIds({1, 2}));
    if (!simulator.start())
        qFatal("simulator did not start");
    QWidget window;
    auto* sidebar = new Sidebar(&window);
    window.resize(480, 760);
    window.show();
    CANWorker* worker = helper->canWorker();
    worker->connectPort(simulator.portPath());
    if (!QTest::qWaitFor(
            [&] { return worker->deviceMapSize() == 2 && worker->engine()->step() == STEP_STOP; }, 15000))
        qFatal("motors did not appear");
    QTest::qWait(300);

    MotionForm& ui = sidebar->ui;
    ui.cmbControlMode->setCurrentIndex(1);
    QTest::mouseClick(ui.ebControl, Qt::LeftButton);
    ui.chbSingleStep->setChecked(true);
    QTest::qWait(300);

    std::printf("GUI thread CPU, connected and idle:            %6.2f %% of a core (%.0f s)\n",
        cpuPercent(seconds), seconds);
    simulator.clearTrace();
    QTest::mouseClick(ui.btnSendMIT, Qt::LeftButton);
    const double sending = cpuPercent(seconds);
    QTest::mouseClick(ui.btnStopMIT, Qt::LeftButton);
    const int frames = countFrames(simulator, QStringLiteral("type 1 ext"));
    std::printf(
        "GUI thread CPU, MIT row sending continuously:  %6.2f %% of a core (%d frames in %.0f s, %.1f Hz)\n",
        sending, frames, seconds, frames / seconds);

    std::vector<double> latencies;
    for (int run = 0; run < 20; ++run) {
        QTest::mouseClick(ui.ebControl, Qt::LeftButton); // on again after the last stop
        QTest::mouseClick(ui.btnSendMIT, Qt::LeftButton);
        QTest::qWait(100);
        simulator.clearTrace();
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(ui.btnEstop, Qt::LeftButton);
        while (countFrames(simulator, QStringLiteral("type 20 ")) < 2 && t.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        latencies.push_back(double(t.nsecsElapsed()) / 1e6);
        QTest::qWait(50);
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("EStop click to both stop frames at the adapter: median %.2f ms, max %.2f ms (%zu runs)\n",
        latencies[latencies.size() / 2], latencies.back(), latencies.size());

    worker->disconnectPort();
    helper->destroyServices();
    return 0;
}
