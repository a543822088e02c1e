#pragma once

#include "otaThread.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSerialPort>
#include <QVariant>

namespace ve {
class DataObject;
}

// The single point of contact with the motors: owns the serial port and the protocol engine,
// opens and closes the connection, offers one operation per motor command, keeps the map from
// CAN ID to device node and turns engine statuses into messages and data-tree changes.
// What a message box would say leaves the worker through errorBox / informationBox.
class CANWorker : public QObject
{
    Q_OBJECT
public:
    enum Command
    {
        SET_CAN_ID,
        SET_RUN_MODE,
        SET_MODE,
        MOTOR_CONTROL,
        MOTOR_SDO_FLOAT,
        MOTOR_SDO_UINT,
        MOVE_JOG,
        LOAD_PARAM,
        ENCODER_CALIBRATION,
        ZERO_MECH,
        CLEAR_ALARM,
        UPDATE,
    };
    Q_ENUM(Command)

    explicit CANWorker(QObject* parent = nullptr);
    ~CANWorker() override;

    otaThread* engine() const { return engine_; }
    QSerialPort* port() const { return port_; }
    bool isConnected() const;

    // Adapter ports: description containing "CH340" or vendor id 0x1a86, then the
    // colon-separated paths of SERVOBENCH_PORTS.
    static QStringList portList();
    static QString serialErrorName(int code);
    static int baudIndex();

    void connectPort(const QString& portName);
    void connectAuto();
    void disconnectPort();

    // The device commands act on (the application's current device).
    void setCurrentDevice(ve::DataObject* node);
    ve::DataObject* currentDevice() const;

    // One motor command; false when there is no current device (nothing is sent).
    bool command(Command cmd, const QVariant& v1 = QVariant(), const QVariant& v2 = QVariant());
    // The same for a given device, leaving the current one as it is (a jog stop for the motor
    // the jog started on, an emergency stop for every motor). With `traced` false no status line
    // is written: repeats of a command already traced would flood it.
    bool commandTo(ve::DataObject* node, Command cmd, const QVariant& v1 = QVariant(),
        const QVariant& v2 = QVariant(), bool traced = true);
    bool readParam(bool fromStart);
    bool writeParam(bool fromStart);
    bool runStep(quint32 step);

    // "R58 Motor %1" with the node's CAN ID.
    QString deviceName(ve::DataObject* node) const;
    ve::DataObject* deviceByCanId(int canId) const { return devices_.value(canId, nullptr); }
    int deviceMapSize() const { return devices_.size(); }

signals:
    void deviceChanged();
    void sendRecvData(QByteArray bytes);
    void errorBox(QString text);
    void informationBox(QString text);

public slots:
    void writeRaw(QByteArray bytes);
    void readSerialPortBuffer();
    void StateUpdate(OtaStatus status);

private slots:
    void onSerialError(QSerialPort::SerialPortError error);

private:
    bool prepare(ve::DataObject* node);
    void trace(const QString& label, const QString& detail);
    void message(const QString& text, const QString& tag = QString());
    void setBaud(qint32 rate);
    void detect(const OtaStatus& s);
    void fire(ve::DataObject* node, const QString& path);

    QSerialPort* port_ = nullptr;
    otaThread* engine_ = nullptr;
    ve::DataObject* output_ = nullptr;
    ve::DataObject* recordWrite_ = nullptr;
    ve::DataObject* recordRead_ = nullptr;
    QHash<int, ve::DataObject*> devices_;
    QPointer<ve::DataObject> current_;
    bool linkErrorReported_ = false;
    bool traceCommands_ = true;
    static int s_baudIndex;
};
