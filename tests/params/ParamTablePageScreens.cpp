// Walks the real main window to the Configure strip and the parameter table page against the
// in-process simulator, taking screenshots of the X display. Run under xvfb-run; writes PNG
// files into the directory given as argument (then a file-name suffix and .qm files to load).
#include "CANWorker.h"
#include "CellNote.h"
#include "ConfigureTools.h"
#include "DialogProvider.h"
#include "Helper.h"
#include "MainWindow.h"
#include "ParamTablePage.h"
#include "UiResources.h"

#include <DataManager.h>
#include <DataObject.h>
#include <SimServer.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTranslator>

#include <unistd.h>

namespace {
class ScriptedDialogs : public DialogProvider
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

void shot(const QString& name)
{
    QTest::qWait(400); // let everything paint
    const QString path = QDir(s_outDir).filePath(name);
    if (QProcess::execute("import", {"-window", "root", "-crop", "1280x800+0+0", "+repage", path}) != 0)
        qWarning("import failed for %s", qPrintable(path));
    else
        qInfo("wrote %s", qPrintable(path));
}

void typeInto(QTableWidget* t, int row, const QString& text)
{
    t->scrollToItem(t->item(row, 6));
    t->setCurrentCell(row, 6);
    t->editItem(t->item(row, 6));
    QLineEdit* edit = nullptr;
    for (QLineEdit* e : t->viewport()->findChildren<QLineEdit*>())
        if (e->isVisible())
            edit = e;
    if (!edit)
        qFatal("no cell editor");
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
}

int rowNamed(QTableWidget* t, const QString& name)
{
    for (int r = 0; r < t->rowCount(); ++r)
        if (t->item(r, 1)->text() == name)
            return r;
    qFatal("no row %s", qPrintable(name));
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

    sim::SimServer simulator(sim::SimConfig::forCanIds({1, 2}));
    if (!simulator.start())
        qFatal("simulator did not start");
    helper->setDialogProvider(std::make_unique<ScriptedDialogs>());
    helper->createServices();
    MainWindow window;
    window.resize(1280, 800);
    window.move(0, 0);
    window.show();
    QCoreApplication::processEvents();
    helper->createBlockBox();

    CANWorker* worker = helper->canWorker();
    worker->connectPort(simulator.portPath());
    if (!QTest::qWaitFor(
            [&] { return worker->deviceMapSize() == 2 && worker->engine()->step() == STEP_STOP; }, 15000))
        qFatal("motors did not appear");
    helper->setCurrentDevice(worker->deviceByCanId(1));
    auto* configure = window.findChild<QAbstractButton*>("tlbtnParam");
    if (!configure)
        qFatal("no Configure tab");
    configure->click();
    QTest::qWait(300);
    auto* tools = window.findChild<ConfigureTools*>();
    if (!tools)
        qFatal("no Configure strip");
    tools->btnNewParamTable->click();
    ParamTablePage* page = ParamTablePage::of(worker->deviceByCanId(1));
    if (!page || !QTest::qWaitFor([&] { return page->isLive(); }, 10000))
        qFatal("the page did not load");
    QTest::qWait(500);
    shot("param_table_page" + suffix + ".png");

    QTableWidget* t = page->tableWidget;
    typeInto(t, rowNamed(t, "limit_cur"), "18.5");
    QTest::qWait(1300);
    typeInto(t, rowNamed(t, "limit_spd"), "31");
    shot("param_table_edit" + suffix + ".png");
    helper->destroyServices();
    return 0;
}
