#include "Sidebar.h"

#include "EnableButton.h"
#include "Helper.h"
#include "MotionSetpoint.h"

#include <DataManager.h>
#include <DataObject.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QHideEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTimer>

#include <cmath>

namespace {
// Object indices of the motor's run-time settings written by the panel.
constexpr quint16 SdoSinEnable = 0x7001;
constexpr quint16 SdoSinFrequency = 0x7002;
constexpr quint16 SdoSinAmplitude = 0x7003;
constexpr quint16 SdoIqRef = 0x7006;
constexpr quint16 SdoIdRef = 0x7007;
constexpr quint16 SdoSpeedRef = 0x700A;
constexpr quint16 SdoPositionRef = 0x7016;
constexpr quint16 SdoSpeedLimit = 0x7017;
constexpr quint16 SdoCurrentLimit = 0x7018;

constexpr int RefreshMode = -2;
constexpr int NoMode = -1;

// Whether the panel has switched this motor on. Kept apart from "_mode" (the run mode last
// written), which outlives switching off and must not make the switch look on.
const char* const SwitchPath = "_control.enabled";

ve::DataObject* deviceList()
{
    return ve::d("project.device");
}
} // namespace

Sidebar::Sidebar(QWidget* parent)
    : QWidget(parent)
    , m_worker(Helper::instance()->canWorker())
    , m_timer(new QTimer(this))
{
    ui.setupUi(this);
    m_timer->setTimerType(Qt::PreciseTimer);

    ui.cmbControlMode->setCurrentIndex(0);
    ui.stackedWidget->setCurrentIndex(0);
    ui.wgtSin->hide();
    ui.ebControl->setEnable(false);
    ui.stackedWidget->setEnabled(false);

    ve::DataObject* current = Helper::instance()->currentDevice();
    ui.ebSin->setEnable(current->r("_control.sin.enable")->getBool(false));
    ui.dspnSinA->setValue(current->r("_control.sin.amplitude")->getDouble(ui.dspnSinA->value()));
    ui.dspnSinF->setValue(current->r("_control.sin.frequency")->getDouble(ui.dspnSinF->value()));

    m_rows = {{{ui.chbSingleStep, ui.btnSendMIT, ui.btnStopMIT},
        {ui.chbContiniousPos, ui.btnStartPos, ui.btnStopPos},
        {ui.chbContiniousVel, ui.btnStartVel, ui.btnStopVel}}};
    for (int row = 0; row < RowCount; ++row) {
        const Row& r = m_rows[row];
        r.check->setChecked(false);
        r.stop->hide();
        connect(r.check, &QCheckBox::toggled, this, [this, row](bool on) { continuousToggled(row, on); });
        connect(r.start, &QPushButton::clicked, this, [this, row] { startRow(row); });
        connect(r.stop, &QPushButton::clicked, this, &Sidebar::stopSending);
    }

    auto setpoint = [this](const char* path, QDoubleSpinBox* spin, QSlider* slider, QPushButton* zero) {
        m_setpoints.push_back(
            std::make_unique<MotionSetpoint>(this, QString::fromLatin1(path), spin, slider, zero));
    };
    setpoint("_control.mit.torque", ui.dspnTorque, ui.sldTorque, ui.btnZeroTorque);
    setpoint("_control.mit.pos", ui.dspnPos, ui.sldPos, ui.btnZeroPos);
    setpoint("_control.mit.vel", ui.dspnVel, ui.sldVel, ui.btnZeroVel);
    setpoint("_control.mit.kp", ui.dspnKp, ui.sldKp, ui.btnZeroKp);
    setpoint("_control.mit.kd", ui.dspnKd, ui.sldKd, ui.btnZeroKd);
    setpoint("_control.pos.vel", ui.dspnVel_2, ui.sldVel_2, ui.btnZeroVel_2);
    setpoint("_control.pos.pos", ui.dspnPos_2, ui.sldPos_2, ui.btnZeroPos_2);
    setpoint("_control.vel.current", ui.dspnCurrent, ui.sldCurrent, ui.btnZeroCurrent);
    setpoint("_control.vel.vel", ui.dspnVel_3, ui.sldVel_3, ui.btnZeroVel_3);

    if (m_worker)
        connect(m_worker, &CANWorker::deviceChanged, this, &Sidebar::refillDevices);
    connect(Helper::instance(), &Helper::currentDeviceDobjChanged, this, &Sidebar::selectCurrentDevice);
    connect(ui.cmbDevice, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &Sidebar::changeDevice);
    connect(ui.btnEstop, &QPushButton::clicked, this, &Sidebar::emergencyStop);
    connect(ui.btnJogPlus, &QPushButton::pressed, this, [this] { jog(true); });
    connect(ui.btnJogMinus, &QPushButton::pressed, this, [this] { jog(false); });
    connect(ui.btnJogPlus, &QPushButton::released, this, &Sidebar::jogEnd);
    connect(ui.btnJogMinus, &QPushButton::released, this, &Sidebar::jogEnd);
    connect(ui.cmbControlMode, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &Sidebar::showMode);
    connect(ui.ebControl, &EnableButton::enabled, this, &Sidebar::controlSwitch);
    connect(ui.ebSin, &EnableButton::enabled, this, &Sidebar::sineTest);
    connect(
        ui.btnSendIq1, &QPushButton::clicked, this, [this] { sendCurrent(SdoIqRef, ui.dspnIq1->value()); });
    connect(
        ui.btnSendIq2, &QPushButton::clicked, this, [this] { sendCurrent(SdoIqRef, ui.dspnIq2->value()); });
    connect(ui.btnSendId, &QPushButton::clicked, this, [this] { sendCurrent(SdoIdRef, ui.dspnId->value()); });
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (m_sendRow < 0 || !m_sendDevice)
            stopSending();
        else
            sendRow(m_sendRow, m_sendDevice, false);
    });
}

Sidebar::~Sidebar()
{
    // The bindings hold connections to the form's widgets: drop them while those still exist.
    m_setpoints.clear();
}

// ---- device list ------------------------------------------------------------------------------

void Sidebar::refillDevices()
{
    ve::DataObject* current = Helper::instance()->currentDevice();
    {
        // One changeDevice per refill, for the device that stays current (or the first).
        const QSignalBlocker block(ui.cmbDevice);
        ui.cmbDevice->clear();
        for (ve::DataObject* node : deviceList()->cdobjs()) {
            if (node->r("_connected")->getBool(false))
                ui.cmbDevice->addItem(m_worker ? m_worker->deviceName(node) : node->name(), node->name());
            else if (switchedOn(node))
                setSwitchedOn(node, false); // a motor that was away comes back switched off
        }
        int index = current->isEmpty() ? -1
                                       : ui.cmbDevice->findData(current->name(), Qt::UserRole,
                                           Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index < 0 && ui.cmbDevice->count() > 0)
            index = 0;
        ui.cmbDevice->setCurrentIndex(index);
    }
    changeDevice(ui.cmbDevice->currentIndex());
}

void Sidebar::selectCurrentDevice()
{
    ve::DataObject* current = Helper::instance()->currentDevice();
    const int index = current->isEmpty()
        ? -1
        : ui.cmbDevice->findData(current->name(), Qt::UserRole, Qt::MatchExactly | Qt::MatchCaseSensitive);
    ui.cmbDevice->setCurrentIndex(index);
}

void Sidebar::changeDevice(int index)
{
    ve::DataObject* node = nullptr;
    if (index >= 0 && index < ui.cmbDevice->count()) {
        ve::DataObject* found = deviceList()->cdobj(ui.cmbDevice->itemData(index).toString(), true);
        if (!found->isEmpty())
            node = found;
    }
    // A jog must not outlive the device it was started on being the active one.
    if (node != m_device)
        stopJog();
    m_device = node;
    Helper* helper = Helper::instance();
    if ((node ? node : ve::d().emptyDobj()) != helper->currentDevice())
        helper->setCurrentDevice(node);

    helper->showStatus(
        tr("Activate device: %1")
            .arg(node ? (m_worker ? m_worker->deviceName(node) : node->name()) : tr("No device")));

    ve::DataObject* dev = node ? node : ve::d().emptyDobj();
    ui.ebSin->setEnable(dev->r("_control.sin.enable")->getBool(false));
    ui.dspnSinA->setValue(dev->r("_control.sin.amplitude")->getDouble(ui.dspnSinA->value()));
    ui.dspnSinF->setValue(dev->r("_control.sin.frequency")->getDouble(ui.dspnSinF->value()));

    for (const auto& setpoint : m_setpoints)
        setpoint->bind(node);

    modeUpdate(RefreshMode);
}

// ---- control mode -----------------------------------------------------------------------------

void Sidebar::showMode(int index)
{
    ui.stackedWidget->setCurrentIndex(index);
    ui.wgtSin->setVisible(index >= 2 && index <= 4);
}

int Sidebar::storedMode(ve::DataObject* device)
{
    if (!device)
        return NoMode;
    ve::DataObject* mode = device->r("_mode");
    return mode->isEmpty() ? NoMode : mode->getInt(NoMode);
}

bool Sidebar::switchedOn(ve::DataObject* device)
{
    return device && device->r(SwitchPath)->getBool(false);
}

void Sidebar::setSwitchedOn(ve::DataObject* device, bool on)
{
    if (device)
        device->set(this, SwitchPath, on, true);
}

void Sidebar::controlSwitch(bool on)
{
    ve::DataObject* dev = m_device;
    if (!dev && on) {
        on = false;
        ui.ebControl->setEnable(false);
    }
    ui.cmbControlMode->setEnabled(!on);
    ui.stackedWidget->setEnabled(on);
    if (on) {
        // The run mode goes out every time: a motor that was power-cycled has lost it.
        const int mode = ui.cmbControlMode->currentData().toInt();
        send(dev, CANWorker::SET_RUN_MODE, mode);
        dev->set(this, "_mode", mode, true);
        send(dev, CANWorker::SET_MODE, 1);
        setSwitchedOn(dev, true);
    } else {
        // No queued set-point may follow the reset.
        stopSending();
        if (dev) {
            send(dev, CANWorker::SET_MODE, 2);
            setSwitchedOn(dev, false);
        }
    }
}

void Sidebar::modeUpdate(int mode)
{
    ve::DataObject* dev = m_device;
    if (mode != RefreshMode && dev) {
        if (mode < 0)
            setSwitchedOn(dev, false);
        if (mode != storedMode(dev))
            dev->set(this, "_mode", mode, true);
    }
    const int m = storedMode(dev);
    const bool on = switchedOn(dev) && m >= 0;
    ui.ebControl->setEnable(on);
    ui.cmbControlMode->setEnabled(!on);
    const int item = ui.cmbControlMode->findData(m);
    ui.cmbControlMode->setCurrentIndex(item >= 0 ? item : 0);
    ui.stackedWidget->setEnabled(on);
    stopSending();
}

// ---- sending ----------------------------------------------------------------------------------

bool Sidebar::send(
    ve::DataObject* device, CANWorker::Command cmd, const QVariant& v1, const QVariant& v2, bool traced)
{
    return m_worker && device && m_worker->commandTo(device, cmd, v1, v2, traced);
}

ve::DataObject* Sidebar::deviceOrWarn()
{
    if (m_device)
        return m_device;
    Helper::instance()->showError(QCoreApplication::translate("Helper", "No activated device!"));
    return nullptr;
}

int Sidebar::sendInterval(ve::DataObject* device)
{
    double hz = device ? device->r("_control.frequency")->getDouble(50) : 50;
    if (!std::isfinite(hz))
        hz = 50;
    hz = qBound(1.0, hz, 100.0);
    return qRound(1000.0 / hz);
}

void Sidebar::startRow(int row)
{
    ve::DataObject* dev = deviceOrWarn();
    if (!dev)
        return;
    stopSending();
    sendRow(row, dev, true);
    if (m_rows[row].check->isChecked()) {
        m_sendRow = row;
        m_sendDevice = dev;
        m_timer->start(sendInterval(dev));
    }
}

void Sidebar::sendRow(int row, ve::DataObject* dev, bool traced)
{
    bool sent = false;
    switch (row) {
    case MitRow:
        sent = send(dev, CANWorker::MOTOR_CONTROL, ui.dspnTorque->value(),
            QVariantList {ui.dspnPos->value(), ui.dspnVel->value(), ui.dspnKp->value(), ui.dspnKd->value()},
            traced);
        break;
    case PositionRow:
        sent = send(dev, CANWorker::MOTOR_SDO_FLOAT, SdoSpeedLimit, ui.dspnVel_2->value(), traced)
            && send(dev, CANWorker::MOTOR_SDO_FLOAT, SdoPositionRef, ui.dspnPos_2->value(), traced);
        break;
    case VelocityRow:
        sent = send(dev, CANWorker::MOTOR_SDO_FLOAT, SdoCurrentLimit, ui.dspnCurrent->value(), traced)
            && send(dev, CANWorker::MOTOR_SDO_FLOAT, SdoSpeedRef, ui.dspnVel_3->value(), traced);
        break;
    default:
        break;
    }
    if (!sent)
        stopSending();
}

void Sidebar::continuousToggled(int row, bool checked)
{
    m_rows[row].stop->setVisible(checked);
    // Without the box the Stop button is gone: the row must not keep sending unseen.
    if (!checked && m_sendRow == row)
        stopSending();
}

void Sidebar::stopSending()
{
    m_timer->stop();
    m_sendRow = -1;
    m_sendDevice.clear();
}

void Sidebar::sendCurrent(quint16 index, double value)
{
    if (ve::DataObject* dev = deviceOrWarn())
        send(dev, CANWorker::MOTOR_SDO_FLOAT, index, value);
}

// ---- sine test, jog, emergency stop -----------------------------------------------------------

void Sidebar::sineTest(bool on)
{
    ve::DataObject* dev = m_device;
    if (!dev) {
        ui.ebSin->setEnable(false);
        return;
    }
    const double amplitude = ui.dspnSinA->value();
    const double frequency = ui.dspnSinF->value();
    dev->set(this, "_control.sin.enable", on, true);
    dev->set(this, "_control.sin.amplitude", amplitude, true);
    dev->set(this, "_control.sin.frequency", frequency, true);
    if (on) {
        send(dev, CANWorker::MOTOR_SDO_FLOAT, SdoSinAmplitude, amplitude);
        send(dev, CANWorker::MOTOR_SDO_FLOAT, SdoSinFrequency, frequency);
        send(dev, CANWorker::MOTOR_SDO_UINT, SdoSinEnable, 1u);
    } else {
        send(dev, CANWorker::MOTOR_SDO_UINT, SdoSinEnable, 0u);
    }
}

void Sidebar::jog(bool plus)
{
    ve::DataObject* dev = deviceOrWarn();
    if (!dev)
        return;
    stopSending();
    const double speed = plus ? ui.dspnJosSpeed->value() : -ui.dspnJosSpeed->value();
    if (send(dev, CANWorker::MOVE_JOG, speed, true))
        m_jogDevice = dev;
    modeUpdate(NoMode);
}

bool Sidebar::stopJog()
{
    ve::DataObject* dev = m_jogDevice;
    m_jogDevice.clear();
    return dev && send(dev, CANWorker::MOVE_JOG, 0.0, false);
}

void Sidebar::jogEnd()
{
    // The stop goes to the motor the jog started on, whatever is current now.
    if (stopJog())
        modeUpdate(NoMode);
}

void Sidebar::hideEvent(QHideEvent* event)
{
    // Released buttons of a hidden panel never arrive: stop what only a held button keeps going.
    stopJog();
    // Hidden on purpose (not with a minimised window), its Stop buttons are out of reach.
    if (!event->spontaneous())
        stopSending();
    QWidget::hideEvent(event);
}

void Sidebar::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        stopJog();
    QWidget::changeEvent(event);
}

void Sidebar::emergencyStop()
{
    // Nothing queued may follow the stop frames.
    stopSending();
    m_jogDevice.clear();

    // Every connected motor, the current one first, one frame each without waiting for answers.
    QList<ve::DataObject*> motors;
    if (m_device)
        motors << m_device.data();
    for (ve::DataObject* node : deviceList()->cdobjs())
        if (node != m_device && node->r("_connected")->getBool(false))
            motors << node;
    for (ve::DataObject* node : motors)
        send(node, CANWorker::SET_MODE, 0);
    for (ve::DataObject* node : motors) {
        if (node->r("_control.sin.enable")->getBool(false)) {
            send(node, CANWorker::MOTOR_SDO_UINT, SdoSinEnable, 0u);
            node->set(this, "_control.sin.enable", false, true);
        }
        if (node != m_device) {
            node->set(this, "_mode", NoMode, true);
            setSwitchedOn(node, false);
        }
    }
    ui.ebSin->setEnable(false);
    modeUpdate(NoMode);
}
