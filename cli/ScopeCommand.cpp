#include "ScopeCommand.h"

#include "CliOptions.h"
#include "CliOutput.h"
#include "MotorLink.h"
#include "ParamSession.h"

#include <CANWorker.h>
#include <CsvCollector.h>
#include <ScopeSession.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QSaveFile>

#include <array>

CliStatus ScopeCommand::run(const CliOptions& o, MotorLink& link)
{
    ParamSession ps(link);
    CliStatus st = ps.loadDescriptors();
    if (!st.ok())
        return st;
    const QStringList names = ps.channelNames();
    std::array<quint16, ScopeDecoder::Slots> types {};
    for (int k = 0; k < o.channels.size(); ++k) {
        const int at = names.indexOf(o.channels[k]);
        if (at < 0)
            return CliStatus::fail(CliStatus::Usage,
                QStringLiteral("'%1' is not a channel; choose from: %2")
                    .arg(o.channels[k], names.join(QStringLiteral(", "))));
        types[size_t(k)] = quint16(at + 1);
    }
    otaThread* eng = link.engine();
    for (int k = 0; k < o.channels.size(); ++k) {
        const quint8 type = eng->withParams([&](ParamTable& t) {
            quint16 code = 0;
            quint8 ty = 0;
            t.mapChannel(types[size_t(k)], &code, &ty);
            return ty;
        });
        // A text entry would make a record longer than the motor can send.
        if (!ScopeDecoder::isNumeric(type))
            return CliStatus::fail(CliStatus::Usage,
                QStringLiteral("'%1' is not a number and cannot be recorded").arg(o.channels[k]));
    }
    qint64 appendedAt = 0;
    if (!o.csv) {
        // Checked here: the session would record on without a file it cannot open.
        QFile probe(o.out);
        if (!probe.open(QIODevice::Append))
            return CliStatus::fail(
                CliStatus::Usage, QStringLiteral("cannot write %1: %2").arg(o.out, probe.errorString()));
        appendedAt = probe.size();
    }
    // The CSV is streamed as the samples arrive and replaces the file only when complete.
    QSaveFile csvFile(o.out);
    CsvCollector csv(&csvFile);
    QMetaObject::Connection notify;
    if (o.csv) {
        if (!csvFile.open(QIODevice::WriteOnly))
            return CliStatus::fail(
                CliStatus::Usage, QStringLiteral("cannot write %1: %2").arg(o.out, csvFile.errorString()));
        csv.writeHeader(o.channels);
        notify = QObject::connect(eng, &otaThread::scopeToShow, &link,
            [&](const ScopeBuffers* b) { csv.take(*b, eng->scopeSlots()); });
    }

    ScopeSession session(link.worker());
    bool started = false, failed = false, refused = false;
    quint32 errorBits = 0;
    QObject::connect(&session, &ScopeSession::started, [&](int) { started = true; });
    QObject::connect(&session, &ScopeSession::setupFailed, [&](bool wasRefused, quint32 bits) {
        failed = true;
        refused = wasRefused;
        errorBits = bits;
    });
    link.mark();
    if (!session.start(quint16(o.frequency), types, o.csv ? QString() : o.out)) {
        QObject::disconnect(notify);
        return CliStatus::fail(CliStatus::Usage, QStringLiteral("no motor selected"));
    }
    // A failed set-up starts nothing; the command line says why.
    link.waitFor([&] { return started || failed; }, link.timeout() + 2000);
    if (!started || failed) {
        QObject::disconnect(notify);
        session.stop();
        link.waitStatus({OTA_STA_PARA_UPDATE_SUCCESS_END}, 300);
        if (refused)
            return CliStatus::fail(CliStatus::MotorFailed,
                QStringLiteral("the motor refused the oscilloscope set-up (error bits 0x%1)")
                    .arg(errorBits, 0, 16));
        return link.failure(QStringLiteral("the motor did not confirm the oscilloscope set-up"));
    }
    link.waitFor([] { return false; }, int(o.duration * 1000));
    const bool sampled = eng->scopeRunning();
    link.mark();
    session.stop();
    const int stopped = link.waitStatus({OTA_STA_PARA_UPDATE_SUCCESS_END}, link.timeout());
    if (o.csv)
        csv.take(*eng->scopeBuffers(), eng->scopeSlots());
    QObject::disconnect(notify);
    if (stopped < 0) {
        // Nothing may keep asking the motor to stop once the command has ended.
        eng->startStep(STEP_STOP);
        if (link.serialFailed() || sampled)
            return link.failure(QStringLiteral("the motor did not confirm the oscilloscope stop"));
    }
    if (!sampled)
        return CliStatus::fail(
            CliStatus::TimedOut, QStringLiteral("no samples arrived within %1 s").arg(o.duration));

    int records = 0;
    if (!o.csv) {
        // Earlier runs in the same file stay; count what this one appended.
        QFile f(o.out);
        if (f.open(QIODevice::ReadOnly) && f.seek(appendedAt))
            records = f.readAll().count('\n');
    }
    if (o.csv) {
        records = int(csv.rows());
        if (csv.failed() || !csvFile.commit())
            return CliStatus::fail(
                CliStatus::Usage, QStringLiteral("cannot write %1: %2").arg(o.out, csvFile.errorString()));
    }
    if (o.json) {
        QJsonObject j {{"file", o.out}, {"channels", QJsonArray::fromStringList(o.channels)},
            {"frequency", o.frequency}, {"duration", o.duration}};
        j.insert(QStringLiteral("records"), records);
        CliOutput::json(j);
    } else {
        CliOutput::line(QStringLiteral("Recorded %1 records of %2 to %3")
                            .arg(records)
                            .arg(o.channels.join(QStringLiteral(", ")), o.out));
    }
    return CliStatus::success();
}
