#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class CANWorker;
namespace ve {
class DataObject;
}

// The parameter upload and download chains and the factory reset for one device: one request
// at a time, the next asked for when the device's trigger reports the previous one confirmed.
// A failed or unanswered request ends the chain (the worker has reported it); a chain whose
// step another command replaced ends when no answer came within the limit. Each request is
// sent to this device and the worker's current device is put back at once, so commands of the
// rest of the program keep going where the user pointed them.
class ParamTransfer : public QObject
{
    Q_OBJECT
public:
    ParamTransfer(CANWorker* worker, ve::DataObject* device, QObject* parent = nullptr);
    ~ParamTransfer() override;

    // The transfer of a device shared by its page and the tool strip (a child of the node, so
    // it goes with the device).
    static ParamTransfer* of(CANWorker* worker, ve::DataObject* device);

    // Asks the motor for its description (which carries the values); an incomplete one is
    // reported with its reason.
    bool describe();
    // Reads every value of groups 0 to 3 in code order.
    bool upload();
    // Writes every modified entry of groups 0 and 2, then asks the motor to save; succeeds when
    // the motor confirms the save.
    bool download();
    // Restores the factory parameters, then re-reads the description (with its values); any
    // running chain of any device ends first and the modified flags are cleared.
    bool factoryReset();
    // Ends the running chain without a message.
    void cancel();

    bool busy() const { return mode_ != Idle; }
    ve::DataObject* device() const;
    // Whether the engine's one table holds this device's description (upload and download
    // refuse otherwise: the values would land in, or come from, another motor's entries).
    bool ownsTable() const;

    // Longest wait for the answer to one request.
    void setAnswerLimitMs(int ms) { watchdog_.setInterval(ms); }

signals:
    void rowUpdated(int group, int index); // a value arrived (upload)
    void committed(int group, int index); // a write was confirmed (download)
    void finished(bool ok);
    void resetDone(bool ok); // factory reset and re-read
    void described(bool ok);

private:
    enum Mode
    {
        Idle,
        Describing,
        Uploading,
        Downloading,
        Saving,
        Resetting,
        Reloading
    };
    void begin(Mode mode);
    template <class F>
    bool request(F&& send);
    void onUpload();
    void onDownload();
    void onStatus(quint32 code);
    void onSilence();
    void reportIncomplete();
    void message(const QString& text, const QString& tag = QString());
    void end(bool ok);

    CANWorker* worker_;
    QPointer<ve::DataObject> device_;
    Mode mode_ = Idle;
    QTimer watchdog_;
};
