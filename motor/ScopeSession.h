#pragma once

#include "OtaStatus.h"
#include "ScopeDecoder.h"

#include <DataObject.h>
#include <QDateTime>

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <array>

class CANWorker;
class otaThread;

// One oscilloscope recording of one device: configure the frequency and the channel set, start
// sampling once the motor accepted both, and stop it; optionally every record goes to a sample file.
class ScopeSession : public QObject
{
    Q_OBJECT
public:
    explicit ScopeSession(CANWorker* worker, QObject* parent = nullptr);
    ~ScopeSession() override;

    // "./wave_yyyy_MM_dd_hhmmss.txt" for the save dialog.
    static QString proposedFileName(const QDateTime& now = QDateTime::currentDateTime());
    // Slot types as the channel list holds them (0 = none, k = the k-th published parameter).
    static std::array<quint16, ScopeDecoder::Slots> slotTypes(const QVariantList& types);

    // The motor recorded; null (the default) follows the worker's current device.
    void setDevice(ve::DataObject* device) { device_ = device; }
    // Empty path: no sample file. The file is opened for appending when not open yet. False,
    // with nothing sent, when already busy, without a device or without a selected channel.
    bool start(quint16 frequency, const std::array<quint16, ScopeDecoder::Slots>& types,
        const QString& samplePath = QString());
    // Sends stop only while this session is setting up or sampling; false when it was idle.
    bool stop();
    bool starting() const { return starting_; }
    bool sampling() const { return sampling_; }
    bool stopping() const { return stopping_; }

    // How long a stop waits for the engine to report its end (it gives up after about 1 s).
    static constexpr int StopLimitMs = 1500;
    // Backstop of the set-up should the engine report nothing (its step replaced by another):
    // its own limit per exchange (frequency, each group of four channels) and a wide grace, as
    // a loaded machine or a motor still streaming samples keeps the engine waiting longer.
    static constexpr int ExchangeLimitMs = 1000;
    static constexpr int SetupGraceMs = 5000;

signals:
    // The motor refused the frequency or channel set-up (refused, with the engine's error bits)
    // or did not confirm it in time. No start is sent then.
    void setupFailed(bool refused, quint32 errorBits);
    // Sampling was started (the start frame sent).
    void started(int channelCount);
    // The stop ended: confirmed by the motor, or not within StopLimitMs.
    void stopped(bool confirmed);

private:
    enum Verdict
    {
        Confirmed,
        Refused,
        TimedOut
    };
    void onStatus(const OtaStatus& s);
    void onLimit();
    void conclude(Verdict verdict, quint32 errorBits);
    void endStop(bool confirmed);
    void runStep(quint32 step);

    CANWorker* worker_;
    QPointer<otaThread> engine_; // the worker deletes its engine before its children
    QPointer<ve::DataObject> device_;
    quint8 canId_ = 0;
    quint64 mcuId_ = 0;
    QTimer limit_; // single-shot: the set-up's or the stop's time limit, never a poll
    bool starting_ = false;
    bool sampling_ = false;
    bool stopping_ = false;
    int channels_ = 0;
};
