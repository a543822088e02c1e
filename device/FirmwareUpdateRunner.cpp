#include "FirmwareUpdateRunner.h"

#include "CANWorker.h"
#include "EventWait.h"
#include "FirmwareUpdate.h"
#include "Helper.h"

#include <QCoreApplication>

namespace {
int s_stallLimitMs = 30000;
} // namespace

FirmwareUpdateRunner::FirmwareUpdateRunner(QObject* sender)
    : m_sender(sender)
{ }

void FirmwareUpdateRunner::setStallLimitMs(int ms)
{
    s_stallLimitMs = ms;
}

int FirmwareUpdateRunner::stallLimitMs()
{
    return s_stallLimitMs;
}

void FirmwareUpdateRunner::run()
{
    Helper* helper = Helper::instance();
    CANWorker* worker = helper->canWorker();
    if (!worker || !helper->activeDeviceOrWarn())
        return;
    const QString path = helper->getOpenFileName(
        helper->mainWindow(), tr("Open Binary File"), ".", tr("Binary File(*.bin *.hex)"));
    if (path.isEmpty())
        return;
    if (!helper->askConfirm(tr("Are you sure to update? This may take a while.")))
        return;

    FirmwareUpdate update(worker);
    update.setStallLimit(s_stallLimitMs);
    bool done = false, ok = false;
    QString verdict;
    connect(&update, &FirmwareUpdate::finished, m_sender, [&](bool success, const QString& text) {
        done = true;
        ok = success;
        verdict = text;
    });
    // The file is sent byte for byte whatever its extension; an unreadable one gives an empty
    // image, which the motor side refuses once update mode is entered.
    if (!update.startFile(path) && !done)
        return;
    EventWait::until([&] { return done; }, -1);
    QCoreApplication::processEvents();
    if (ok)
        helper->showInformation(verdict);
    else
        helper->showError(verdict);
}
