// Takes screenshots of the oscilloscope in the real main window: a simulated motor swinging on
// a sine set-point, four channels streaming, the legend and the cursors on. Run under xvfb-run.
#include "ScreenshotKit.h"

#include "AnalyzeTools.h"
#include "CANWorker.h"
#include "Helper.h"
#include "MainWindow.h"
#include "OscilloscopePage.h"
#include "waveDisplay.h"

#include <DataManager.h>
#include <DataObject.h>
#include <ParamRow.h>
#include <ScopeRecorder.h>
#include <SimServer.h>

#include <QApplication>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

namespace {
bool idle(CANWorker* w)
{
    return QTest::qWaitFor([w] { return w->engine()->step() == STEP_STOP; }, 5000);
}
} // namespace

int main(int argc, char* argv[])
{
    screenshots::prepare();
    Helper* helper = Helper::instance();
    QApplication app(argc, argv);
    screenshots::start(app, argc, argv);
    ve::DataObject* root = ve::d().rootDobj();

    sim::SimServer simulator(sim::SimConfig {});
    if (!simulator.start())
        qFatal("simulator did not start");
    helper->createServices();
    MainWindow window;
    screenshots::showAtOrigin(&window);

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
    const QStringList names
        = worker->engine()->withParams([](ParamTable& t) { return ParamRow::channelKeys(t); });
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
    screenshots::shot("oscilloscope_streaming");
    page->btnPause->click();
    page->btnCursors->click();
    const QCPRange r = page->plot->xAxis->range();
    page->plot->setCursor(0, r.lower + r.size() * 0.3);
    page->plot->setCursor(1, r.lower + r.size() * 0.55);
    page->plot->replot();
    screenshots::shot("oscilloscope_cursors");
    strip->btnStop->click();
    (void)QTest::qWaitFor([&] { return ScopeRecorder::of(worker)->state() == ScopeRecorder::Idle; }, 3000);
    strip->btnChannel->click();
    QTest::qWait(300);
    screenshots::shot("channel_dialog");
    helper->destroyServices();
    return 0;
}
