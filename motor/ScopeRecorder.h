#pragma once

#include "ScopeDecoder.h"
#include "ScopeSession.h"

#include <DataObject.h>

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTemporaryFile>

#include <memory>

#include <array>

class CANWorker;
class CsvCollector;

// The one owner of the oscilloscope recording in the program, next to the worker: it runs the
// session for one device, opens and closes the sample file ("temp_analyze.path") and answers the
// stop trigger, so a recording stops even when the widgets that started it are gone.
class ScopeRecorder : public QObject
{
    Q_OBJECT
public:
    enum State
    {
        Idle,
        Starting,
        Recording,
        Stopping
    };
    Q_ENUM(State)

    // The recorder of this worker, made on first use as the worker's child.
    static ScopeRecorder* of(CANWorker* worker);
    explicit ScopeRecorder(CANWorker* worker);
    ~ScopeRecorder() override;

    // The serial link carries about 5,400 adapter records a second at 921,600 baud (17 bytes
    // of ten bits each); a rate is safe while it needs at most 80 % of that.
    static constexpr double LinkFramesPerSecond = 921600.0 / (17 * 10);
    static constexpr double SafeShare = 0.8;
    static int framesPerRecord(int recordLength) { return (recordLength + 7) / 8; }
    static double linkShare(int frequency, int recordLength)
    {
        return frequency * framesPerRecord(recordLength) / LinkFramesPerSecond;
    }
    static int safeFrequency(int recordLength)
    {
        return int(LinkFramesPerSecond * SafeShare / framesPerRecord(recordLength));
    }
    // Record length of these slot types with the engine's loaded table (2 when none maps).
    int recordLength(const std::array<quint16, ScopeDecoder::Slots>& types) const;

    // Checks and starts a recording of `device`; returns the reason it refused, or an empty
    // string when the set-up was sent. Outcomes follow as status lines and stateChanged.
    QString start(
        ve::DataObject* device, quint16 frequency, const std::array<quint16, ScopeDecoder::Slots>& types);
    // Stops the running recording, whichever device it is of; false when nothing runs.
    bool stop();
    // Stops only when this device is being recorded (a page closing, a device removed).
    bool stopDevice(const ve::DataObject* device);

    // The names of the recorded channels in slot order (the device's parameter names).
    QStringList channelNames() const { return names_; }
    // Every sample of the last recording as CSV ("time" and the channel names), streamed to a
    // temporary file while it ran; false with *error when there is none or it cannot be written.
    bool exportRecording(const QString& path, QString* error) const;

    State state() const { return state_; }
    ve::DataObject* device() const { return device_; }
    bool saving() const;

signals:
    void stateChanged(ScopeRecorder::State state);

private:
    void setState(State s);
    void status(const QString& text, bool error = false);
    void onPathChanged();
    void onDelivery();
    void checkFile();
    QString checkChannels(
        ve::DataObject* device, const std::array<quint16, ScopeDecoder::Slots>& types) const;

    CANWorker* worker_;
    QPointer<otaThread> engine_;
    ScopeSession session_;
    QPointer<ve::DataObject> device_;
    QMetaObject::Connection deviceGone_;
    int canId_ = 0;
    QStringList names_;
    std::unique_ptr<QTemporaryFile> csvFile_;
    std::unique_ptr<CsvCollector> csv_;
    State state_ = Idle;
};
