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

#include <functional>
#include <memory>

namespace {

QString cellText(QTableWidget* t, int row, int col)
{
    QTableWidgetItem* item = t->item(row, col);
    return item ? item->text() : QString();
}

// The services, a fresh tree with the shipped defaults, three simulated motors and the window.
struct FirstConnectRig
{
    Helper* helper = nullptr;
    RecordingDialogs* dialogs = nullptr;
    sim::SimServer sim {sim::SimConfig::forCanIds({1, 2, 3})};
    std::unique_ptr<MainWindow> window;
    CANWorker* worker = nullptr;
    ve::DataObject* first = nullptr;
    ParamTablePage* page = nullptr;

    explicit FirstConnectRig(bool keepSeveral)
    {
        servobench::initUiResources();
        helper = Helper::instance();
        if (!helper->canWorker())
            helper->createServices();
        dialogs = BenchRig::freshTree();
        if (keepSeveral)
            ve::d().rootDobj()->set(nullptr, "config.setting.enable_multiple_devices", true, true);
        worker = helper->canWorker();
    }
    bool start()
    {
        QString err;
        if (!sim.start(&err))
            return false;
        window = std::make_unique<MainWindow>();
        window->resize(1280, 800);
        window->show();
        return true;
    }
    // Waits until the first motor's page shows the rows read from the motor.
    bool waitForFirstTable(const std::function<bool()>& more = [] { return true; })
    {
        return QTest::qWaitFor(
            [&] {
                first = worker->deviceByCanId(1);
                page = first ? ParamTablePage::of(first) : nullptr;
                return page && page->isLive() && page->tableWidget->rowCount() > 0 && more();
            },
            15000);
    }
    ~FirstConnectRig()
    {
        window.reset();
        worker->disconnectPort();
        helper->setCurrentDevice(nullptr);
        helper->setEditDevice(nullptr, QString());
        ve::d("project.device")->clear(nullptr, true, false);
        helper->setDialogProvider(nullptr);
    }
};

TEST(FirstConnect, DefaultSettingsOpenTheFirstMotorsFilledTable)
{
    FirstConnectRig rig(false); // the shipped defaults, nothing changed
    ASSERT_TRUE(rig.start());
    QApplication::processEvents();
    // The page must open on the motor that is already current, or the panel and page disagree.
    QList<ve::DataObject*> currentAtOpen;
    const auto conn = QObject::connect(ve::d("trigger.configure.param.new"), &ve::DataObject::changed,
        [&] { currentAtOpen << rig.helper->currentDevice(); });
    rig.worker->connectPort(rig.sim.portPath());
    ASSERT_TRUE(rig.waitForFirstTable());
    QObject::disconnect(conn);

    ASSERT_EQ(currentAtOpen.size(), 1);
    EXPECT_EQ(currentAtOpen.first(), rig.first);
    EXPECT_EQ(rig.helper->currentDevice(), rig.first);
    Editor* editor = rig.window->editor();
    ASSERT_GE(editor->currentIndex(), 0);
    EXPECT_EQ(editor->pageAt(editor->currentIndex()), rig.page);
    auto* sidebar = rig.window->findChild<Sidebar*>();
    ASSERT_NE(sidebar, nullptr);
    EXPECT_EQ(sidebar->ui.cmbDevice->currentText(), "R58 Motor 1");

    // The table shows the motor's own values, not the template's.
    const int m = rig.sim.motorIndexByCanId(1);
    const QVariant simSpeed = rig.sim.parameterValue(m, quint16(rig.sim.parameterCode(m, "limit_spd")));
    QTableWidget* t = rig.page->tableWidget;
    int row = -1;
    for (int r = 0; r < t->rowCount(); ++r)
        if (cellText(t, r, 1) == "limit_spd")
            row = r;
    ASSERT_GE(row, 0);
    EXPECT_DOUBLE_EQ(cellText(t, row, 6).toDouble(), simSpeed.toDouble());

    // Default settings keep one motor; the others are refused with the usual line, not a box.
    EXPECT_EQ(rig.worker->deviceMapSize(), 1);
    EXPECT_TRUE(rig.dialogs->boxes.isEmpty()) << qPrintable(rig.dialogs->boxes.value(0).text);
}

TEST(FirstConnect, SeveralMotorsKeptTheStartOptionOpensTheFirstMotorsTable)
{
    FirstConnectRig rig(true);
    ASSERT_TRUE(rig.start());
    // The screenshot run moves a motor only on the simulator's pseudo-terminal.
    EXPECT_TRUE(ScreenshotTour::isPseudoTerminal(rig.sim.portPath()));
    QTemporaryDir dir;
    EXPECT_FALSE(ScreenshotTour::isPseudoTerminal(dir.path()));
    EXPECT_FALSE(ScreenshotTour::isPseudoTerminal("ttyUSB0"));
    FirstMotorOpener opener(rig.worker); // made after the window, as the program does
    QApplication::processEvents();

    rig.worker->connectPort(rig.sim.portPath());
    auto* sidebar = rig.window->findChild<Sidebar*>();
    ASSERT_NE(sidebar, nullptr);
    ASSERT_TRUE(rig.waitForFirstTable([&] { return sidebar->ui.cmbDevice->count() == 3; }));

    // Every motor is kept and listed; the first is current and only its table opened.
    EXPECT_EQ(rig.worker->deviceMapSize(), 3);
    EXPECT_EQ(opener.device(), rig.first);
    EXPECT_EQ(rig.helper->currentDevice(), rig.first);
    EXPECT_EQ(sidebar->ui.cmbDevice->currentText(), "R58 Motor 1");
    EXPECT_EQ(ParamTablePage::of(rig.worker->deviceByCanId(2)), nullptr);
    EXPECT_EQ(ParamTablePage::of(rig.worker->deviceByCanId(3)), nullptr);
    Editor* editor = rig.window->editor();
    EXPECT_EQ(editor->pageAt(editor->currentIndex()), rig.page);
    EXPECT_TRUE(rig.dialogs->boxes.isEmpty()) << qPrintable(rig.dialogs->boxes.value(0).text);
}

} // namespace
