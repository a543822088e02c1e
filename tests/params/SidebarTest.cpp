// The motion panel clicked offscreen. Its own rules (set-point bindings, the device list, the
// control switch, the send rows) need no port: what was commanded shows in the worker's trace
// lines. What reaches the bus, how often and in which order is read from the simulator's trace.
#include "Sidebar.h"
#include "BenchRig.h"
#include "CANWorker.h"
#include "EnableButton.h"
#include "Helper.h"

#include <DataManager.h>
#include <DataObject.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSlider>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {
// The motion panel in the rig's window; without a simulator, devices are made by hand.
struct SidebarRig : BenchRig
{
    explicit SidebarRig(const std::optional<sim::SimConfig>& cfg = std::nullopt)
        : BenchRig(cfg)
    {
        ve::d().rootDobj()->set(nullptr, "config.setting.remove_device_on_disconnected", true, true);
        window->resize(480, 760);
        sidebar = new Sidebar(window);
        (new QHBoxLayout(window))->addWidget(sidebar);
        window->show();
        QApplication::setActiveWindow(window);
    }
    // As BenchRig::connect, then the simulator's trace starts empty.
    bool connect(int count)
    {
        const bool ok = BenchRig::connect(count);
        sim->clearTrace();
        return ok;
    }
    ve::DataObject* addDevice(const QString& name, int canId, bool connected = true)
    {
        ve::DataObject* node = ve::d("project.device")->append(nullptr, name);
        node->copyFrom(nullptr, ve::d("template.r58_motor"), true, false);
        node->set(nullptr, "info.can_id", canId, true);
        node->set(nullptr, "_connected", connected, true);
        emit worker()->deviceChanged();
        return node;
    }
    ve::DataObject* current() const { return Helper::instance()->currentDevice(); }
    using BenchRig::makeCurrent;
    void makeCurrent(ve::DataObject* node) { Helper::instance()->setCurrentDevice(node); }

    // Frames the simulator received, as its trace describes them ("type 1 ext .. src fd dst 01
    // len 8 data ..."), with their time in seconds, that contain a fragment.
    struct Frame
    {
        double at;
        QString text;
    };
    QList<Frame> frames(const QString& fragment = QString()) const
    {
        static const QRegularExpression line(QStringLiteral("^\\s*([0-9.]+) rx [0-9a-f ]+\\| (.*)$"));
        QList<Frame> out;
        for (const QString& l : sim->traceLines()) {
            const QRegularExpressionMatch m = line.match(l);
            if (m.hasMatch() && m.captured(2).contains(fragment))
                out.append({m.captured(1).toDouble(), m.captured(2)});
        }
        return out;
    }
    int count(const QString& fragment) const { return frames(fragment).size(); }
    bool waitFrames(const QString& fragment, int n, int ms = 5000) const
    {
        return waitFor([&] { return count(fragment) >= n; }, ms);
    }

    Sidebar* sidebar = nullptr;
};

const QString Mit = QStringLiteral("type 1 ext");
const QString Brake = QStringLiteral("type 20 ");
const QString JogStart = QStringLiteral("data 05 70 00 00 07 01");
const QString JogStop = QStringLiteral("data 05 70 00 00 07 00");
const QString SinOff = QStringLiteral("data 01 70 00 00 00 00 00 00");

QString to(int canId)
{
    return QStringLiteral("dst %1").arg(canId, 2, 16, QLatin1Char('0'));
}

void click(QWidget* w)
{
    QTest::mouseClick(w, Qt::LeftButton);
}
} // namespace

TEST(Sidebar, SetpointRowsFollowTheirLeafAndEditingSendsNothing)
{
    SidebarRig rig;
    ve::DataObject* a = rig.addDevice("a1", 1);
    MotionForm& ui = rig.sidebar->ui;
    ve::DataObject* torque = a->r("_control.mit.torque");
    ui.cmbControlMode->setCurrentIndex(1);
    click(ui.ebControl); // the MIT page can be used
    rig.messages.clear();

    // The template's current limit of 27 shows clamped, the slider at its end.
    EXPECT_DOUBLE_EQ(ui.dspnCurrent->value(), 23.0);
    EXPECT_EQ(ui.sldCurrent->value(), 999);

    // The slider's end is the entry's limit; in between the leaf keeps what the entry shows.
    ui.sldTorque->setValue(0);
    EXPECT_DOUBLE_EQ(torque->getDouble(), -12.0);
    ui.sldTorque->setValue(500);
    EXPECT_DOUBLE_EQ(ui.dspnTorque->value(), 0.012);
    EXPECT_DOUBLE_EQ(torque->getDouble(), 0.012);

    // Typing writes the leaf without its change signal and moves the slider.
    QSignalSpy changed(torque, &ve::DataObject::changed);
    ui.dspnTorque->setValue(6.0);
    EXPECT_DOUBLE_EQ(torque->getDouble(), 6.0);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(ui.sldTorque->value(), 749);

    // Another writer of the leaf is shown; the zero button announces its change.
    torque->set(nullptr, -3.0);
    EXPECT_DOUBLE_EQ(ui.dspnTorque->value(), -3.0);
    EXPECT_EQ(ui.sldTorque->value(), 374);
    click(ui.btnZeroTorque);
    EXPECT_DOUBLE_EQ(torque->getDouble(), 0.0);
    EXPECT_DOUBLE_EQ(ui.dspnTorque->value(), 0.0);

    EXPECT_TRUE(rig.messages.filter("Send R58 Command").isEmpty());
}

TEST(Sidebar, RefillsKeepTheCurrentDeviceElseTakeTheFirstAndBindItOnce)
{
    SidebarRig rig;
    MotionForm& ui = rig.sidebar->ui;
    ve::DataObject* a = rig.addDevice("a1", 1);
    EXPECT_EQ(rig.current(), a); // the first connected motor becomes current
    ve::DataObject* b = rig.addDevice("b2", 2);
    EXPECT_EQ(rig.current(), a);
    rig.makeCurrent(b);
    EXPECT_EQ(ui.cmbDevice->currentText(), "R58 Motor 2");
    ui.cmbControlMode->setCurrentIndex(1);
    click(ui.ebControl);

    rig.messages.clear();
    emit rig.worker()->deviceChanged();
    EXPECT_EQ(rig.current(), b);
    EXPECT_EQ(rig.messages.filter("Activate device"), QStringList {"Activate device: R58 Motor 2"});
    emit rig.worker()->deviceChanged();
    emit rig.worker()->deviceChanged();
    QSignalSpy zeroed(b->r("_control.mit.kp"), &ve::DataObject::changed);
    click(ui.btnZeroKp);
    EXPECT_EQ(zeroed.count(), 1); // one binding after three refills

    // The bound device goes away: the next refill binds the other one, nothing of the old is left.
    rig.messages.clear();
    ve::d("project.device")->remove(nullptr, b);
    emit rig.worker()->deviceChanged();
    ASSERT_EQ(rig.current(), a);
    EXPECT_EQ(ui.cmbDevice->count(), 1);
    EXPECT_EQ(rig.messages.filter("Activate device").last(), "Activate device: R58 Motor 1");
    ui.cmbControlMode->setCurrentIndex(1);
    click(ui.ebControl);
    ui.sldKp->setValue(999);
    EXPECT_DOUBLE_EQ(a->r("_control.mit.kp")->getDouble(), 500.0);
    QSignalSpy zeroedA(a->r("_control.mit.kp"), &ve::DataObject::changed);
    click(ui.btnZeroKp);
    EXPECT_EQ(zeroedA.count(), 1);
    EXPECT_DOUBLE_EQ(ui.dspnKp->value(), 0.0);

    rig.messages.clear();
    a->set(nullptr, "_connected", false);
    emit rig.worker()->deviceChanged();
    EXPECT_TRUE(rig.current()->isEmpty());
    EXPECT_EQ(rig.messages.filter("Activate device"), QStringList {"Activate device: No device"});
}

TEST(Sidebar, ControlSwitchSendsTheRunModeEveryTimeAndKeepsItsOwnState)
{
    SidebarRig rig;
    ve::DataObject* a = rig.addDevice("a1", 1);
    ve::DataObject* b = rig.addDevice("b2", 2);
    MotionForm& ui = rig.sidebar->ui;
    ui.cmbControlMode->setCurrentIndex(1); // MIT

    rig.messages.clear();
    click(ui.ebControl);
    EXPECT_EQ(rig.messages.filter("SET_RUN_MODE to CAN(1)").size(), 1);
    EXPECT_EQ(rig.messages.filter("SET_MODE to CAN(1): motor mode").size(), 1);
    EXPECT_EQ(a->r("_mode")->getInt(), 0);
    EXPECT_TRUE(ui.stackedWidget->isEnabled());
    EXPECT_FALSE(ui.cmbControlMode->isEnabled());

    click(ui.ebControl);
    EXPECT_EQ(rig.messages.filter("SET_MODE to CAN(1): reset mode").size(), 1);
    EXPECT_EQ(a->r("_mode")->getInt(), 0); // the last run mode is kept
    EXPECT_TRUE(ui.cmbControlMode->isEnabled());

    // Switched off and reselected: the switch shows off.
    rig.makeCurrent(b);
    rig.makeCurrent(a);
    EXPECT_FALSE(ui.ebControl->isEnable());
    EXPECT_EQ(ui.cmbControlMode->currentIndex(), 1);

    // On again in the same mode: the run mode goes out again (the motor may have restarted).
    click(ui.ebControl);
    EXPECT_EQ(rig.messages.filter("SET_RUN_MODE to CAN(1)").size(), 2);
    // Each motor keeps its own switch.
    rig.makeCurrent(b);
    EXPECT_FALSE(ui.ebControl->isEnable());
    rig.makeCurrent(a);
    EXPECT_TRUE(ui.ebControl->isEnable());
    EXPECT_FALSE(ui.cmbControlMode->isEnabled());

    // A motor that was away comes back switched off.
    a->set(nullptr, "_connected", false);
    emit rig.worker()->deviceChanged();
    a->set(nullptr, "_connected", true);
    emit rig.worker()->deviceChanged();
    rig.makeCurrent(a);
    EXPECT_FALSE(ui.ebControl->isEnable());
}

TEST(Sidebar, WithoutADeviceNothingPretendsToWork)
{
    SidebarRig rig;
    MotionForm& ui = rig.sidebar->ui;
    click(ui.ebControl);
    EXPECT_FALSE(ui.ebControl->isEnable());
    EXPECT_FALSE(ui.stackedWidget->isEnabled());
    click(ui.ebSin);
    EXPECT_FALSE(ui.ebSin->isEnable());

    ui.cmbControlMode->setCurrentIndex(1);
    ui.stackedWidget->setEnabled(true);
    click(ui.btnSendMIT);
    QTest::mousePress(ui.btnJogPlus, Qt::LeftButton);
    QTest::mouseRelease(ui.btnJogPlus, Qt::LeftButton);
    EXPECT_EQ(rig.dialogs->texts(DialogProvider::Box::Critical),
        QStringList({"No activated device!", "No activated device!"}));
    EXPECT_EQ(rig.sidebar->sendingRow(), -1);
    EXPECT_TRUE(rig.messages.filter("Send R58 Command").isEmpty());
}

TEST(Sidebar, ContinuousRowsRunAtTheDeviceRateAndStopWhenUnchecked)
{
    EXPECT_EQ(Sidebar::sendInterval(nullptr), 20);
    SidebarRig rig;
    ve::DataObject* a = rig.addDevice("a1", 1);
    MotionForm& ui = rig.sidebar->ui;
    // A rate of nothing, a flood or a typo in the project is kept to 1..100 Hz.
    for (auto [hz, ms] : {std::pair<QVariant, int> {0, 1000}, {5000, 10}, {"fast", 1000}, {50, 20}}) {
        a->set(nullptr, "_control.frequency", hz);
        EXPECT_EQ(Sidebar::sendInterval(a), ms) << hz.toString().toStdString();
    }

    ui.cmbControlMode->setCurrentIndex(2);
    click(ui.ebControl);
    EXPECT_FALSE(ui.btnStopPos->isVisibleTo(rig.sidebar));
    click(ui.chbContiniousPos);
    EXPECT_TRUE(ui.btnStopPos->isVisibleTo(rig.sidebar));

    rig.messages.clear();
    click(ui.btnStartPos);
    EXPECT_EQ(rig.sidebar->sendingRow(), Sidebar::PositionRow);
    EXPECT_TRUE(rig.sidebar->sendTimer()->isActive());
    EXPECT_EQ(rig.sidebar->sendTimer()->interval(), 20);
    SidebarRig::pause(200);
    // One trace line per command of the Start, none for the repeats.
    EXPECT_EQ(rig.messages.filter("MOTOR_SDO_FLOAT").size(), 2);

    // Unchecking hides the only Stop button, so it stops the row.
    click(ui.chbContiniousPos);
    EXPECT_FALSE(ui.btnStopPos->isVisibleTo(rig.sidebar));
    EXPECT_EQ(rig.sidebar->sendingRow(), -1);
    EXPECT_FALSE(rig.sidebar->sendTimer()->isActive());

    // Unchecked, Start sends once.
    rig.messages.clear();
    click(ui.btnStartPos);
    EXPECT_FALSE(rig.sidebar->sendTimer()->isActive());
    EXPECT_EQ(rig.messages.filter("MOTOR_SDO_FLOAT").size(), 2);

    // Switching control off stops a running row.
    click(ui.chbContiniousPos);
    click(ui.btnStartPos);
    ASSERT_TRUE(rig.sidebar->sendTimer()->isActive());
    click(ui.ebControl);
    EXPECT_FALSE(rig.sidebar->sendTimer()->isActive());

    // Hiding the panel takes its Stop button away: the row stops.
    click(ui.ebControl);
    click(ui.btnStartPos);
    ASSERT_TRUE(rig.sidebar->sendTimer()->isActive());
    rig.sidebar->hide();
    EXPECT_FALSE(rig.sidebar->sendTimer()->isActive());
}

TEST(SidebarLink, ContinuousMitRunsAtFiftyHertzAndNothingFollowsStopOrEStop)
{
    SidebarRig rig(sim::SimConfig::forCanIds({1}));
    ASSERT_TRUE(rig.connect(1));
    MotionForm& ui = rig.sidebar->ui;
    ASSERT_EQ(rig.current(), rig.node(1));
    ui.cmbControlMode->setCurrentIndex(1);
    click(ui.ebControl);
    ASSERT_TRUE(rig.waitFrames("type 3 ", 1));
    click(ui.chbSingleStep);

    rig.messages.clear();
    click(ui.btnSendMIT);
    SidebarRig::pause(1400);
    click(ui.btnStopMIT);
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
    click(ui.btnSendMIT);
    SidebarRig::pause(200);
    click(ui.btnEstop);
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
    click(ui.ebControl);
    rig.makeCurrent(two);
    ui.cmbControlMode->setCurrentIndex(2);
    click(ui.ebControl);
    click(ui.ebSin);
    const int sin = rig.sim->parameterCode(1, "sin_enable");
    ASSERT_GE(sin, 0);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return rig.sim->parameterValue(1, quint16(sin)).toDouble() == 1.0; }, 3000));
    rig.sim->clearTrace();

    click(ui.btnEstop);
    ASSERT_TRUE(rig.waitFrames(SinOff, 1));
    SidebarRig::pause(300);
    const QList<SidebarRig::Frame> brakes = rig.frames(Brake);
    ASSERT_EQ(brakes.size(), 2);
    EXPECT_TRUE(brakes[0].text.contains(to(2))) << brakes[0].text.toStdString();
    EXPECT_TRUE(brakes[1].text.contains(to(1))) << brakes[1].text.toStdString();
    ASSERT_EQ(rig.count(SinOff), 1);
    EXPECT_TRUE(rig.frames(SinOff).first().text.contains(to(2)));
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
