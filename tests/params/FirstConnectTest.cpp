// The first thing a user sees: the whole window, a bus of three motors. Connecting makes the
// first motor current, opens its parameter page and fills it, with no box: on the default
// settings by the worker, with several motors kept by the run command's start-up option.
#include "BenchRig.h"
#include "CANWorker.h"
#include "Editor.h"
#include "FirstMotorOpener.h"
#include "Helper.h"
#include "MainWindow.h"
#include "ParamTablePage.h"
#include "ScreenshotTour.h"
#include "Sidebar.h"
#include "UiResources.h"

#include <DataManager.h>
#include <DataObject.h>
#include <SimServer.h>

#include <QApplication>
#include <QComboBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

QString cellText(QTableWidget* t, int row, int col)
{
    QTableWidgetItem* item = t->item(row, col);
    return item ? item->text() : QString();
}

TEST(FirstConnect, DefaultSettingsOpenTheFirstMotorsFilledTable)
{
    servobench::initUiResources();
    Helper* helper = Helper::instance();
    if (!helper->canWorker())
        helper->createServices();
    RecordingDialogs* dialogs = BenchRig::freshTree(); // the shipped defaults, nothing changed

    sim::SimServer sim(sim::SimConfig::forCanIds({1, 2, 3}));
    QString err;
    ASSERT_TRUE(sim.start(&err)) << qPrintable(err);

    auto window = std::make_unique<MainWindow>();
    window->resize(1280, 800);
    window->show();
    QApplication::processEvents();

    CANWorker* worker = helper->canWorker();
    worker->connectPort(sim.portPath());
    ve::DataObject* first = nullptr;
    ParamTablePage* page = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            first = worker->deviceByCanId(1);
            page = first ? ParamTablePage::of(first) : nullptr;
            return page && page->isLive() && page->tableWidget->rowCount() > 0;
        },
        15000));

    EXPECT_EQ(helper->currentDevice(), first);
    Editor* editor = window->editor();
    ASSERT_GE(editor->currentIndex(), 0);
    EXPECT_EQ(editor->pageAt(editor->currentIndex()), page);
    auto* sidebar = window->findChild<Sidebar*>();
    ASSERT_NE(sidebar, nullptr);
    EXPECT_EQ(sidebar->ui.cmbDevice->currentText(), "R58 Motor 1");

    // The table shows the motor's own values, not the template's.
    const int m = sim.motorIndexByCanId(1);
    const QVariant simSpeed = sim.parameterValue(m, quint16(sim.parameterCode(m, "limit_spd")));
    QTableWidget* t = page->tableWidget;
    int row = -1;
    for (int r = 0; r < t->rowCount(); ++r)
        if (cellText(t, r, 1) == "limit_spd")
            row = r;
    ASSERT_GE(row, 0);
    EXPECT_DOUBLE_EQ(cellText(t, row, 6).toDouble(), simSpeed.toDouble());

    // Default settings keep one motor; the others are refused with the usual line, not a box.
    EXPECT_EQ(worker->deviceMapSize(), 1);
    EXPECT_TRUE(dialogs->boxes.isEmpty()) << qPrintable(dialogs->boxes.value(0).text);

    window.reset();
    worker->disconnectPort();
    helper->setCurrentDevice(nullptr);
    helper->setEditDevice(nullptr, QString());
    ve::d("project.device")->clear(nullptr, true, false);
    helper->setDialogProvider(nullptr);
}

TEST(FirstConnect, SeveralMotorsKeptTheStartOptionOpensTheFirstMotorsTable)
{
    servobench::initUiResources();
    Helper* helper = Helper::instance();
    if (!helper->canWorker())
        helper->createServices();
    RecordingDialogs* dialogs = BenchRig::freshTree();
    ve::d().rootDobj()->set(nullptr, "config.setting.enable_multiple_devices", true, true);

    sim::SimServer sim(sim::SimConfig::forCanIds({1, 2, 3}));
    QString err;
    ASSERT_TRUE(sim.start(&err)) << qPrintable(err);
    // The screenshot run moves a motor only on the simulator's pseudo-terminal.
    EXPECT_TRUE(ScreenshotTour::isPseudoTerminal(sim.portPath()));
    QTemporaryDir dir;
    EXPECT_FALSE(ScreenshotTour::isPseudoTerminal(dir.path()));
    EXPECT_FALSE(ScreenshotTour::isPseudoTerminal("ttyUSB0"));

    auto window = std::make_unique<MainWindow>();
    window->resize(1280, 800);
    window->show();
    CANWorker* worker = helper->canWorker();
    FirstMotorOpener opener(worker); // made after the window, as the program does
    QApplication::processEvents();

    worker->connectPort(sim.portPath());
    auto* sidebar = window->findChild<Sidebar*>();
    ASSERT_NE(sidebar, nullptr);
    ve::DataObject* first = nullptr;
    ParamTablePage* page = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            first = worker->deviceByCanId(1);
            page = first ? ParamTablePage::of(first) : nullptr;
            return page && page->isLive() && page->tableWidget->rowCount() > 0
                && sidebar->ui.cmbDevice->count() == 3;
        },
        15000));

    // Every motor is kept and listed; the first is current and only its table opened.
    EXPECT_EQ(worker->deviceMapSize(), 3);
    EXPECT_EQ(opener.device(), first);
    EXPECT_EQ(helper->currentDevice(), first);
    EXPECT_EQ(sidebar->ui.cmbDevice->currentText(), "R58 Motor 1");
    EXPECT_EQ(ParamTablePage::of(worker->deviceByCanId(2)), nullptr);
    EXPECT_EQ(ParamTablePage::of(worker->deviceByCanId(3)), nullptr);
    Editor* editor = window->editor();
    EXPECT_EQ(editor->pageAt(editor->currentIndex()), page);
    EXPECT_TRUE(dialogs->boxes.isEmpty()) << qPrintable(dialogs->boxes.value(0).text);

    window.reset();
    worker->disconnectPort();
    helper->setCurrentDevice(nullptr);
    helper->setEditDevice(nullptr, QString());
    ve::d("project.device")->clear(nullptr, true, false);
    helper->setDialogProvider(nullptr);
}

} // namespace
