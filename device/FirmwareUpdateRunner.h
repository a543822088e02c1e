#pragma once

#include <QObject>

// Firmware update as the user sees it: file choice, question and the verdict box around the
// headless update procedure, which shows the erase and progress texts in the block box.
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
    QObject* m_sender;
};
