#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class CANWorker;

// The firmware update of the current device: update mode, size announcement, the image in
// 8-byte frames and the end frame, driven by polling the engine's step and status.
// The transfer is abandoned when no frame has been acknowledged for stallLimit() ms.
class FirmwareUpdate : public QObject
{
    Q_OBJECT
public:
    explicit FirmwareUpdate(CANWorker* worker, QObject* parent = nullptr);

    // Reads the file (an unreadable file gives an empty image) and starts.
    bool startFile(const QString& path);
    bool start(const QByteArray& image);
    bool running() const { return phase_ != Idle; }
    void setStallLimit(int ms) { stallLimit_ = ms; }
    int stallLimit() const { return stallLimit_; }

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
        Sending
    };
    void poll();
    void block(const QString& text);
    void progressChanged();
    void finish(bool ok, const QString& text);

    CANWorker* worker_;
    QTimer poll_;
    Phase phase_ = Idle;
    int stallLimit_ = 30000;
    quint32 lastFrames_ = 0;
    QElapsedTimer sinceProgress_;
    QElapsedTimer endWait_;
    static constexpr int EndAnswerMs = 2000;
    QMetaObject::Connection progressConn_;
};
