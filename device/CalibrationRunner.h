#pragma once

#include <QObject>

// Encoder calibration as the user sees it: the question, the block-box texts while the motor
// turns, and the failure box. The worker reports the progress lines and the final offset.
class CalibrationRunner : public QObject
{
    Q_OBJECT
public:
    explicit CalibrationRunner(QObject* sender);

    // Runs to the end in the GUI thread (the block box keeps the window modal meanwhile).
    void run();

    // A motor that stops reporting for this long ends the run as failed instead of blocking
    // the window for ever. Tests shorten it.
    static void setSilenceLimitMs(int ms);
    static int silenceLimitMs();

private:
    void block(const QString& text);
    QObject* m_sender;
};
