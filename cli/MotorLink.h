#pragma once

#include "CliStatus.h"

#include <OtaStatus.h>

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

class CANWorker;
class otaThread;
namespace ve {
class DataObject;
}

// The command line's hold on the bus: one CAN worker on one port, the scan that finds the motors,
// the choice of the motor a command addresses, and bounded waits for the engine's statuses.
// Every wait runs the event loop and ends at its limit or at the first serial error.
class MotorLink : public QObject
{
    Q_OBJECT
public:
    explicit MotorLink(int timeoutMs, QObject* parent = nullptr);
    ~MotorLink() override;

    CANWorker* worker() const { return worker_.get(); }
    otaThread* engine() const;
    int timeout() const { return timeoutMs_; }
    QString portName() const { return port_; }

    // Opens the port (the first adapter port when empty), lets the adapter search run and scans
    // the bus until no new motor announced itself for a moment; a wanted CAN ID is waited for up
    // to the limit (a slow motor may announce itself late).
    CliStatus open(const QString& port, int wantedCanId = -1);
    // The motors found, by CAN ID.
    QList<int> canIds() const;
    ve::DataObject* node(int canId) const;
    // Makes the motor with this CAN ID (or, for -1, the only motor) the one commands address.
    CliStatus select(int canId);
    ve::DataObject* current() const;
    int currentCanId() const;

    // Runs the event loop until done() holds; false at the limit or on a serial error.
    bool waitFor(const std::function<bool()>& done, int ms);
    // The same, but the limit counts from the last status the engine reported: for procedures
    // that keep the motor talking while they run.
    bool waitActive(const std::function<bool()>& done, int idleMs);
    // Forgets the statuses seen so far; the next waitStatus looks only at newer ones.
    void mark();
    // Waits for the next status whose code is in codes. Every status passed over is handed to
    // each (progress). With idleLimit the limit counts from the last status seen, not from the
    // start. Returns the code, or -1 at the limit / on a serial error (see failure()).
    int waitStatus(const QSet<quint32>& codes, int ms, OtaStatus* out = nullptr,
        const std::function<void(const OtaStatus&)>& each = nullptr, bool idleLimit = false);
    // The same with a test of the whole status (for example its sender).
    int waitStatus(const std::function<bool(const OtaStatus&)>& match, int ms, OtaStatus* out = nullptr,
        const std::function<void(const OtaStatus&)>& each = nullptr, bool idleLimit = false);

    bool serialFailed() const { return !serialError_.isEmpty(); }
    // The failure after a wait ended unsuccessfully: the serial error (3) or a time-out (4).
    CliStatus failure(const QString& timeoutText) const;
    // The last ERROR-tagged status line of the worker, without its tag.
    QString lastError() const { return lastError_; }
    QStringList messages() const { return messages_; }

private:
    void onStatus(const OtaStatus& s);

    std::unique_ptr<CANWorker> worker_;
    int timeoutMs_;
    QString port_;
    QVector<OtaStatus> statuses_;
    int cursor_ = 0;
    QElapsedTimer clock_;
    qint64 lastDetect_ = 0;
    QString serialError_;
    QString lastError_;
    QStringList messages_;
};
