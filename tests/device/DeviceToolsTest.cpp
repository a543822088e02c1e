#include "DeviceTestSupport.h"

#include "CANWorker.h"
#include "DetectDeviceDialog.h"
#include "DeviceInfoPage.h"
#include "DeviceTools.h"
#include "DeviceWidget.h"
#include "Helper.h"

#include <DataManager.h>
#include <DataObject.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

namespace {
void setConfig(const char* path, const QVariant& v)
{
    ve::d().rootDobj()->set(nullptr, path, v, true);
}

DetectDeviceDialog* openDetectDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<DetectDeviceDialog*>(w); d && d->isVisible())
            return d;
    return nullptr;
}
} // namespace

TEST(DeviceTools, ConnectDisconnectFollowWorkingAndInfoFiresItsTrigger)
{
    DeviceRig rig(sim::SimConfig::forCanIds({1, 2}));
    DeviceTools tools(rig.window);
    EXPECT_TRUE(tools.btnConnect->isEnabled());
    EXPECT_FALSE(tools.btnDisconnect->isEnabled());

    // Connect opens a detection dialog that goes away when closed.
    QTest::mouseClick(tools.btnConnect, Qt::LeftButton);
    QPointer<DetectDeviceDialog> dialog = openDetectDialog();
    ASSERT_TRUE(dialog);
    dialog->cmbPort->setCurrentText(rig.sim->portPath());
    QTest::mouseClick(dialog->btnAdd, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.isNull(); }, 2000));
    ASSERT_TRUE(QTest::qWaitFor([] { return Helper::instance()->canWorker()->deviceMapSize() == 2; }, 10000));
    EXPECT_FALSE(tools.btnConnect->isEnabled());
    EXPECT_TRUE(tools.btnDisconnect->isEnabled());
    ASSERT_TRUE(rig.idle());

    QSignalSpy info(ve::d("trigger.device.info.new"), &ve::DataObject::changed);
    QTest::mouseClick(tools.btnDeviceInfo, Qt::LeftButton);
    EXPECT_EQ(info.count(), 1);

    // Disconnect asks first; "no" keeps the link.
    rig.dialogs->confirm = false;
    QTest::mouseClick(tools.btnDisconnect, Qt::LeftButton);
    EXPECT_EQ(rig.dialogs->texts(DialogProvider::Box::Question), QStringList {"Are you sure to disconnect?"});
    EXPECT_TRUE(Helper::instance()->isSerialOpen());
    rig.dialogs->confirm = true;
    QTest::mouseClick(tools.btnDisconnect, Qt::LeftButton);
    EXPECT_FALSE(Helper::instance()->isSerialOpen());
    EXPECT_TRUE(tools.btnConnect->isEnabled());
    EXPECT_FALSE(tools.btnDisconnect->isEnabled());
}

TEST(DeviceTools, CanIdFromTheStripWithAutoIncreaseAndMechanicalZero)
{
    DeviceRig rig(sim::SimConfig::forCanIds({1, 2, 3}));
    ASSERT_TRUE(rig.connectFromDialog(3));
    DeviceTools tools(rig.window);
    tools.spnCanId->setValue(5);
    setConfig("config.setting.auto_increase_can_id", true);
    rig.makeCurrent(3);
    const QString name = Helper::instance()->currentDevice()->name();
    QTest::mouseClick(tools.btnChangeCanId, Qt::LeftButton);
    EXPECT_EQ(tools.spnCanId->value(), 6);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.sim->motorCanId(2) == 5 && rig.node(5); }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.tree->itemOf(name)->text(0) == "R58 Motor 5"; }, 2000));
    // A rebuilt strip (tab chosen again) still offers the next ID.
    DeviceTools rebuilt(rig.window);
    EXPECT_EQ(rebuilt.spnCanId->value(), 6);

    setConfig("config.setting.auto_increase_can_id", false);
    rig.makeCurrent(2);
    tools.spnCanId->setValue(20);
    QTest::mouseClick(tools.btnChangeCanId, Qt::LeftButton);
    EXPECT_EQ(tools.spnCanId->value(), 20);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.sim->motorCanId(1) == 20; }, 3000));
    ASSERT_TRUE(rig.idle());

    rig.makeCurrent(1);
    rig.messages.clear();
    QTest::mouseClick(tools.btnInit, Qt::LeftButton);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return rig.messages.contains("Set the mechanical zero successfully!"); }, 3000))
        << rig.messages.join('\n').toStdString();
}

TEST(DeviceTools, InformationPageShowsTheDeviceAndConfirmsItsCanIdChange)
{
    DeviceRig rig(sim::SimConfig::forCanIds({1, 2}));
    ASSERT_TRUE(rig.connectFromDialog(2));
    rig.makeCurrent(2);
    ve::DataObject* node = rig.node(2);
    DeviceInfoPage page(rig.window);
    EXPECT_EQ(page.deviceDobj(), node);
    EXPECT_EQ(page.lblDeviceName->text(), "R58 Motor 2");
    EXPECT_EQ(page.lblMcuId->text(), "0x" + node->name());
    EXPECT_EQ(page.spnCanId->value(), 2);
    // The product picture is drawn, not empty.
    auto* picture = page.findChild<QLabel*>("r58");
    ASSERT_TRUE(picture);
    const QImage img = picture->pixmap(Qt::ReturnByValue).toImage();
    ASSERT_FALSE(img.isNull());
    EXPECT_GT(qAlpha(img.pixel(img.width() / 2, img.height() / 2)), 0);

    page.spnCanId->setValue(7);
    QTest::mouseClick(page.btnChangeCanId, Qt::LeftButton);
    EXPECT_EQ(rig.dialogs->texts(DialogProvider::Box::Information),
        QStringList {"Device R58 Motor 7 CAN ID set successfully!"});
    EXPECT_EQ(rig.sim->motorCanId(1), 7);
    EXPECT_TRUE(QTest::qWaitFor([&] { return page.lblDeviceName->text() == "R58 Motor 7"; }, 1000));
    ASSERT_TRUE(rig.idle());

    // Nobody answers under this ID: no confirmation within 300 ms.
    node->set(nullptr, "info.can_id", 50, true);
    page.spnCanId->setValue(8);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(page.btnChangeCanId, Qt::LeftButton);
    EXPECT_GE(clock.elapsed(), 250); // a coarse 300 ms timer may fire a little early
    EXPECT_EQ(rig.dialogs->texts(DialogProvider::Box::Critical),
        QStringList {"Device R58 Motor 50 CAN ID set failed!"});
}

TEST(DeviceTools, CalibrationAnsweredNoSendsNothingYesShowsTheStepsAndTheResult)
{
    sim::SimConfig cfg = sim::SimConfig::forCanIds({1});
    cfg.calibrationMs = 800;
    DeviceRig rig(cfg);
    ASSERT_TRUE(rig.connectFromDialog(1));
    DeviceTools tools(rig.window);

    // Without a device nothing happens at all.
    QTest::mouseClick(tools.btnEncoderCalibration, Qt::LeftButton);
    EXPECT_TRUE(rig.dialogs->boxes.isEmpty());

    rig.makeCurrent(1);
    rig.dialogs->confirm = false;
    const quint64 before = rig.sim->framesReceived();
    QTest::mouseClick(tools.btnEncoderCalibration, Qt::LeftButton);
    QTest::qWait(100);
    EXPECT_EQ(rig.sim->framesReceived(), before);
    EXPECT_TRUE(rig.blockTexts.isEmpty());
    EXPECT_EQ(rig.dialogs->texts(DialogProvider::Box::Question),
        QStringList {"The motor will rotate during calibration, are you sure to continue?"});

    rig.dialogs->confirm = true;
    QTest::mouseClick(tools.btnEncoderCalibration, Qt::LeftButton);
    EXPECT_EQ(rig.blocks(),
        QStringList(
            {"Preparing calibration...", "Calibrating encoder...", "Saving calibration result...", ""}))
        << rig.messages.join('\n').toStdString();
    // The worker's reaction to the final offset follows the closed box.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !rig.dialogs->texts(DialogProvider::Box::Information).isEmpty(); }, 1000));
    const QStringList infos = rig.dialogs->texts(DialogProvider::Box::Information);
    ASSERT_EQ(infos.size(), 1) << rig.messages.join(QLatin1Char(10)).toStdString();
    EXPECT_TRUE(infos.first().startsWith(
        "Device R58 Motor 1 encoder calibration finish.\nEncoder Electrical Offset: "))
        << infos.first().toStdString();
    EXPECT_TRUE(rig.dialogs->texts(DialogProvider::Box::Critical).isEmpty());
}
