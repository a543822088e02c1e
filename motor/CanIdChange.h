#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class CANWorker;
namespace ve {
class DataObject;
}

// Changes a device's CAN ID and confirms it: the motor's announcement under the new ID must
// update the node within 300 ms.
class CanIdChange : public QObject
{
    Q_OBJECT
public:
    explicit CanIdChange(CANWorker* worker, QObject* parent = nullptr);
    bool start(ve::DataObject* device, int newCanId);

signals:
    // "Device %1 CAN ID set successfully!" or "Device %1 CAN ID set failed!".
    void finished(bool ok, QString text);

private:
    void check();
    void done(bool ok);

    CANWorker* worker_;
    QPointer<ve::DataObject> device_;
    int wanted_ = 0;
    QTimer limit_;
    QMetaObject::Connection watch_;
};
