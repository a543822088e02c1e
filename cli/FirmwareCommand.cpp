#include "FirmwareCommand.h"

#include "CliOptions.h"
#include "CliOutput.h"
#include "MotorLink.h"

#include <CANWorker.h>
#include <FirmwareUpdate.h>

#include <QFile>
#include <QJsonObject>

namespace {
// Entering update mode: the motor erases its flash first.
constexpr int EnterLimitMs = 8000 + 1000;
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
    const int id = link.currentCanId();
    FirmwareUpdate update(link.worker());
    // A transfer that stops moving is abandoned after the command line's limit.
    update.setStallLimit(qMax(link.timeout(), 1000));
    bool ended = false, ok = false;
    QString verdict;
    QObject::connect(&update, &FirmwareUpdate::finished, [&](bool result, const QString& text) {
        ended = true;
        ok = result;
        verdict = text;
    });
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
    link.mark();
    if (!update.start(image))
        return CliStatus::fail(CliStatus::Usage, QStringLiteral("no motor selected"));
    // Entering update mode may take the motor 8000 ms (it erases its flash); after that frames
    // keep the engine reporting until the procedure's own verdict.
    link.waitActive(
        [&] {
            link.waitStatus([](const OtaStatus&) { return false; }, 0, nullptr, each);
            return ended;
        },
        EnterLimitMs + link.timeout());
    if (!ended) {
        eng->startStep(STEP_STOP);
        CliOutput::endProgress();
        return link.failure(QStringLiteral("Update timeout! (motor %1 went silent)").arg(id));
    }
    if (ok && !update.confirmed() && !o.acceptUnconfirmed) {
        CliOutput::endProgress();
        if (link.serialFailed())
            return link.failure(QString());
        return CliStatus::fail(CliStatus::TimedOut,
            QStringLiteral(
                "all %1 frames were taken, but motor %2 did not confirm the end frame within %3 ms "
                "(give --accept-unconfirmed to accept this)")
                .arg(eng->frameCount())
                .arg(id)
                .arg(FirmwareUpdate::EndAnswerMs));
    }
    if (ok) {
        CliOutput::progress(QStringLiteral("Sending file"), 100,
            QStringLiteral("%1/%2 frames").arg(eng->frameCount()).arg(eng->frameCount()));
        CliOutput::endProgress();
        const QString note = update.confirmed() ? QString() : QStringLiteral(", end frame not confirmed");
        if (o.json)
            CliOutput::json(QJsonObject {{"can_id", id}, {"bytes", image.size()},
                {"frames", int(eng->frameCount())}, {"result", verdict}, {"confirmed", update.confirmed()}});
        else
            CliOutput::line(QStringLiteral("%1 (%2 bytes, %3 frames%4)")
                                .arg(verdict)
                                .arg(image.size())
                                .arg(eng->frameCount())
                                .arg(note));
        return CliStatus::success();
    }
    CliOutput::endProgress();
    // No answer in time is a time-out; anything the motor said against the image is a refusal.
    const bool silent = verdict == QLatin1String("Enter update mode overtime!")
        || verdict == QLatin1String("Update timeout!")
        || verdict == QLatin1String("Sending file info failed!");
    if (link.serialFailed())
        return link.failure(QString());
    return CliStatus::fail(silent ? CliStatus::TimedOut : CliStatus::MotorFailed,
        QStringLiteral("%1 (motor %2, %3 of %4 frames taken)")
            .arg(verdict)
            .arg(id)
            .arg(eng->framesSent())
            .arg(eng->frameCount()));
}
