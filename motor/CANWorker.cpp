#include "CANWorker.h"

#include "AdapterLink.h"

#include <DataManager.h>
#include <DataObject.h>

#include <QLocale>
#include <QMetaEnum>
#include <QSerialPortInfo>
#include <QTimer>

int CANWorker::s_baudIndex = 0;

namespace {
ve::DataObject* root()
{
    return ve::d().rootDobj();
}
} // namespace

CANWorker::CANWorker(QObject* parent)
    : QObject(parent)
{
    port_ = new QSerialPort(this);
    output_ = ve::d("output");
    engine_ = new otaThread(
        ve::d("config.debug_pack")->getBool(false), ve::d("config.debug_step")->getBool(false));
    engine_->setTarget(1);
    engine_->setNewCanId(1);

    qRegisterMetaType<QSerialPort::SerialPortError>("QSerialPort::SerialPortError");
    // The engine delivers on this (its owner) thread; reactions are queued so they run in the
    // order the statuses were set and never inside the engine's own call chain.
    connect(engine_, &otaThread::sendState, this, &CANWorker::StateUpdate, Qt::QueuedConnection);
    connect(engine_, &otaThread::WriteToSerial, this, &CANWorker::writeRaw);
    connect(this, &CANWorker::sendRecvData, engine_, &otaThread::getSerialData);
    connect(engine_, &otaThread::sendCanId, this,
        [this](int id) { root()->set(this, QStringLiteral("_send_can_id"), id, true); });
    connect(engine_, &otaThread::recvCanId, this,
        [this](int id) { root()->set(this, QStringLiteral("_recv_can_id"), id, true); });
    connect(port_, &QSerialPort::readyRead, this, &CANWorker::readSerialPortBuffer);
    connect(port_, &QSerialPort::errorOccurred, this, &CANWorker::onSerialError, Qt::QueuedConnection);

    engine_->start(QThread::InheritPriority);
    root()->set(this, QStringLiteral("_can"), QVariant::fromValue(static_cast<QObject*>(engine_)), true);
}

CANWorker::~CANWorker()
{
    engine_->startStep(STEP_QUIT);
    engine_->wait();
    if (ve::d("_can")->get().value<QObject*>() == engine_)
        root()->set(this, QStringLiteral("_can"), QVariant(), true);
    delete engine_;
    engine_ = nullptr;
    delete port_;
    port_ = nullptr;
}

bool CANWorker::isConnected() const
{
    return port_ && port_->isOpen();
}

int CANWorker::baudIndex()
{
    return s_baudIndex;
}

QStringList CANWorker::portList()
{
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const bool ch340 = info.description().contains(QLatin1String("CH340"))
            || (info.hasVendorIdentifier() && info.vendorIdentifier() == 0x1a86);
        if (ch340 && !names.contains(info.portName()))
            names << info.portName();
    }
    const QString extra = qEnvironmentVariable("SERVOBENCH_PORTS");
    for (const QString& p : extra.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (!names.contains(p))
            names << p;
    return names;
}

QString CANWorker::serialErrorName(int code)
{
    static const char* const names[] = {
        "",
        "Device Not Found Error",
        "Permission Error",
        "Open Error",
        "Parity Error",
        "Framing Error",
        "Break Condition Error",
        "Write Error",
        "Read Error",
        "Resource Error",
        "Unsupported Operation Error",
        "Unknown Error",
        "Timeout Error",
        "Not Open Error",
    };
    if (code < 1 || code > 13)
        return QString();
    return QString::fromLatin1(names[code]);
}

void CANWorker::message(const QString& text, const QString& tag)
{
    const QString msg = tag.isEmpty() ? text : QStringLiteral("<%1> %2").arg(tag, text);
    root()->set(this, QStringLiteral("wnd.status.msg"), msg, true);
}

void CANWorker::setBaud(qint32 rate)
{
    port_->setBaudRate(rate);
}

// ---- connection -------------------------------------------------------------------------------

void CANWorker::connectPort(const QString& portName)
{
    if (port_->isOpen()) {
        message(tr("Serial port %1 is already connected.").arg(port_->portName()));
        return;
    }
    port_->setPortName(portName);
    root()->set(this, QStringLiteral("project.serial_port"), portName, true);
    if (!port_->open(QIODevice::ReadWrite))
        return;
    // Qt 5 keeps stale bytes of an earlier session.
    port_->clear();
    linkErrorReported_ = false;
    if (!port_->setBaudRate(AdapterLink::WorkingBaud)) {
        port_->setBaudRate(9600);
        engine_->startStep(STEP_INCONFIG);
        port_->setBaudRate(AdapterLink::WorkingBaud);
    }
    port_->setDataBits(QSerialPort::Data8);
    port_->setParity(QSerialPort::NoParity);
    port_->setStopBits(QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::NoFlowControl);
    port_->setReadBufferSize(4096);
    // The probe goes first; its answer starts the scan, its silence the baud search.
    engine_->clearDevices();
    engine_->startStep(STEP_INIT);
    message(tr("Detecting devices at serial port %1").arg(portName));
    root()->set(this, QStringLiteral("working"), true, true);
}

void CANWorker::connectAuto()
{
    const QStringList ports = portList();
    if (!ports.isEmpty())
        connectPort(ports.first());
}

void CANWorker::disconnectPort()
{
    if (!port_->isOpen())
        return;
    port_->close();
    // Nothing can answer any more: a waiting or repeating step would only run idle.
    engine_->startStep(STEP_STOP);
    ve::DataObject* list = ve::d("project.device");
    if (ve::d("config.setting.remove_device_on_disconnected")->getBool(false)) {
        list->clear(this, true);
    } else {
        for (ve::DataObject* node : list->cdobjs())
            node->set(this, QStringLiteral("_connected"), false, true);
    }
    emit deviceChanged();
    root()->set(this, QStringLiteral("working"), false, true);
    devices_.clear();
}

void CANWorker::onSerialError(QSerialPort::SerialPortError error)
{
    const int code = int(error);
    if (code == 0)
        return;
    // After a hang-up Qt keeps raising the same error: the first closes the port and is
    // reported, the rest are dropped until the port is opened again.
    const bool linkLost = error == QSerialPort::ReadError || error == QSerialPort::WriteError
        || error == QSerialPort::ResourceError;
    if (linkLost) {
        if (linkErrorReported_)
            return;
        linkErrorReported_ = true;
    }
    if (port_->isOpen())
        disconnectPort();
    port_->clearError();
    emit errorBox(tr("Serial port error: %1!").arg(serialErrorName(code)));
}

void CANWorker::writeRaw(QByteArray bytes)
{
    if (!port_->isOpen())
        return;
    port_->write(bytes);
    // QSerialPort would write on its next event-loop pass; the next frame of a transfer is
    // written as soon as the acknowledgement is parsed.
    port_->flush();
    if (!recordWrite_)
        recordWrite_ = ve::d("config.setting.record_write_raw_data");
    if (recordWrite_->getBool(false))
        output_->set(this, QStringLiteral(" -> %1: %2").arg(port_->portName(), AdapterLink::hex(bytes)));
}

void CANWorker::readSerialPortBuffer()
{
    const QByteArray bytes = port_->readAll();
    if (bytes.isEmpty())
        return;
    if (!recordRead_)
        recordRead_ = ve::d("config.setting.record_read_raw_data");
    if (recordRead_->getBool(false))
        output_->set(this, QStringLiteral("%1 -> : %2").arg(port_->portName(), AdapterLink::hex(bytes)));
    emit sendRecvData(bytes);
}

// ---- status reaction --------------------------------------------------------------------------

void CANWorker::fire(ve::DataObject* node, const QString& path)
{
    if (node)
        node->set(this, path, QVariant(), true);
}

void CANWorker::StateUpdate(OtaStatus s)
{
    if (s.code > 50)
        return;
    // Reactions queued before a disconnect would drive the adapter search on a closed port.
    if (!port_->isOpen() && s.code >= OTA_STA_CONNECT_OVER_TIME && s.code <= OTA_STA_CONFIG_SUCCESS)
        return;
    ve::DataObject* node = devices_.value(s.recvCanId, nullptr);
    switch (s.code) {
    case OTA_STA_DETECT_MCU:
        message(
            tr("Detected device: [MCU ID: 0x%1, CAN ID: %2]").arg(QString::number(s.mcuId, 16)).arg(s.canId));
        detect(s);
        break;
    case OTA_STA_CONNECT_OVER_TIME:
        setBaud(9600);
        s_baudIndex = 1;
        message(tr("Connect overtime, try baud rate：%1").arg(9600));
        engine_->startStep(STEP_INCONFIG);
        break;
    case OTA_STA_CONNECT_SUCCESS:
        message(tr("CAN bus connected."));
        engine_->clearDevices();
        engine_->startStep(STEP_GET_DEV_INFO);
        break;
    case OTA_STA_INCONFIG_OVER_TIME:
        ++s_baudIndex;
        if (s_baudIndex < AdapterLink::BaudCount) {
            const qint32 rate = AdapterLink::baudRate(s_baudIndex);
            setBaud(rate);
            message(tr("Connect overtime, try baud rate：%1").arg(rate));
            engine_->startStep(STEP_INCONFIG);
        } else {
            message(
                tr("CAN bus configuration failed, please check physical device!"), QStringLiteral("ERROR"));
        }
        break;
    case OTA_STA_INCONFIG_SUCCESS:
        engine_->startStep(STEP_CONFIG);
        break;
    case OTA_STA_CONFIG_OVER_TIME:
        message(tr("CAN bus configuration failed, please check physical device!"), QStringLiteral("ERROR"));
        break;
    case OTA_STA_CONFIG_SUCCESS:
        setBaud(AdapterLink::WorkingBaud);
        message(tr("CAN bus configuration success!"));
        engine_->startStep(STEP_INIT);
        break;
    case OTA_STA_OTA_INFO_SUCCESS:
        root()->set(this, QStringLiteral("temp_device.update_progress"), 0, true);
        break;
    case OTA_STA_SEND_BIN_OK:
    case OTA_STA_SEND_BIN_RETRY:
        if (s.frameCount)
            root()->set(this, QStringLiteral("temp_device.update_progress"),
                int(quint64(s.framesSent) * 100 / s.frameCount), true);
        break;
    case OTA_STA_RST_MODE_SUCCESS:
        message(tr("Set %1 mode successfully!").arg(QStringLiteral("RESET")));
        break;
    case OTA_STA_RST_MODE_OVER_TIME:
        message(tr("Set %1 mode failed!").arg(QStringLiteral("RESET")), QStringLiteral("ERROR"));
        break;
    case OTA_STA_MOTOR_MODE_SUCCESS:
        message(tr("Set %1 mode successfully!").arg(QStringLiteral("MOTOR")));
        break;
    case OTA_STA_MOTOR_MODE_OVER_TIME:
        message(tr("Set %1 mode failed!").arg(QStringLiteral("MOTOR")), QStringLiteral("ERROR"));
        break;
    case OTA_STA_BRAKE_MODE_SUCCESS:
        message(tr("Set %1 mode successfully!").arg(QStringLiteral("BRAKE")));
        break;
    case OTA_STA_BRAKE_MODE_OVER_TIME:
        message(tr("Set %1 mode failed!").arg(QStringLiteral("BRAKE")), QStringLiteral("ERROR"));
        break;
    case OTA_STA_ZERO_MODE_SUCCESS:
        message(tr("Set the mechanical zero successfully!"));
        break;
    case OTA_STA_ENCODER_CALI_ING:
        message(tr("<Encoder calibrating> Rotor angle = %1, Stator flux angle = %2, Sensor value = %3")
                    .arg(double(s.rotorAngle), 0, 'f', 4)
                    .arg(double(s.statorAngle), 0, 'f', 4)
                    .arg(s.sensorValue));
        break;
    case OTA_STA_ENCODER_CALI_RESULT:
        message(tr("<Encoder calibration result> Device: %1, Number: %2, Index: %3, Correction: %4")
                    .arg(s.caliCanId)
                    .arg(s.caliNumber)
                    .arg(s.caliIndex)
                    .arg(s.correction));
        break;
    case OTA_STA_ENCODER_CALI_DONE: {
        const QString offset = QString::number(double(s.electricalOffset), 'f', 6);
        message(tr("<Encoder calibration finish> Device: %1, Encoder Electrical Offset: %2")
                    .arg(s.caliCanId)
                    .arg(offset));
        const QString name = node ? deviceName(node) : QString::number(s.recvCanId);
        emit informationBox(
            tr("Device %1 encoder calibration finish.\nEncoder Electrical Offset: %2").arg(name, offset));
        break;
    }
    case OTA_STA_GET_PARA_INFO_SUCCESS:
        message(tr("Reload all parameters table successfully!"));
        fire(node, QStringLiteral("_trigger.param.reload"));
        break;
    case OTA_STA_READ_PARA_SUCCESS:
        fire(node, QStringLiteral("_trigger.param.upload"));
        break;
    case OTA_STA_READ_PARA_ERROR:
        message(QStringLiteral("Read param from ")
                + QStringLiteral("0X%1").arg(s.transferCode, 4, 16, QLatin1Char('0'))
                + QStringLiteral(" failed: ") + CanProtocol::readErrorText(s.errors),
            QStringLiteral("ERROR"));
        break;
    case OTA_STA_WRITE_PARA_SUCCESS:
        fire(node, QStringLiteral("_trigger.param.download"));
        break;
    case OTA_STA_WRITE_PARA_ERROR:
        message(QStringLiteral("Write param to ")
                + QStringLiteral("0X%1").arg(s.transferCode, 4, 16, QLatin1Char('0'))
                + QStringLiteral("failed: ") + CanProtocol::writeErrorText(s.errors, s.motorError),
            QStringLiteral("ERROR"));
        break;
    case OTA_STA_SAVE_PARA_SUCCESS:
        message(tr("Param saved successfully!"));
        break;
    case OTA_STA_PARA_UPDATE_SUCCESS_FRESET:
        engine_->setScopeCursor(0);
        engine_->startStep(STEP_SCOPE_SET_CHANNAL);
        break;
    case OTA_STA_PARA_UPDATE_SUCCESS_CHSET:
        fire(node, QStringLiteral("_trigger.oscilloscope.config_channel"));
        break;
    default:
        break;
    }
}

void CANWorker::detect(const OtaStatus& s)
{
    ve::DataObject* list = ve::d("project.device");
    const QString name = QString::number(s.mcuId, 16);
    ve::DataObject* node = nullptr;
    if (list->hasCdobj(name, true)) {
        node = list->cdobj(name, true);
    } else {
        const int n = list->size();
        if (n >= 11) {
            message(tr("Too many devices detected!"), QStringLiteral("ERROR"));
            disconnectPort();
            return;
        }
        if (n == 1 && !ve::d("config.setting.enable_multiple_devices")->getBool(false)) {
            message(tr("Multiple devices connection is forbidden."));
            return;
        }
        node = list->append(this, name);
        if (node->isEmpty())
            return;
        // Headless programs have no device tree to fill the node from the template.
        if (node->size() == 0)
            node->copyFrom(this, ve::d("template.r58_motor"), true, false);
    }
    node->set(this, QStringLiteral("info.mcu_id"), QVariant::fromValue<qulonglong>(s.mcuId), true);
    node->set(this, QStringLiteral("info.can_id"), int(s.canId), true);
    node->set(this, QStringLiteral("_connected"), true, true);
    // A device that moved to a new CAN ID is no longer reachable under the old one.
    for (auto it = devices_.begin(); it != devices_.end();) {
        if (it.value() == node && it.key() != s.canId)
            it = devices_.erase(it);
        else
            ++it;
    }
    devices_[s.canId] = node;
    emit deviceChanged();
    if (ve::d("config.setting.upload_param_on_connected")->getBool(false)
        && !ve::d("config.setting.enable_multiple_devices")->getBool(false)) {
        QTimer::singleShot(20, node, [] {
            ve::d().rootDobj()->set(nullptr, QStringLiteral("trigger.configure.param.new"), QVariant(), true);
        });
    }
}

// ---- commands ---------------------------------------------------------------------------------

void CANWorker::setCurrentDevice(ve::DataObject* node)
{
    current_ = node;
}

ve::DataObject* CANWorker::currentDevice() const
{
    return current_.data();
}

QString CANWorker::deviceName(ve::DataObject* node) const
{
    return tr("R58 Motor %1").arg(node ? node->r(QStringLiteral("info.can_id"))->getInt(0) : 0);
}

bool CANWorker::prepare(ve::DataObject* node)
{
    if (!node || node->isEmpty())
        return false;
    const quint8 canId = quint8(node->r(QStringLiteral("info.can_id"))->getInt(0));
    const quint64 mcu = node->r(QStringLiteral("info.mcu_id"))->get().toULongLong();
    engine_->setDevice0(mcu, canId);
    return true;
}

void CANWorker::trace(const QString& label, const QString& detail)
{
    const int canId = engine_->target();
    if (detail.isEmpty())
        message(tr("Send R58 Command %1 to CAN(%2)").arg(label).arg(canId));
    else
        message(tr("Send R58 Command %1 to CAN(%3): %2").arg(label, detail).arg(canId));
}

bool CANWorker::command(Command cmd, const QVariant& v1, const QVariant& v2)
{
    const QString label = QString::fromLatin1(QMetaEnum::fromType<Command>().valueToKey(cmd));
    ve::DataObject* node = currentDevice();
    if (cmd == SET_CAN_ID && v2.canConvert<ve::DataObject*>() && v2.value<ve::DataObject*>())
        node = v2.value<ve::DataObject*>();
    if (!prepare(node))
        return false;
    const quint8 dst = engine_->target();
    switch (cmd) {
    case SET_CAN_ID:
        trace(label, QStringLiteral("can id = %1").arg(v1.toInt()));
        engine_->setNewCanId(quint8(v1.toInt()));
        engine_->startStep(STEP_SET_CAN_ID);
        break;
    case SET_RUN_MODE: {
        const int mode = v1.toInt();
        trace(label, CanProtocol::runModeName(mode));
        engine_->setRunMode(quint16(mode));
        engine_->sendFrame(CanProtocol::runMode(dst, quint8(mode)));
        break;
    }
    case SET_MODE: {
        const int m = v1.toInt();
        const QString detail = m == 0 ? QStringLiteral("break mode")
            : m == 1                  ? QStringLiteral("motor mode")
            : m == 2                  ? QStringLiteral("reset mode")
                                      : QStringLiteral("unknown mode (%1)").arg(m);
        trace(label, detail);
        engine_->startStep(m == 1 ? STEP_SET_MOTOR_MODE : m == 2 ? STEP_SET_RST_MODE : STEP_SET_BRAKE_MODE);
        break;
    }
    case MOTOR_CONTROL: {
        const QVariantList l = v2.toList();
        auto at = [&l](int k) { return k < l.size() ? l[k].toFloat() : 0.0f; };
        trace(label, QStringLiteral(" "));
        engine_->setControl(at(0), at(1), at(2), at(3), v1.toFloat());
        engine_->startStep(STEP_MOTOR_CTRL_SINGLE);
        break;
    }
    case MOTOR_SDO_FLOAT:
        trace(label,
            QStringLiteral("index = %1, value = %2")
                .arg(v1.toInt())
                .arg(QString::number(v2.toDouble(), 'g', QLocale::FloatingPointShortest)));
        engine_->sendFrame(CanProtocol::sdoWriteFloat(dst, quint16(v1.toUInt()), v2.toFloat()));
        break;
    case MOTOR_SDO_UINT:
        trace(label, QStringLiteral("index = %1, value = %2").arg(v1.toInt()).arg(v2.toUInt()));
        engine_->sendFrame(CanProtocol::sdoWrite(dst, quint16(v1.toUInt()), v2.toUInt()));
        break;
    case MOVE_JOG:
        trace(label, QStringLiteral("speed = %1, flag = %2").arg(v1.toDouble()).arg(v2.toBool() ? 1 : 0));
        engine_->sendFrame(CanProtocol::jog(dst, v2.toBool(), v1.toFloat()));
        break;
    case LOAD_PARAM:
        trace(label, QString());
        engine_->startStep(STEP_ASK_PARA_STR_INFO);
        break;
    case ENCODER_CALIBRATION:
        trace(label, QString());
        engine_->startStep(STEP_SET_CALI_ENCODER_MODE);
        break;
    case ZERO_MECH:
        trace(label, QString());
        engine_->setZeroArg(1);
        engine_->startStep(STEP_SET_ZERO_MECH_MODE);
        break;
    case CLEAR_ALARM:
        trace(label, QString());
        engine_->sendFrame(CanProtocol::clearAlarm(dst));
        break;
    case UPDATE:
        trace(label, QString());
        engine_->startStep(STEP_IN_OTA);
        break;
    }
    return true;
}

bool CANWorker::readParam(bool fromStart)
{
    if (!prepare(currentDevice()))
        return false;
    engine_->startStep(fromStart ? STEP_READ_PARA_STR_START : STEP_READ_PARA_STR);
    return true;
}

bool CANWorker::writeParam(bool fromStart)
{
    if (!prepare(currentDevice()))
        return false;
    engine_->startStep(fromStart ? STEP_WRITE_PARA_STR_START : STEP_WRITE_PARA_STR);
    return true;
}

bool CANWorker::runStep(quint32 step)
{
    if (!prepare(currentDevice()))
        return false;
    engine_->startStep(step);
    return true;
}
