#include "FirmwareCommand.h"

#include "CliOptions.h"
#include "CliOutput.h"
#include "MotorLink.h"

#include <CANWorker.h>

#include <QFile>
#include <QJsonObject>

namespace {
// Entering update mode (the motor erases its flash) and the whole transfer, as the desktop allows.
constexpr int EnterLimitMs = 8000 + 1000;
constexpr int TransferLimitMs = 30000;
} // namespace

CliStatus FirmwareCommand::loadImage(const QString& path, QByteArray* image)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return CliStatus::fail(
            CliStatus::Usage, QStringLiteral("cannot read %1: %2").arg(path, f.errorString()));
    *image = f.readAll();
    if (image->isEmpty())
        return CliStatus::fail(CliStatus::Usage, QStringLiteral("File contains no data! (%1)").arg(path));
    if (quint32(image->size()) > otaThread::MaxImage)
        return CliStatus::fail(CliStatus::Usage, QStringLiteral("File size over 512KB! (%1)").arg(path));
    return CliStatus::success();
}

CliStatus FirmwareCommand::run(const CliOptions& o, MotorLink& link)
{
    QByteArray image;
    CliStatus st = loadImage(o.args[0], &image);
    if (!st.ok())
        return st;
    otaThread* eng = link.engine();
    eng->setImage(image);
    const int id = link.currentCanId();

    link.mark();
    link.worker()->command(CANWorker::UPDATE);
    int code = link.waitStatus({OTA_STA_IN_OTA_MODE_SUCCESS, OTA_STA_IN_OTA_MODE_OVER_TIME}, EnterLimitMs);
    if (code != OTA_STA_IN_OTA_MODE_SUCCESS) {
        eng->startStep(STEP_STOP);
        return link.failure(QStringLiteral("Enter update mode overtime! (motor %1)").arg(id));
    }
    CliOutput::progress(QStringLiteral("Sending file"), 0, QString());
    eng->startStep(STEP_SEND_INFO);
    int lastPercent = -1;
    auto each = [&](const OtaStatus& s) {
        if ((s.code == OTA_STA_SEND_BIN_OK || s.code == OTA_STA_SEND_BIN_RETRY) && s.frameCount) {
            const int p = int(quint64(s.framesSent) * 100 / s.frameCount);
            if (p != lastPercent) {
                lastPercent = p;
                CliOutput::progress(QStringLiteral("Sending file"), p,
                    QStringLiteral("%1/%2 frames").arg(s.framesSent).arg(s.frameCount));
            }
        }
    };
    // The transfer ends with the motor's answer to the end frame, not with the last data frame.
    const int limit = TransferLimitMs;
    code = link.waitStatus(
        [&](const OtaStatus& s) {
            return s.code == OTA_STA_SUCCESS || s.code == OTA_STA_FAILED
                || s.code == OTA_STA_OTA_INFO_OVER_TIME || s.code == OTA_STA_BINFILE_EMPTY
                || s.code == OTA_STA_BINFILE_SIZE_OVER_LIMIT;
        },
        limit, nullptr, each);
    CliOutput::endProgress();
    switch (code) {
    case OTA_STA_SUCCESS:
        if (o.json)
            CliOutput::json(QJsonObject {{"can_id", id}, {"bytes", image.size()},
                {"frames", int(eng->frameCount())}, {"result", QStringLiteral("Update successfully!")}});
        else
            CliOutput::line(QStringLiteral("Update successfully! (%1 bytes, %2 frames)")
                                .arg(image.size())
                                .arg(eng->frameCount()));
        return CliStatus::success();
    case OTA_STA_FAILED:
        return CliStatus::fail(CliStatus::MotorFailed,
            QStringLiteral("Update failed! (motor %1 rejected the image at frame %2)")
                .arg(id)
                .arg(eng->framesSent()));
    case OTA_STA_OTA_INFO_OVER_TIME:
        return CliStatus::fail(
            CliStatus::TimedOut, QStringLiteral("Sending file info failed! (motor %1)").arg(id));
    case OTA_STA_BINFILE_EMPTY:
        return CliStatus::fail(CliStatus::Usage, QStringLiteral("File contains no data!"));
    case OTA_STA_BINFILE_SIZE_OVER_LIMIT:
        return CliStatus::fail(CliStatus::Usage, QStringLiteral("File size over 512KB!"));
    default:
        // Leave the engine idle: nothing may keep sending once we give up.
        eng->startStep(STEP_STOP);
        return link.failure(QStringLiteral("Update timeout! (motor %1, %2 of %3 frames taken)")
                                .arg(id)
                                .arg(eng->framesSent())
                                .arg(eng->frameCount()));
    }
}
