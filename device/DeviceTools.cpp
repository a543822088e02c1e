#include "DeviceTools.h"

#include "CANWorker.h"
#include "CalibrationProcedure.h"
#include "DetectDeviceDialog.h"
#include "EventWait.h"
#include "FirmwareUpdateRunner.h"
#include "Helper.h"

#include <DataManager.h>
#include <DataObject.h>

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace {
// The next CAN ID outlives the strip, which is rebuilt whenever its tab is chosen.
const char* const NextCanIdPath = "temp_device._next_can_id";

QPushButton* toolButton(const QString& icon, const QString& text, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(QIcon(icon), text, parent);
    b->setObjectName(name);
    b->setIconSize(QSize(16, 16));
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}
} // namespace

DeviceTools::DeviceTools(QWidget* parent)
    : QWidget(parent)
    , btnConnect(toolButton(":/images/motor/connect-device.png", tr("Connect"), "btnConnect", this))
    , btnDisconnect(
          toolButton(":/images/motor/disconnect-device.png", tr("Disconnect"), "btnDisconnect", this))
    , btnDeviceInfo(toolButton(":/images/info-circle.png", tr("Device Info"), "btnDeviceInfo", this))
    , btnEncoderCalibration(toolButton(
          ":/images/motor/calibration.png", tr("Encoder Calibration"), "btnEncoderCalibration", this))
    , lblCanId(new QLabel(this))
    , spnCanId(new QSpinBox(this))
    , btnChangeCanId(new QPushButton(tr("√"), this))
    , btnInit(toolButton(":/images/motor/init.png", tr("Rest Zero Postion"), "btnInit", this))
    , widget_2(new QWidget(this))
    , cmbMotorInit(new QComboBox(widget_2))
    , btnZeroMech(new QPushButton(tr("√"), widget_2))
    , btnUpdate(toolButton(":/images/motor/catalog-download.png", tr("Update"), "btnUpdate", this))
{
    setObjectName("DeviceTools");

    auto* idIcon = new QLabel(this);
    idIcon->setPixmap(QIcon(":/images/motor/id.png").pixmap(16, 16));
    lblCanId->setObjectName("lblCanId");
    lblCanId->setText(tr("Change CAN ID"));
    spnCanId->setObjectName("spnCanId");
    spnCanId->setRange(1, 127);
    spnCanId->setValue(qBound(1, ve::d(NextCanIdPath)->getInt(1), 127));
    btnChangeCanId->setObjectName("btnChangeCanId");
    btnChangeCanId->setFixedWidth(28);
    btnChangeCanId->setToolTip(tr("Change CAN ID"));

    widget_2->setObjectName("widget_2");
    auto* initLayout = new QHBoxLayout(widget_2);
    initLayout->setContentsMargins(0, 0, 0, 0);
    initLayout->addWidget(new QLabel(tr("Motor initialization"), widget_2));
    cmbMotorInit->setObjectName("cmbMotorInit");
    cmbMotorInit->addItems(
        {tr("Right Front 1"), tr("Right Behind 1"), tr("Left Front 1"), tr("Left Behind  1"),
            tr("Right Front 2"), tr("Right Behind 2"), tr("Left Front 2"), tr("Left Behind 2"), tr("No. 3")});
    initLayout->addWidget(cmbMotorInit);
    btnZeroMech->setObjectName("btnZeroMech");
    btnZeroMech->setFixedWidth(28);
    initLayout->addWidget(btnZeroMech);
    // No command uses the position selection; the group stays out of sight.
    widget_2->hide();

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(btnConnect);
    layout->addWidget(btnDisconnect);
    layout->addWidget(btnDeviceInfo);
    layout->addWidget(btnEncoderCalibration);
    layout->addSpacing(6);
    layout->addWidget(idIcon);
    layout->addWidget(lblCanId);
    layout->addWidget(spnCanId);
    layout->addWidget(btnChangeCanId);
    layout->addSpacing(6);
    layout->addWidget(btnInit);
    layout->addWidget(widget_2);
    layout->addWidget(btnUpdate);
    layout->addStretch(1);

    connect(btnConnect, &QPushButton::clicked, this, &DeviceTools::onConnect);
    connect(btnDisconnect, &QPushButton::clicked, this, &DeviceTools::onDisconnect);
    connect(btnDeviceInfo, &QPushButton::clicked, this, [] { ve::d("trigger.device.info.new")->trigger(); });
    connect(btnEncoderCalibration, &QPushButton::clicked, this, &DeviceTools::onCalibration);
    connect(btnChangeCanId, &QPushButton::clicked, this, &DeviceTools::onChangeCanId);
    connect(btnInit, &QPushButton::clicked, this, &DeviceTools::onZeroMech);
    connect(btnZeroMech, &QPushButton::clicked, this, &DeviceTools::onZeroMech);
    connect(btnUpdate, &QPushButton::clicked, this, &DeviceTools::onUpdate);
    connect(spnCanId, QOverload<int>::of(&QSpinBox::valueChanged), this,
        [this](int v) { ve::d().rootDobj()->set(this, NextCanIdPath, v, true); });

    ve::DataObject* working = ve::d("working");
    connect(working, &ve::DataObject::changed, this,
        [this](const QVariant& v, const QVariant&, QObject*) { setWorking(v.toBool()); });
    setWorking(working->getBool(false));
}

void DeviceTools::setWorking(bool working)
{
    btnConnect->setEnabled(!working);
    btnDisconnect->setEnabled(working);
}

void DeviceTools::onConnect()
{
    auto* dialog = new DetectDeviceDialog(window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void DeviceTools::onDisconnect()
{
    Helper* helper = Helper::instance();
    if (!helper->askConfirm(tr("Are you sure to disconnect?")))
        return;
    if (CANWorker* worker = helper->canWorker())
        worker->disconnectPort();
}

void DeviceTools::onChangeCanId()
{
    Helper* helper = Helper::instance();
    CANWorker* worker = helper->canWorker();
    if (!worker || !helper->activeDeviceOrWarn())
        return;
    if (!worker->command(CANWorker::SET_CAN_ID, spnCanId->value()))
        return;
    // Ready for the next motor on the bench.
    if (ve::d("config.setting.auto_increase_can_id")->getBool(false))
        spnCanId->setValue(spnCanId->value() + 1);
}

void DeviceTools::onZeroMech()
{
    Helper* helper = Helper::instance();
    if (helper->canWorker() && helper->activeDeviceOrWarn())
        helper->canWorker()->command(CANWorker::ZERO_MECH);
}

void DeviceTools::onCalibration()
{
    Helper* helper = Helper::instance();
    CANWorker* worker = helper->canWorker();
    if (!worker || helper->currentDevice()->isEmpty())
        return;
    if (!helper->askConfirm(tr("The motor will rotate during calibration, are you sure to continue?")))
        return;
    CalibrationProcedure procedure(worker);
    procedure.setSilenceLimitMs(m_calibrationSilenceMs);
    connect(&procedure, &CalibrationProcedure::blockText, this,
        [this](const QString& text) { ve::d().rootDobj()->set(this, "trigger.block", text, true); });
    bool done = false, ok = false;
    QString verdict;
    connect(&procedure, &CalibrationProcedure::finished, this, [&](bool success, const QString& text) {
        done = true;
        ok = success;
        verdict = text;
    });
    if (!procedure.start())
        return;
    // The block box keeps the window modal while the motor turns; the worker shows the offset.
    EventWait::until([&] { return done; }, -1);
    if (!ok)
        helper->showError(verdict);
}

void DeviceTools::onUpdate()
{
    FirmwareUpdateRunner(this).run();
}
