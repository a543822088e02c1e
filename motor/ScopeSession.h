#pragma once

#include "OtaStatus.h"
#include "ScopeDecoder.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <array>

class CANWorker;

// One oscilloscope recording of the current device: configure the frequency and the channel
// set, start sampling, and stop it; optionally every record goes to a sample file.
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

    // Empty path: no sample file. The file is opened for appending when not open yet.
    bool start(quint16 frequency, const std::array<quint16, ScopeDecoder::Slots>& types,
        const QString& samplePath = QString());
    void stop();
    bool starting() const { return starting_; }

signals:
    // The motor refused the frequency or channel set-up (refused, with the engine's error bits)
    // or did not confirm it in time. Sampling is still started afterwards, as the desktop does.
    void setupFailed(bool refused, quint32 errorBits);
    // Sampling was started (the start frame sent); channelCount may be 0.
    void started(int channelCount);

private:
    void poll();
    void onStatus(const OtaStatus& s);

    CANWorker* worker_;
    QTimer poll_;
    QElapsedTimer idleSince_;
    QElapsedTimer verdictWait_;
    enum Verdict
    {
        None,
        Confirmed,
        Refused,
        TimedOut
    } verdict_
        = None;
    quint32 errorBits_ = 0;
    bool starting_ = false;
    int channels_ = 0;
};
