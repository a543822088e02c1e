// Takes screenshots of the oscilloscope in the real main window: a simulated motor swinging on
// a sine set-point, four channels streaming, the legend and the cursors on. Run under xvfb-run;
// writes PNG files into the directory given as argument.
#include "AnalyzeTools.h"
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
#include <SimServer.h>

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <QTranslator>

namespace {
class QuietDialogs : public DialogProvider
{
public:
    bool messageBox(Box, QWidget*, const QString&, const QString& text) override
    {
        qInfo("box: %s", qPrintable(text));
        return true;
    }
    QString getOpenFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString getSaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    bool openLocalFile(const QString&) override { return true; }
};

bool idle(CANWorker* w)
{
    return QTest::qWaitFor([w] { return w->engine()->step() == STEP_STOP; }, 5000);
}
} // namespace

int main(int argc, char* argv[])
{
    servobench::initUiResources();
    Helper* helper = Helper::instance();
    QApplication app(argc, argv);
    const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    const QString suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    for (int i = 3; i < argc; ++i) {
        auto* t = new QTranslator(&app);
        if (t->load(QString::fromLocal8Bit(argv[i])))
            QCoreApplication::installTranslator(t);
    }
    helper->loadFonts();
    ve::DataObject* root = ve::d().rootDobj();
    root->set(nullptr, "config.setting.enable_multiple_devices", true, true);
    root->set(nullptr, "config.setting.upload_param_on_connected", false, true);

    sim::SimServer simulator(sim::SimConfig {});
    if (!simulator.start())
        qFatal("simulator did not start");
    helper->setDialogProvider(std::make_unique<QuietDialogs>());
    helper->createServices();
    MainWindow window;
    window.resize(1280, 800);
    window.move(0, 0);
    window.show();
    QCoreApplication::processEvents();

    CANWorker* worker = helper->canWorker();
    worker->connectPort(simulator.portPath());
    if (!QTest::qWaitFor(
            [&] { return worker->deviceMapSize() == 1 && worker->engine()->step() == STEP_STOP; }, 15000))
        qFatal("no motor");
    QTest::qWait(500);
    ve::DataObject* device = worker->deviceByCanId(1);
    helper->setCurrentDevice(device);
    worker->command(CANWorker::LOAD_PARAM);
    if (!QTest::qWaitFor(
            [&] {
                return worker->engine()->step() == STEP_STOP
                    && worker->engine()->withParams([](ParamTable& t) { return t.count(3); }) > 0;
            },
            10000))
        qFatal("no table");
    // What the parameter page publishes: channel k is the k-th child of "param".
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

    // A position loop following a 1 Hz sine, so the curves move.
    worker->command(CANWorker::SET_RUN_MODE, 1);
    idle(worker);
    worker->command(CANWorker::MOTOR_SDO_FLOAT, 0x7002, 1.0);
    idle(worker);
    worker->command(CANWorker::MOTOR_SDO_FLOAT, 0x7003, 3.0);
    idle(worker);
    worker->command(CANWorker::MOTOR_SDO_UINT, 0x7001, 1);
    idle(worker);
    worker->command(CANWorker::SET_MODE, 1);
    idle(worker);

    if (auto* tab = window.findChild<QToolButton*>("tlbtnAnalyze"))
        tab->click();
    QTest::qWait(200);
    root->set(nullptr, "trigger.analyze.oscilloscope.new", QVariant(), true);
    QTest::qWait(300);
    auto* page = window.findChild<OscilloscopePage*>();
    auto* strip = window.findChild<AnalyzeTools*>();
    if (!page || !strip)
        qFatal("no oscilloscope page or strip");
    const QStringList four {"mechPos", "mechVel", "iqf", "torque"};
    ve::DataObject* list = ve::d("temp_analyze.channel");
    for (int k = 0; k < 4; ++k)
        list->cdobj(k)->set(nullptr, "type", names.indexOf(four[k]) + 1, true);
    strip->spnF->setValue(500);
    root->set(nullptr, "trigger.analyze.oscilloscope.legend", true, true);
    strip->btnStart->click();
    if (!QTest::qWaitFor(
            [&] { return ScopeRecorder::of(worker)->state() == ScopeRecorder::Recording; }, 5000))
        qFatal("not recording");
    QTest::qWait(4000);
    auto shot = [&](const QString& name) {
        QTest::qWait(300);
        const QString path = QDir(outDir).filePath(name + suffix + ".png");
        if (QProcess::execute("import", {"-window", "root", "-crop", "1280x800+0+0", "+repage", path}) != 0)
            qWarning("import failed for %s", qPrintable(path));
        else
            qInfo("wrote %s", qPrintable(path));
    };
    shot("oscilloscope_streaming");
    page->btnPause->click();
    page->btnCursors->click();
    const QCPRange r = page->plot->xAxis->range();
    page->plot->setCursor(0, r.lower + r.size() * 0.3);
    page->plot->setCursor(1, r.lower + r.size() * 0.55);
    page->plot->replot();
    shot("oscilloscope_cursors");
    strip->btnStop->click();
    (void)QTest::qWaitFor([&] { return ScopeRecorder::of(worker)->state() == ScopeRecorder::Idle; }, 3000);
    strip->btnChannel->click();
    QTest::qWait(300);
    shot("channel_dialog");
    helper->destroyServices();
    return 0;
}
