// The motion panel against the simulated adapter and motors on a pty: what reaches the bus,
// how often and in which order.
#include "SidebarTestSupport.h"

#include "CANWorker.h"
#include "EnableButton.h"
#include "Helper.h"
#include "Sidebar.h"

#include <DataManager.h>
#include <DataObject.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {
const QString Mit = QStringLiteral("type 1 ext");
const QString Brake = QStringLiteral("type 20 ");
const QString JogStart = QStringLiteral("data 05 70 00 00 07 01");
const QString JogStop = QStringLiteral("data 05 70 00 00 07 00");
const QString SinOff = QStringLiteral("data 01 70 00 00 00 00 00 00");

QString to(int canId)
{
    return QStringLiteral("dst %1").arg(canId, 2, 16, QLatin1Char('0'));
}

QList<SidebarRig::Frame> only(const QList<SidebarRig::Frame>& frames, const QString& fragment)
{
    QList<SidebarRig::Frame> out;
    for (const SidebarRig::Frame& f : frames)
        if (f.text.contains(fragment))
            out << f;
    return out;
}
} // namespace

TEST(SidebarLink, ContinuousMitRunsAtFiftyHertzAndNothingFollowsStopOrEStop)
{
    SidebarRig rig(sim::SimConfig::forCanIds({1}));
    ASSERT_TRUE(rig.connect(1));
    MotionForm& ui = rig.sidebar->ui;
    ASSERT_EQ(rig.current(), rig.node(1));
    ui.cmbControlMode->setCurrentIndex(1);
    QTest::mouseClick(ui.ebControl, Qt::LeftButton);
    ASSERT_TRUE(rig.waitFrames("type 3 ", 1));
    QTest::mouseClick(ui.chbSingleStep, Qt::LeftButton);

    rig.messages.clear();
    QTest::mouseClick(ui.btnSendMIT, Qt::LeftButton);
    SidebarRig::pause(1400);
    QTest::mouseClick(ui.btnStopMIT, Qt::LeftButton);
    SidebarRig::pause(150); // what was on its way
    const QList<SidebarRig::Frame> sent = rig.frames(Mit);
    ASSERT_FALSE(sent.isEmpty());
    int inFirstSecond = 0;
    for (const SidebarRig::Frame& f : sent)
        inFirstSecond += f.at < sent.first().at + 1.0 ? 1 : 0;
    EXPECT_GE(inFirstSecond, 45);
    EXPECT_LE(inFirstSecond, 55);
    EXPECT_EQ(rig.messages.filter("MOTOR_CONTROL").size(), 1);
    SidebarRig::pause(300);
    EXPECT_EQ(rig.count(Mit), sent.size());

    // Running again, the emergency stop is the last word.
    QTest::mouseClick(ui.btnSendMIT, Qt::LeftButton);
    SidebarRig::pause(200);
    QTest::mouseClick(ui.btnEstop, Qt::LeftButton);
    ASSERT_TRUE(rig.waitFrames(Brake, 1));
    SidebarRig::pause(300);
    const double brakeAt = rig.frames(Brake).first().at;
    EXPECT_LE(rig.frames(Mit).last().at, brakeAt);
    EXPECT_EQ(rig.sidebar->sendingRow(), -1);
    EXPECT_FALSE(ui.ebControl->isEnable());
}

TEST(SidebarLink, EStopBrakesEveryConnectedMotorCurrentFirstAndEndsTheSineTest)
{
    SidebarRig rig(sim::SimConfig::forCanIds({1, 2}));
    ASSERT_TRUE(rig.connect(2));
    MotionForm& ui = rig.sidebar->ui;
    ve::DataObject* one = rig.node(1);
    ve::DataObject* two = rig.node(2);

    rig.makeCurrent(one);
    ui.cmbControlMode->setCurrentIndex(1);
    QTest::mouseClick(ui.ebControl, Qt::LeftButton);
    rig.makeCurrent(two);
    ui.cmbControlMode->setCurrentIndex(2);
    QTest::mouseClick(ui.ebControl, Qt::LeftButton);
    QTest::mouseClick(ui.ebSin, Qt::LeftButton);
    const int sin = rig.sim->parameterCode(1, "sin_enable");
    ASSERT_GE(sin, 0);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return rig.sim->parameterValue(1, quint16(sin)).toDouble() == 1.0; }, 3000));
    rig.sim->clearTrace();

    QTest::mouseClick(ui.btnEstop, Qt::LeftButton);
    ASSERT_TRUE(rig.waitFrames(SinOff, 1));
    SidebarRig::pause(300);
    const QList<SidebarRig::Frame> all = rig.frames();
    const QList<SidebarRig::Frame> brakes = only(all, Brake);
    ASSERT_EQ(brakes.size(), 2);
    EXPECT_TRUE(brakes[0].text.contains(to(2))) << brakes[0].text.toStdString();
    EXPECT_TRUE(brakes[1].text.contains(to(1))) << brakes[1].text.toStdString();
    EXPECT_EQ(only(all, SinOff).size(), 1);
    EXPECT_TRUE(only(all, SinOff).first().text.contains(to(2)));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return rig.sim->motorModeState(0) == 3 && rig.sim->motorModeState(1) == 3; }, 3000));
    EXPECT_EQ(rig.sim->parameterValue(1, quint16(sin)).toDouble(), 0.0);

    EXPECT_FALSE(ui.ebControl->isEnable());
    EXPECT_FALSE(ui.ebSin->isEnable());
    EXPECT_FALSE(two->r("_control.sin.enable")->getBool(true));
    rig.makeCurrent(one);
    EXPECT_FALSE(ui.ebControl->isEnable());
}

TEST(SidebarLink, JogStopsOnTheMotorItStartedOnWhateverBecomesCurrent)
{
    SidebarRig rig(sim::SimConfig::forCanIds({1, 2}));
    ASSERT_TRUE(rig.connect(2));
    MotionForm& ui = rig.sidebar->ui;
    rig.makeCurrent(rig.node(1));

    // Another motor becomes current during the jog: the jog ends on the first at once, and the
    // release sends nothing to the new one.
    QTest::mousePress(ui.btnJogPlus, Qt::LeftButton);
    ASSERT_TRUE(rig.waitFrames(JogStart, 1));
    EXPECT_TRUE(rig.frames(JogStart).first().text.contains(to(1)));
    rig.makeCurrent(rig.node(2));
    ASSERT_TRUE(rig.waitFrames(JogStop, 1));
    QTest::mouseRelease(ui.btnJogPlus, Qt::LeftButton);
    SidebarRig::pause(300);
    ASSERT_EQ(rig.count(JogStop), 1);
    EXPECT_TRUE(rig.frames(JogStop).first().text.contains(to(1)));
    EXPECT_EQ(rig.count(to(2)), 0);

    // The window loses focus while the button is held.
    rig.sim->clearTrace();
    QTest::mousePress(ui.btnJogMinus, Qt::LeftButton);
    ASSERT_TRUE(rig.waitFrames(JogStart, 1));
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    ASSERT_TRUE(rig.waitFrames(JogStop, 1));
    EXPECT_TRUE(rig.frames(JogStop).first().text.contains(to(2)));
    QTest::mouseRelease(ui.btnJogMinus, Qt::LeftButton);
    QApplication::setActiveWindow(rig.window);

    // The panel is hidden while the button is held.
    rig.sim->clearTrace();
    QTest::mousePress(ui.btnJogPlus, Qt::LeftButton);
    ASSERT_TRUE(rig.waitFrames(JogStart, 1));
    rig.sidebar->hide();
    ASSERT_TRUE(rig.waitFrames(JogStop, 1));
    EXPECT_EQ(rig.sidebar->jogDevice(), nullptr);
    SidebarRig::pause(200);
    EXPECT_EQ(rig.count(JogStop), 1);
}
