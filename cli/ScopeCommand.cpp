#include "ScopeCommand.h"

#include "CliOptions.h"
#include "CliOutput.h"
#include "MotorLink.h"
#include "ParamSession.h"

#include <CANWorker.h>

#include <QElapsedTimer>
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
    eng->setScopeFrequency(quint16(o.frequency));
    if (eng->configureScopeChannels(types) != o.channels.size())
        return CliStatus::fail(CliStatus::Usage, QStringLiteral("the channels could not be mapped"));

    if (!o.csv && !eng->openSampleFile(o.out))
        return CliStatus::fail(CliStatus::Usage, QStringLiteral("cannot write %1").arg(o.out));
    CsvCollector csv;
    QMetaObject::Connection notify;
    if (o.csv)
        notify = QObject::connect(eng, &otaThread::scopeToShow, &link,
            [&](const ScopeBuffers* b) { csv.take(*b, eng->scopeSlots()); });
    auto finish = [&] {
        QObject::disconnect(notify);
        eng->closeSampleFile();
    };

    // Configure, channel groups (the worker sends them on the frequency's confirmation), start.
    link.mark();
    link.worker()->runStep(STEP_SCOPE_SET_FRE);
    const int code = link.waitStatus(
        {OTA_STA_PARA_UPDATE_SUCCESS_CHSET, OTA_STA_PARA_UPDATE_ERROR, OTA_STA_PARA_UPDATE_OVER_TIME},
        link.timeout());
    if (code != OTA_STA_PARA_UPDATE_SUCCESS_CHSET) {
        finish();
        if (code == OTA_STA_PARA_UPDATE_ERROR)
            return CliStatus::fail(CliStatus::MotorFailed,
                QStringLiteral("the motor refused the oscilloscope set-up (error bits 0x%1)")
                    .arg(eng->errorSet(), 0, 16));
        return link.failure(QStringLiteral("the motor did not confirm the oscilloscope set-up"));
    }
    link.worker()->runStep(STEP_SCOPE_START);
    QElapsedTimer run;
    run.start();
    const int durationMs = int(o.duration * 1000);
    link.waitFor([&] { return false; }, durationMs);
    const bool sampled = eng->scopeRunning();
    link.mark();
    link.worker()->runStep(STEP_SCOPE_STOP);
    const int stopped = link.waitStatus({OTA_STA_PARA_UPDATE_SUCCESS_END}, link.timeout());
    if (o.csv)
        csv.take(*eng->scopeBuffers(), eng->scopeSlots());
    finish();
    if (stopped < 0) {
        eng->startStep(STEP_STOP);
        if (link.serialFailed() || sampled)
            return link.failure(QStringLiteral("the motor did not confirm the oscilloscope stop"));
    }
    if (!sampled)
        return CliStatus::fail(
            CliStatus::TimedOut, QStringLiteral("no samples arrived within %1 s").arg(o.duration));

    int records = 0;
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
        if (o.csv)
            j.insert(QStringLiteral("records"), records);
        CliOutput::json(j);
    } else if (o.csv) {
        CliOutput::line(QStringLiteral("Recorded %1 records of %2 to %3")
                            .arg(records)
                            .arg(o.channels.join(QStringLiteral(", ")), o.out));
    } else {
        CliOutput::line(
            QStringLiteral("Recorded %1 to %2").arg(o.channels.join(QStringLiteral(", ")), o.out));
    }
    return CliStatus::success();
}
