// Walks the real main window through detection, the device tree, the information page and a
// firmware update against the in-process simulator, taking a screenshot of the X display at
// each stage. Run under xvfb-run; writes PNG files into the directory given as argument.
#include "CANWorker.h"
#include "DetectDeviceDialog.h"
#include "DeviceTools.h"
#include "DeviceWidget.h"
#include "DialogProvider.h"
#include "Helper.h"
#include "MainWindow.h"
#include "UiResources.h"

#include <DataManager.h>
#include <DataObject.h>
#include <SimServer.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

#include <unistd.h>

namespace {
class ScriptedDialogs : public DialogProvider
{
public:
    QString file;
    bool messageBox(Box, QWidget*, const QString&, const QString& text) override
    {
        qInfo("box: %s", qPrintable(text));
        return true;
    }
    QString getOpenFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return file;
    }
    QString getSaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    bool openLocalFile(const QString&) override { return true; }
};

QString s_outDir;

void shot(const QString& name)
{
    QTest::qWait(400); // let everything paint
    const QString path = QDir(s_outDir).filePath(name);
    if (QProcess::execute("import", {"-window", "root", path}) != 0)
        qWarning("import failed for %s", qPrintable(path));
    else
        qInfo("wrote %s", qPrintable(path));
}
} // namespace

int main(int argc, char* argv[])
{
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    servobench::initUiResources();
    Helper* helper = Helper::instance();
    QApplication app(argc, argv);
    s_outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
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

    sim::SimConfig cfg;
    cfg.motors.clear();
    for (int id : {1, 2, 3})
        cfg.motors.append(sim::MotorConfig {quint8(id), 0});
    cfg.faults.linkModel = true; // a real adapter's pace, so the update can be watched
    sim::SimServer simulator(cfg);
    if (!simulator.start())
        qFatal("simulator did not start");
    qputenv("SERVOBENCH_PORTS", simulator.portPath().toUtf8());

    auto dialogs = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs* scripted = dialogs.get();
    helper->setDialogProvider(std::move(dialogs));
    helper->createServices();
    MainWindow window;
    window.resize(1280, 800);
    window.move(0, 0);
    window.show();
    QCoreApplication::processEvents();
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
    shot("detect_dialog" + suffix + ".png");
    dialog->cmbPort->setCurrentText(simulator.portPath());
    dialog->btnAdd->click();
    CANWorker* worker = helper->canWorker();
    if (!QTest::qWaitFor(
            [&] { return tree->topLevelItemCount() == 3 && !tools->btnConnect->isEnabled(); }, 15000))
        qFatal("motors did not appear");
    QTest::qWait(1500);
    tree->setCurrentItem(tree->topLevelItem(1));
    shot("device_tree" + suffix + ".png");

    // The tool strip was rebuilt? Find it again before using it.
    tools = window.findChild<DeviceTools*>();
    tools->btnDeviceInfo->click();
    shot("device_info_page" + suffix + ".png");
    if (auto* scroll = window.findChild<QScrollArea*>("scrollArea")) {
        scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
        shot("device_info_product" + suffix + ".png");
        scroll->verticalScrollBar()->setValue(0);
    }

    QTemporaryDir dir;
    QFile image(dir.filePath("app.bin"));
    image.open(QIODevice::WriteOnly);
    image.write(QByteArray(24 * 1024, '\x5a'));
    image.close();
    scripted->file = image.fileName();
    bool taken = false;
    QObject::connect(
        ve::d("temp_device.update_progress"), &ve::DataObject::changed, &window, [&](const QVariant& v) {
            if (!taken && v.toInt() >= 40) {
                taken = true;
                shot("firmware_block_box" + suffix + ".png");
            }
        });
    tools->btnUpdate->click();
    Q_UNUSED(worker);
    helper->destroyServices();
    return taken ? 0 : 1;
}
