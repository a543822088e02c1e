// A timed run of the oscilloscope in the real main window against an external simulator:
//   scope_soak PORT [SECONDS=120] [HZ=1000] [CHANNELS=8]
// Start the simulator first (servobench-sim --link-model --link /tmp/soak-tty) and run this
// under xvfb-run. Prints records, lost records, process CPU and RSS per minute, replots per
// second, the replot time at 8 x 10,000 points and the idle CPU once connected.
#include "CANWorker.h"
#include "DialogProvider.h"
#include "Helper.h"
#include "MainWindow.h"
#include "OscilloscopePage.h"
#include "UiResources.h"
#include "waveDisplay.h"

#include <DataManager.h>
#include <DataObject.h>
#include <ScopeRecorder.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QToolButton>

#include <unistd.h>

namespace {
class QuietDialogs : public DialogProvider
{
public:
    bool messageBox(Box, QWidget*, const QString&, const QString&) override { return true; }
    QString getOpenFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString getSaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    bool openLocalFile(const QString&) override { return true; }
};

// Seconds of CPU (user + system) of this process.
double cpuSeconds()
{
    QFile f("/proc/self/stat");
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray s = f.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

double rssMb()
{
    QFile f("/proc/self/statm");
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return f.readAll().split(' ').value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

bool idle(CANWorker* w)
{
    return QTest::qWaitFor([w] { return w->engine()->step() == STEP_STOP; }, 5000);
}
} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        qWarning("usage: scope_soak PORT [SECONDS] [HZ] [CHANNELS]");
        return 2;
    }
    servobench::initUiResources();
    Helper* helper = Helper::instance();
    QApplication app(argc, argv);
    const QString port = QString::fromLocal8Bit(argv[1]);
    const int seconds = argc > 2 ? atoi(argv[2]) : 120;
    const int hz = argc > 3 ? atoi(argv[3]) : 1000;
    const int channels = argc > 4 ? qBound(1, atoi(argv[4]), 8) : 8;
    helper->loadFonts();
    ve::DataObject* root = ve::d().rootDobj();
    root->set(nullptr, "config.setting.enable_multiple_devices", true, true);
    root->set(nullptr, "config.setting.upload_param_on_connected", false, true);
    helper->setDialogProvider(std::make_unique<QuietDialogs>());
    helper->createServices();
    MainWindow window;
    window.resize(1280, 800);
    window.show();
    QCoreApplication::processEvents();

    CANWorker* worker = helper->canWorker();
    worker->connectPort(port);
    if (!QTest::qWaitFor(
            [&] { return worker->deviceMapSize() >= 1 && worker->engine()->step() == STEP_STOP; }, 20000))
        qFatal("no motor on %s", qPrintable(port));
    ve::DataObject* device = worker->deviceByCanId(worker->engine()->device(0).canId);
    helper->setCurrentDevice(device);
    worker->command(CANWorker::LOAD_PARAM);
    if (!QTest::qWaitFor(
            [&] {
                return idle(worker)
                    && worker->engine()->withParams([](ParamTable& t) { return t.count(3); }) > 0;
            },
            20000))
        qFatal("no table");
    const QStringList names = worker->engine()->withParams([](ParamTable& t) {
        QStringList n;
        for (int i = t.channelBase() + 1; i < t.count(2); ++i)
            n << t.entry(2, i).name;
        for (int i = 0; i < t.count(3); ++i)
            n << t.entry(3, i).name;
        return n;
    });
    for (const QString& n : names)
        device->set(nullptr, "param." + n, 0, true);
    worker->command(CANWorker::SET_RUN_MODE, 1);
    idle(worker);
    worker->command(CANWorker::MOTOR_SDO_UINT, 0x7001, 1);
    idle(worker);
    worker->command(CANWorker::SET_MODE, 1);
    idle(worker);

    // Idle and connected: nothing should run.
    QTest::qWait(1000);
    double c0 = cpuSeconds();
    QTest::qWait(10000);
    const double idleCpu = (cpuSeconds() - c0) / 10.0;

    if (auto* tab = window.findChild<QToolButton*>("tlbtnAnalyze"))
        tab->click();
    root->set(nullptr, "trigger.analyze.oscilloscope.new", QVariant(), true);
    QTest::qWait(300);
    auto* page = window.findChild<OscilloscopePage*>();
    if (!page)
        qFatal("no oscilloscope page");
    const QStringList floats {"mechPos", "mechVel", "iqf", "idf", "torque", "VBUS", "motorTemp", "boardTemp"};
    std::array<quint16, 8> types {};
    for (int k = 0; k < channels; ++k)
        types[size_t(k)] = quint16(names.indexOf(floats[k]) + 1);
    ScopeRecorder* rec = ScopeRecorder::of(worker);
    const QString refused = rec->start(device, quint16(hz), types);
    if (!refused.isEmpty())
        qFatal("refused: %s", qPrintable(refused));
    if (!QTest::qWaitFor([&] { return rec->state() == ScopeRecorder::Recording; }, 5000))
        qFatal("not recording");

    auto scope = [&](auto f) { return worker->engine()->withScope(f); };
    QElapsedTimer wall;
    wall.start();
    c0 = cpuSeconds();
    const quint64 r0 = page->plot->replotCount();
    double rssAtMinute = 0;
    for (int s = 1; s <= seconds; ++s) {
        QTest::qWait(int(s * 1000 - wall.elapsed()));
        if (s % 10 == 0)
            qInfo("t=%3d s records %llu lost %llu cpu %.1f %% rss %.1f MB replots/s %.1f", s,
                static_cast<unsigned long long>(scope([](const ScopeDecoder& d) { return d.records(); })),
                static_cast<unsigned long long>(scope([](const ScopeDecoder& d) { return d.lostRecords(); })),
                100.0 * (cpuSeconds() - c0) / (wall.elapsed() / 1000.0), rssMb(),
                (page->plot->replotCount() - r0) / (wall.elapsed() / 1000.0));
        if (s == 60)
            rssAtMinute = rssMb();
    }
    const double runCpu = (cpuSeconds() - c0) / (wall.elapsed() / 1000.0);
    const double replots = (page->plot->replotCount() - r0) / (wall.elapsed() / 1000.0);
    const double rssEnd = rssMb();
    const quint64 records = scope([](const ScopeDecoder& d) { return d.records(); });
    const quint64 lost = scope([](const ScopeDecoder& d) { return d.lostRecords(); });
    rec->stop();
    (void)QTest::qWaitFor([&] { return rec->state() == ScopeRecorder::Idle; }, 3000);

    // Replot time with the window full: 8 curves of 10,000 points.
    waveDisplay big;
    big.resize(900, 500);
    big.show();
    QVector<quint8> all {0, 1, 2, 3, 4, 5, 6, 7};
    big.setChannels(all);
    for (int s = 0; s < 8; ++s) {
        QVector<QCPGraphData> pts(10000);
        for (int i = 0; i < 10000; ++i)
            pts[i] = QCPGraphData(i * 0.001, std::sin(i * 0.01 + s) * (s + 1));
        big.graph(s)->data()->set(pts, true);
    }
    big.rescaleAxes();
    QElapsedTimer rt;
    rt.start();
    for (int i = 0; i < 20; ++i)
        big.replot(QCustomPlot::rpImmediateRefresh);
    const double replotMs = rt.elapsed() / 20.0;

    printf("scope soak: %d channels at %d Hz for %d s\n", channels, hz, seconds);
    printf("records %llu, lost %llu\n", static_cast<unsigned long long>(records),
        static_cast<unsigned long long>(lost));
    printf("process CPU while recording: %.1f %% of a core\n", 100.0 * runCpu);
    printf("RSS at 60 s %.1f MB, at the end %.1f MB, growth %.1f MB\n", rssAtMinute, rssEnd,
        rssEnd - rssAtMinute);
    printf("replots per second: %.1f (frame rate %d)\n", replots,
        ve::d("config.oscilloscope_frame_rate")->getInt(24));
    printf("replot at 8 x 10,000 points: %.1f ms\n", replotMs);
    printf("idle connected CPU: %.2f %% of a core\n", 100.0 * idleCpu);
    fflush(stdout);
    helper->destroyServices();
    return 0;
}
