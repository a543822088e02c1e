#include "DeviceTestSupport.h"

#include "CANWorker.h"
#include "DetectDeviceDialog.h"
#include "DeviceInfoPage.h"
#include "DeviceTools.h"
#include "DeviceWidget.h"
#include "Helper.h"
#include "ShellExtensions.h"

#include <DataManager.h>
#include <DataObject.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {
void click(DeviceWidget* tree, QTreeWidgetItem* item)
{
    tree->scrollToItem(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
}

QTreeWidgetItem* infoRow(QTreeWidgetItem* top, int row)
{
    return top->child(0)->child(row);
}
} // namespace

TEST(DeviceTree, DetectionDialogListsPortsHelpsAndATypedPortBringsThreeMotors)
{
    DeviceRig rig(sim::SimConfig::forCanIds({1, 2, 3}));
    DetectDeviceDialog dialog(rig.window);
    EXPECT_GE(dialog.cmbPort->findText(rig.sim->portPath()), 0);

    // Refresh empties and refills the list from the current ports.
    qputenv("SERVOBENCH_PORTS", "/dev/servobench-a:/dev/servobench-b");
    QTest::mouseClick(dialog.btnRefresh, Qt::LeftButton);
    EXPECT_GE(dialog.cmbPort->findText("/dev/servobench-b"), 0);
    EXPECT_LT(dialog.cmbPort->findText(rig.sim->portPath()), 0);

    // The link explains port access on Linux instead of starting an installer.
    emit dialog.lblInstall->linkActivated("driver");
    const QStringList about = rig.dialogs->texts(DialogProvider::Box::About);
    ASSERT_EQ(about.size(), 1);
    EXPECT_TRUE(about.first().contains("dialout"));
    EXPECT_FALSE(QFile::exists("driver.exe"));
    DetectDeviceDialog closed(rig.window);
    closed.show();
    QTest::mouseClick(closed.btnClose, Qt::LeftButton);
    EXPECT_FALSE(closed.isVisible());
    EXPECT_EQ(closed.result(), QDialog::Rejected);

    // Connect with nothing chosen neither connects nor closes.
    dialog.cmbPort->clear();
    dialog.cmbPort->setEditText(QString());
    dialog.show();
    QTest::mouseClick(dialog.btnAdd, Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(Helper::instance()->isSerialOpen());

    // A typed path the list does not offer connects.
    QTest::keyClicks(dialog.cmbPort->lineEdit(), rig.sim->portPath());
    QTest::mouseClick(dialog.btnAdd, Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_TRUE(rig.waitScanned(3)) << rig.messages.join('\n').toStdString();
    ASSERT_EQ(rig.tree->topLevelItemCount(), 3);
    for (int i = 0; i < 3; ++i) {
        QTreeWidgetItem* top = rig.tree->topLevelItem(i);
        const int canId = i + 1;
        const quint64 mcu = rig.sim->motorMcuId(rig.sim->motorIndexByCanId(quint8(canId)));
        EXPECT_EQ(top->text(0), QString("R58 Motor %1").arg(canId));
        EXPECT_EQ(top->text(1), "Connected");
        EXPECT_EQ(infoRow(top, 1)->text(1), QString::number(mcu, 16));
        // The tree filled the node from the template before the worker wrote to it.
        for (const char* member :
            {"_connected", "_control", "_analyze", "_trigger", "alias", "info", "param"})
            EXPECT_TRUE(rig.node(canId)->hasCdobj(member)) << member;
    }
}

TEST(DeviceTree, ClickingMakesCurrentOnlyWhileTriggerByLeftIsOn)
{
    DeviceRig rig(sim::SimConfig::forCanIds({1, 2, 3}));
    ASSERT_TRUE(rig.connectFromDialog(3)) << rig.messages.join('\n').toStdString();
    Helper* helper = Helper::instance();
    QSignalSpy changed(helper, &Helper::currentDeviceDobjChanged);

    // A click on a grandchild selects its device.
    click(rig.tree, infoRow(rig.tree->topLevelItem(1), 2));
    EXPECT_EQ(helper->currentDevice(), rig.node(2));
    EXPECT_EQ(changed.count(), 1);
    click(rig.tree, rig.tree->topLevelItem(1));
    EXPECT_EQ(changed.count(), 1); // same device: no signal

    ve::d().rootDobj()->set(nullptr, "config.setting.trigger_by_left", false, true);
    click(rig.tree, rig.tree->topLevelItem(2));
    EXPECT_EQ(helper->currentDevice(), rig.node(2));
    EXPECT_EQ(changed.count(), 1);

    ve::d().rootDobj()->set(nullptr, "config.setting.trigger_by_left", true, true);
    click(rig.tree, rig.tree->topLevelItem(0));
    EXPECT_EQ(helper->currentDevice(), rig.node(1));
    EXPECT_EQ(changed.count(), 2);
}

TEST(DeviceTree, DisconnectRemovesOrMarksAsTheSettingSays)
{
    DeviceRig rig(sim::SimConfig::forCanIds({4, 5, 6}));
    ve::d().rootDobj()->set(nullptr, "config.setting.remove_device_on_disconnected", false, true);
    ASSERT_TRUE(rig.connectFromDialog(3));
    Helper::instance()->canWorker()->disconnectPort();
    ASSERT_EQ(rig.tree->topLevelItemCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(rig.tree->topLevelItem(i)->text(1), "Disconnected");
    // Connecting again finds the same nodes and marks them connected.
    ASSERT_TRUE(rig.connectFromDialog(3));
    EXPECT_EQ(rig.tree->topLevelItemCount(), 3);
    EXPECT_EQ(rig.tree->topLevelItem(0)->text(1), "Connected");

    ve::d().rootDobj()->set(nullptr, "config.setting.remove_device_on_disconnected", true, true);
    Helper::instance()->canWorker()->disconnectPort();
    EXPECT_EQ(rig.tree->topLevelItemCount(), 0);
}

TEST(DeviceTree, NamesFollowCanIdParamRowsAndRemovalIsExact)
{
    DeviceRig rig(sim::SimConfig::forCanIds({1}));
    ve::DataObject* list = ve::d("project.device");
    ve::DataObject* a = list->append(nullptr, "a1");
    list->append(nullptr, "b2");
    ve::DataObject* c = list->append(nullptr, "c3");
    ASSERT_EQ(rig.tree->topLevelItemCount(), 3);
    c->set(nullptr, "info.can_id", 9, true);
    EXPECT_EQ(rig.tree->topLevelItem(2)->text(0), "R58 Motor 9");
    EXPECT_EQ(infoRow(rig.tree->topLevelItem(2), 2)->text(1), "9");
    c->set(nullptr, "info.mcu_id", QVariant::fromValue<qulonglong>(0xABCDEF), true);
    EXPECT_EQ(infoRow(rig.tree->topLevelItem(2), 1)->text(1), "abcdef");
    c->set(nullptr, "_connected", true, true);
    EXPECT_EQ(rig.tree->topLevelItem(2)->text(1), "Connected");

    // Parameter rows follow the node's "param".
    ve::DataObject* params = a->cdobj("param");
    params->set(nullptr, "limit_torque", 12.5, true);
    params->set(nullptr, "name", "joint", true);
    QTest::qWait(10);
    QTreeWidgetItem* paramRow = rig.tree->topLevelItem(0)->child(1);
    ASSERT_EQ(paramRow->childCount(), 2);
    EXPECT_EQ(paramRow->child(0)->text(1), "12.5");
    params->remove(nullptr, "name");
    QTest::qWait(10);
    EXPECT_EQ(paramRow->childCount(), 1);

    list->remove(nullptr, "b2");
    ASSERT_EQ(rig.tree->topLevelItemCount(), 2);
    EXPECT_EQ(rig.tree->topLevelItem(0)->data(0, Qt::UserRole).toString(), "a1");
    EXPECT_EQ(rig.tree->topLevelItem(1)->data(0, Qt::UserRole).toString(), "c3");
    EXPECT_EQ(rig.tree->itemOf("b2"), nullptr);
}

TEST(DeviceTree, PiecesAreRegisteredWithTheShell)
{
    DeviceRig rig(sim::SimConfig::forCanIds({1}));
    QWidget host;
    auto tool = ShellExtensions::toolFactory(ShellExtensions::DeviceTab);
    auto page = ShellExtensions::pageFactory("device_info");
    auto left = ShellExtensions::leftPaneFactory();
    ASSERT_TRUE(tool && page && left);
    EXPECT_TRUE(qobject_cast<DeviceTools*>(tool(&host)));
    EXPECT_TRUE(qobject_cast<DeviceInfoPage*>(page(&host)));
    EXPECT_TRUE(qobject_cast<DeviceWidget*>(left(&host)));
}
