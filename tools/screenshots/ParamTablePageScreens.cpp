// Walks the real main window to the Configure strip and the parameter table page against the
// in-process simulator and takes screenshots of the X display. Run under xvfb-run.
#include "ScreenshotKit.h"

#include "CANWorker.h"
#include "ConfigureTools.h"
#include "Helper.h"
#include "MainWindow.h"
#include "ParamTablePage.h"

#include <SimServer.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace {
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
    screenshots::prepare();
    Helper* helper = Helper::instance();
    QApplication app(argc, argv);
    screenshots::start(app, argc, argv);

    sim::SimServer simulator(sim::SimConfig::forCanIds({1, 2}));
    if (!simulator.start())
        qFatal("simulator did not start");
    helper->createServices();
    MainWindow window;
    screenshots::showAtOrigin(&window);
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
    screenshots::shot("param_table_page");

    QTableWidget* t = page->tableWidget;
    typeInto(t, rowNamed(t, "limit_cur"), "18.5");
    QTest::qWait(1300);
    typeInto(t, rowNamed(t, "limit_spd"), "31");
    screenshots::shot("param_table_edit");
    helper->destroyServices();
    return 0;
}
