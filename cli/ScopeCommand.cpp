#include "ScopeCommand.h"

#include "CliOptions.h"
#include "CliOutput.h"
#include "MotorLink.h"
#include "ParamSession.h"

#include <CANWorker.h>
#include <ScopeSession.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QSaveFile>
#include <QTextStream>

#include <array>

namespace {
// Collects the decoded points for the CSV: every notification hands over the buffers, of which
// only the points newer than the last row written are new.
class CsvCollector
{
public:
    void take(const ScopeBuffers& buffers, const QVector<quint8>& slotList)
    {
        if (slotList.isEmpty())
            return;
        const ScopeBuffer& first = buffers[slotList[0]];
        for (int k = 0; k < first.size(); ++k) {
            const double t = first.at(k).key;
            if (!rows_.isEmpty() && t <= lastTime_)
                continue;
            QVector<double> row {t};
            for (quint8 slot : slotList)
                row << (k < buffers[slot].size() ? buffers[slot].at(k).value : 0.0);
            rows_ << row;
            lastTime_ = t;
        }
    }
    const QVector<QVector<double>>& rows() const { return rows_; }

private:
    QVector<QVector<double>> rows_;
    double lastTime_ = 0;
};
} // namespace

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
    qint64 appendedAt = 0;
    if (!o.csv) {
        // Checked here: the session would record on without a file it cannot open.
        QFile probe(o.out);
        if (!probe.open(QIODevice::Append))
            return CliStatus::fail(
                CliStatus::Usage, QStringLiteral("cannot write %1: %2").arg(o.out, probe.errorString()));
        appendedAt = probe.size();
    }
    CsvCollector csv;
    QMetaObject::Connection notify;
    if (o.csv)
        notify = QObject::connect(eng, &otaThread::scopeToShow, &link,
            [&](const ScopeBuffers* b) { csv.take(*b, eng->scopeSlots()); });

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
    // The session starts sampling even after a failed set-up (as the desktop does); the command
    // line reports the failure instead of recording nothing.
    link.waitFor([&] { return started; }, link.timeout() + 2000);
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
        QSaveFile f(o.out);
        if (!f.open(QIODevice::WriteOnly))
            return CliStatus::fail(
                CliStatus::Usage, QStringLiteral("cannot write %1: %2").arg(o.out, f.errorString()));
        QTextStream ts(&f);
        QStringList header {QStringLiteral("time")};
        for (const QString& c : o.channels)
            header << CliOutput::csvField(c);
        ts << header.join(QLatin1Char(',')) << "\n";
        for (const QVector<double>& row : csv.rows()) {
            QStringList cells;
            cells << QString::number(row[0], 'f', 6);
            for (int k = 1; k < row.size(); ++k)
                cells << QString::number(row[k], 'g', 10);
            ts << cells.join(QLatin1Char(',')) << "\n";
        }
        ts.flush();
        records = csv.rows().size();
        if (!f.commit())
            return CliStatus::fail(
                CliStatus::Usage, QStringLiteral("cannot write %1: %2").arg(o.out, f.errorString()));
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
