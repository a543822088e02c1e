#pragma once

#include <OtaStatus.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class CANWorker;

// The firmware update of the current device: update mode, size announcement, the image in
// 8-byte frames and the end frame. It follows the engine's ordered status stream and reacts
// only to the firmware statuses, so a feedback or announcement in between changes no verdict.
// The transfer is abandoned when no new frame has been acknowledged for stallLimit() ms, or
// when it outlasts a ceiling that grows with the image.
class FirmwareUpdate : public QObject
{
    Q_OBJECT
public:
    static constexpr int EndAnswerMs = 2000;
    static constexpr int CeilingPerFrameMs = 20;

    explicit FirmwareUpdate(CANWorker* worker, QObject* parent = nullptr);

    // Reads the file (an unreadable file gives an empty image) and starts.
    bool startFile(const QString& path);
    bool start(const QByteArray& image);
    bool running() const { return phase_ != Idle; }
    void setStallLimit(int ms) { stallLimit_ = ms; }
    int stallLimit() const { return stallLimit_; }
    // Whether the motor accepted the end frame. A transfer whose last data frame was taken but
    // whose end frame went unanswered still finishes with success, unconfirmed.
    bool confirmed() const { return confirmed_; }

signals:
    // Text for the block box; an empty text closes it.
    void blockText(QString text);
    // The outcome: ok with "Update successfully!", else the error text.
    void finished(bool ok, QString text);

private:
    enum Phase
    {
        Idle,
        Entering,
        Sending,
        Ending
    };
    void onStatus(const OtaStatus& s);
    void onLimit();
    void onPortClosed();
    void armSendingLimit();
    void startSending();
    void block(const QString& text);
    void progressChanged();
    void finish(bool ok, const QString& text);

    CANWorker* worker_;
    QTimer limit_; // single-shot: the current phase's time limit, never a poll
    Phase phase_ = Idle;
    int stallLimit_ = 30000;
    quint32 frames_ = 0; // frames of the image
    quint32 best_ = 0; // highest frame count the motor acknowledged
    bool confirmed_ = false;
    QElapsedTimer since_; // in the current phase
    QElapsedTimer sinceProgress_;
    QMetaObject::Connection progressConn_;
};
