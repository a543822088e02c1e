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

#include <AppTree.h>
#include <DataManager.h>
#include <DataObject.h>

#include <QApplication>
#include <QComboBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// Three simulated motors and the main window on the shipped settings (not the rig's).
struct FirstConnectRig : BenchRig
{
    explicit FirstConnectRig(bool keepSeveral)
        : BenchRig(sim::SimConfig::forCanIds({1, 2, 3}))
    {
        servobench::importTemplate();
        if (keepSeveral)
            ve::d().rootDobj()->set(nullptr, "config.setting.enable_multiple_devices", true, true);
        main = std::make_unique<MainWindow>();
        main->resize(1280, 800);
        main->show();
        sidebar = main->findChild<Sidebar*>();
    }
    ~FirstConnectRig() override { main.reset(); }

    // Waits until the first motor's page shows the rows read from the motor.
    bool waitForFirstTable(const std::function<bool()>& more = [] { return true; })
    {
        return waitFor(
            [&] {
                first = node(1);
                page = first ? ParamTablePage::of(first) : nullptr;
                return page && page->isLive() && page->tableWidget->rowCount() > 0 && more();
            },
            15000);
    }
    bool pageIsCurrent() const { return main->editor()->pageAt(main->editor()->currentIndex()) == page; }

    std::unique_ptr<MainWindow> main;
    Sidebar* sidebar = nullptr;
    ve::DataObject* first = nullptr;
    ParamTablePage* page = nullptr;
};

TEST(FirstConnect, DefaultSettingsOpenTheFirstMotorsFilledTable)
{
    FirstConnectRig rig(false);
    ASSERT_TRUE(rig.sidebar);
    QApplication::processEvents();
    // The page must open on the motor that is already current, or the panel and page disagree.
    QList<ve::DataObject*> currentAtOpen;
    const auto conn = QObject::connect(ve::d("trigger.configure.param.new"), &ve::DataObject::changed,
        [&] { currentAtOpen << Helper::instance()->currentDevice(); });
    rig.worker()->connectPort(rig.sim->portPath());
    ASSERT_TRUE(rig.waitForFirstTable());
    QObject::disconnect(conn);

    EXPECT_EQ(currentAtOpen, QList<ve::DataObject*>({rig.first}));
    EXPECT_EQ(Helper::instance()->currentDevice(), rig.first);
    EXPECT_TRUE(rig.pageIsCurrent());
    EXPECT_EQ(rig.sidebar->ui.cmbDevice->currentText(), "R58 Motor 1");

    // The table shows the motor's own values, not the template's.
    const int m = rig.sim->motorIndexByCanId(1);
    const double simSpeed
        = rig.sim->parameterValue(m, quint16(rig.sim->parameterCode(m, "limit_spd"))).toDouble();
    QTableWidget* t = rig.page->tableWidget;
    const auto rows = t->findItems("limit_spd", Qt::MatchExactly);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_DOUBLE_EQ(t->item(rows.first()->row(), 6)->text().toDouble(), simSpeed);

    // Default settings keep one motor; the others are refused with the usual line, not a box.
    EXPECT_EQ(rig.worker()->deviceMapSize(), 1);
    EXPECT_TRUE(rig.dialogs->boxes.isEmpty()) << qPrintable(rig.dialogs->boxes.value(0).text);
}

TEST(FirstConnect, SeveralMotorsKeptTheStartOptionOpensTheFirstMotorsTable)
{
    FirstConnectRig rig(true);
    ASSERT_TRUE(rig.sidebar);
    // The screenshot run moves a motor only on the simulator's pseudo-terminal.
    EXPECT_TRUE(ScreenshotTour::isPseudoTerminal(rig.sim->portPath()));
    QTemporaryDir dir;
    EXPECT_FALSE(ScreenshotTour::isPseudoTerminal(dir.path()));
    EXPECT_FALSE(ScreenshotTour::isPseudoTerminal("ttyUSB0"));
    FirstMotorOpener opener(rig.worker()); // made after the window, as the program does
    QApplication::processEvents();

    rig.worker()->connectPort(rig.sim->portPath());
    ASSERT_TRUE(rig.waitForFirstTable([&] { return rig.sidebar->ui.cmbDevice->count() == 3; }));
    EXPECT_EQ(opener.device(), rig.first);
    EXPECT_EQ(Helper::instance()->currentDevice(), rig.first);
    EXPECT_EQ(rig.sidebar->ui.cmbDevice->currentText(), "R58 Motor 1");
    EXPECT_EQ(ParamTablePage::of(rig.node(2)), nullptr);
    EXPECT_EQ(ParamTablePage::of(rig.node(3)), nullptr);
    EXPECT_TRUE(rig.pageIsCurrent());
    EXPECT_TRUE(rig.dialogs->boxes.isEmpty()) << qPrintable(rig.dialogs->boxes.value(0).text);
}

} // namespace
