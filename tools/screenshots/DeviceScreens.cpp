// Walks the real main window through detection, the device tree, the information page and a
// firmware update against the in-process simulator, taking a screenshot of the X display at
// each stage. Run under xvfb-run.
#include "ScreenshotKit.h"

#include "CANWorker.h"
#include "DetectDeviceDialog.h"
#include "DeviceTools.h"
#include "DeviceWidget.h"
#include "Helper.h"
#include "MainWindow.h"

#include <DataManager.h>
#include <DataObject.h>
#include <SimServer.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

int main(int argc, char* argv[])
{
    screenshots::prepare();
    Helper* helper = Helper::instance();
    QApplication app(argc, argv);
    QuietDialogs* dialogs = screenshots::start(app, argc, argv);

    sim::SimConfig cfg = sim::SimConfig::forCanIds({1, 2, 3});
    cfg.faults.linkModel = true; // a real adapter's pace, so the update can be watched
    sim::SimServer simulator(cfg);
    if (!simulator.start())
        qFatal("simulator did not start");
    qputenv("SERVOBENCH_PORTS", simulator.portPath().toUtf8());

    helper->createServices();
    MainWindow window;
    screenshots::showAtOrigin(&window);
    helper->createBlockBox();

    auto* tools = window.findChild<DeviceTools*>();
    auto* tree = window.findChild<DeviceWidget*>();
    if (!tools || !tree)
        qFatal("device pieces are not in the window");

    tools->btnConnect->click();
    QTest::qWait(300);
    DetectDeviceDialog* dialog = window.findChild<DetectDeviceDialog*>();
    if (!dialog)
        qFatal("no detection dialog");
    screenshots::shot("detect_dialog");
    dialog->cmbPort->setCurrentText(simulator.portPath());
    dialog->btnAdd->click();
    if (!QTest::qWaitFor(
            [&] { return tree->topLevelItemCount() == 3 && !tools->btnConnect->isEnabled(); }, 15000))
        qFatal("motors did not appear");
    QTest::qWait(1500);
    tree->setCurrentItem(tree->topLevelItem(1));
    screenshots::shot("device_tree");

    // The strip may have been rebuilt with the device list.
    tools = window.findChild<DeviceTools*>();
    tools->btnDeviceInfo->click();
    screenshots::shot("device_info_page");
    if (auto* scroll = window.findChild<QScrollArea*>("scrollArea")) {
        scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
        screenshots::shot("device_info_product");
        scroll->verticalScrollBar()->setValue(0);
    }

    QTemporaryDir dir;
    QFile image(dir.filePath("app.bin"));
    if (!image.open(QIODevice::WriteOnly))
        qFatal("cannot write the firmware image");
    image.write(QByteArray(24 * 1024, '\x5a'));
    image.close();
    dialogs->openFile = image.fileName();
    bool taken = false;
    QObject::connect(
        ve::d("temp_device.update_progress"), &ve::DataObject::changed, &window, [&](const QVariant& v) {
            if (!taken && v.toInt() >= 40) {
                taken = true;
                screenshots::shot("firmware_block_box");
            }
        });
    tools->btnUpdate->click();
    helper->destroyServices();
    return taken ? 0 : 1;
}
