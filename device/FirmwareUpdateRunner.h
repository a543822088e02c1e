#pragma once

#include <QObject>

class otaThread;

// Firmware update as the user sees it: file choice, question, the block box with the erase and
// progress texts, and the verdict box. Drives the engine's firmware steps.
class FirmwareUpdateRunner : public QObject
{
    Q_OBJECT
public:
    explicit FirmwareUpdateRunner(QObject* sender);

    // Runs to the end in the GUI thread (the block box keeps the window modal meanwhile).
    void run();

    // The transfer is given up when no frame has been taken for this long (a large image on a
    // slow link may need longer than any total limit). Tests shorten it.
    static void setStallLimitMs(int ms);
    static int stallLimitMs();

private:
    void block(const QVariant& value);
    bool transfer(otaThread* engine);
    QObject* m_sender;
};
