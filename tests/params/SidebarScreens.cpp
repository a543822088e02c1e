// Shows the motion panel in the real main window against the in-process simulator and takes
// screenshots: the X display, and the panel alone. Run under xvfb-run; writes PNG files into
// the directory given as argument.
#include "CANWorker.h"
#include "DialogProvider.h"
#include "EnableButton.h"
#include "Helper.h"
#include "MainWindow.h"
#include "Sidebar.h"
#include "UiResources.h"

#include <DataManager.h>
#include <DataObject.h>
#include <SimServer.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTranslator>

#include <unistd.h>

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

QString s_outDir;

void shot(const QString& name, QWidget* panel)
{
    QTest::qWait(400);
    const QString path = QDir(s_outDir).filePath(name + ".png");
    if (QProcess::execute("import", {"-window", "root", path}) != 0)
        qWarning("import failed for %s", qPrintable(path));
    const QString panelPath = QDir(s_outDir).filePath(name + "_panel.png");
    panel->grab().save(panelPath);
    qInfo("wrote %s and %s", qPrintable(path), qPrintable(panelPath));
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
    root->setList(nullptr, "config.wnd.h_splitter", {260, 560, 460}, true);

    sim::SimServer simulator(sim::SimConfig::forCanIds({1, 2, 3}));
    if (!simulator.start())
        qFatal("simulator did not start");
    helper->setDialogProvider(std::make_unique<QuietDialogs>());
    helper->createServices();
    MainWindow window;
    window.resize(1280, 800);
    window.move(0, 0);
    window.show();
    QCoreApplication::processEvents();
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
    shot("sidebar_mit" + suffix, sidebar);

    QTest::mouseClick(ui.ebControl, Qt::LeftButton);
    ui.cmbControlMode->setCurrentIndex(2);
    QTest::mouseClick(ui.ebControl, Qt::LeftButton);
    ui.dspnPos_2->setValue(3.0);
    ui.dspnVel_2->setValue(6.0);
    shot("sidebar_position" + suffix, sidebar);

    QTest::mouseClick(ui.btnEstop, Qt::LeftButton);
    helper->destroyServices();
    return 0;
}
