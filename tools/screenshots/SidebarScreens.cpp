// Shows the motion panel in the real main window against the in-process simulator and takes
// screenshots of the X display and of the panel alone. Run under xvfb-run.
#include "ScreenshotKit.h"

#include "CANWorker.h"
#include "EnableButton.h"
#include "Helper.h"
#include "MainWindow.h"
#include "Sidebar.h"

#include <DataManager.h>
#include <DataObject.h>
#include <SimServer.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QTest>

int main(int argc, char* argv[])
{
    screenshots::prepare();
    Helper* helper = Helper::instance();
    QApplication app(argc, argv);
    screenshots::start(app, argc, argv);
    ve::d().rootDobj()->setList(nullptr, "config.wnd.h_splitter", {260, 560, 460}, true);

    sim::SimServer simulator(sim::SimConfig::forCanIds({1, 2, 3}));
    if (!simulator.start())
        qFatal("simulator did not start");
    helper->createServices();
    MainWindow window;
    screenshots::showAtOrigin(&window);
    auto* sidebar = window.findChild<Sidebar*>();
    if (!sidebar)
        qFatal("the motion panel is not in the window");

    CANWorker* worker = helper->canWorker();
    worker->connectPort(simulator.portPath());
    if (!QTest::qWaitFor(
            [&] { return worker->deviceMapSize() == 3 && worker->engine()->step() == STEP_STOP; }, 15000))
        qFatal("motors did not appear");
    QTest::qWait(500);

    MotionForm& ui = sidebar->ui;
    ui.cmbControlMode->setCurrentIndex(1);
    QTest::mouseClick(ui.ebControl, Qt::LeftButton);
    ui.dspnPos->setValue(1.5708);
    ui.dspnKp->setValue(20);
    ui.dspnKd->setValue(0.8);
    ui.chbSingleStep->setChecked(true);
    screenshots::shot("sidebar_mit", sidebar);

    QTest::mouseClick(ui.ebControl, Qt::LeftButton);
    ui.cmbControlMode->setCurrentIndex(2);
    QTest::mouseClick(ui.ebControl, Qt::LeftButton);
    ui.dspnPos_2->setValue(3.0);
    ui.dspnVel_2->setValue(6.0);
    screenshots::shot("sidebar_position", sidebar);

    QTest::mouseClick(ui.btnEstop, Qt::LeftButton);
    helper->destroyServices();
    return 0;
}
