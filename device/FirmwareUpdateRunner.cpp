#include "FirmwareUpdateRunner.h"

#include "CANWorker.h"
#include "EventWait.h"
#include "Helper.h"

#include <DataManager.h>
#include <DataObject.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

namespace {
int s_stallLimitMs = 30000;

bool sending(quint32 step)
{
    return step == STEP_SEND_INFO || step == STEP_SEND_BIN;
}
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

void FirmwareUpdateRunner::block(const QVariant& value)
{
    ve::d().rootDobj()->set(m_sender, "trigger.block", value, true);
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

    // Sent byte for byte whatever the extension; an unreadable file leaves an empty image,
    // which the engine refuses once update mode is entered.
    QFile file(path);
    otaThread* engine = worker->engine();
    engine->setImage(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());

    block(tr("Erasing flash..."));
    worker->command(CANWorker::UPDATE);
    EventWait::until([engine] { return engine->step() != STEP_IN_OTA; }, -1);
    if (engine->step() != STEP_SEND_INFO) {
        block(QVariant());
        helper->showError(engine->status() == OTA_STA_IN_OTA_MODE_OVER_TIME
                ? tr("Enter update mode overtime!")
                : tr("Erasing flash failed!"));
        return;
    }
    if (!transfer(engine)) {
        engine->startStep(STEP_STOP);
        helper->showError(tr("Update timeout!"));
        return;
    }
    switch (engine->status()) {
    case OTA_STA_SUCCESS:
        helper->showInformation(tr("Update successfully!"));
        break;
    case OTA_STA_BINFILE_EMPTY:
        helper->showError(tr("File contains no data!"));
        break;
    case OTA_STA_BINFILE_SIZE_OVER_LIMIT:
        helper->showError(tr("File size over 512KB!"));
        break;
    case OTA_STA_OTA_INFO_OVER_TIME:
        helper->showError(tr("Sending file info failed!"));
        break;
    default:
        helper->showError(tr("Update failed!"));
        break;
    }
}

// Sends the image; false when the motor stopped taking frames or never judged the image.
bool FirmwareUpdateRunner::transfer(otaThread* engine)
{
    block(tr("Sending file... %1%").arg(0));
    QObject watcher;
    connect(ve::d("temp_device.update_progress"), &ve::DataObject::changed, &watcher,
        [this](const QVariant& v, const QVariant&, QObject*) {
            block(tr("Sending file... %1%").arg(v.toInt()));
        });
    engine->startStep(STEP_SEND_INFO);

    // The clock restarts whenever a frame is taken, so only a stalled motor times out.
    QElapsedTimer idle;
    idle.start();
    quint32 lastSent = 0;
    bool stalled = false;
    auto progressing = [&] {
        const quint32 sent = engine->framesSent();
        if (sent != lastSent) {
            lastSent = sent;
            idle.restart();
        }
        stalled = idle.elapsed() > s_stallLimitMs;
        return stalled;
    };
    EventWait::until([&] { return !sending(engine->step()) || progressing(); }, -1);
    // The last data frame only starts the end frame; the motor's answer to it is the one verdict
    // on the image, so it is awaited rather than taken as success.
    if (!stalled && engine->step() == STEP_SEND_END) {
        idle.restart();
        EventWait::until(
            [&] {
                const quint32 s = engine->status();
                stalled = idle.elapsed() > s_stallLimitMs;
                return s == OTA_STA_SUCCESS || s == OTA_STA_FAILED || stalled
                    || engine->step() != STEP_SEND_END;
            },
            -1);
    }
    disconnect(ve::d("temp_device.update_progress"), nullptr, &watcher, nullptr);
    block(QVariant());
    QCoreApplication::processEvents();
    return !stalled;
}
