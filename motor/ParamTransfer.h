#pragma once

#include <QObject>
#include <QPointer>

class CANWorker;
namespace ve {
class DataObject;
}

// The parameter upload and download chains for one device: one request at a time, the next
// asked for when the device's trigger reports the previous one confirmed. A failed or
// unanswered request ends the chain (the worker has reported it).
class ParamTransfer : public QObject
{
    Q_OBJECT
public:
    ParamTransfer(CANWorker* worker, ve::DataObject* device, QObject* parent = nullptr);

    // Reads every value of groups 0 to 3 in code order.
    bool upload();
    // Writes every modified entry of groups 0 and 2, then asks the motor to save.
    bool download();
    bool busy() const { return mode_ != Idle; }

signals:
    void rowUpdated(int group, int index); // a value arrived (upload)
    void committed(int group, int index); // a write was confirmed (download)
    void finished(bool ok);

private:
    enum Mode
    {
        Idle,
        Uploading,
        Downloading
    };
    void onUpload();
    void onDownload();
    void onStatus(quint32 code);
    void message(const QString& text);
    void end(bool ok);

    CANWorker* worker_;
    QPointer<ve::DataObject> device_;
    Mode mode_ = Idle;
};
