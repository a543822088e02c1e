#include "ParamCommands.h"

#include "CliOptions.h"
#include "CliOutput.h"
#include "MotorLink.h"
#include "ParamSession.h"

#include <DataObject.h>
#include <ParamBackup.h>

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>

namespace {
QString codeText(quint16 code)
{
    return ParamRow::codeText(code);
}

QJsonObject rowJson(const ParamRow& r)
{
    QJsonObject o {{"code", codeText(r.code)}, {"name", r.name}, {"group", r.group}, {"type", r.type},
        {"property", r.property}, {"value", r.value}, {"writable", r.writable}};
    if (r.group == 2) {
        o.insert(QStringLiteral("max"), r.max);
        o.insert(QStringLiteral("min"), r.min);
    }
    return o;
}

QString mcuText(MotorLink& link)
{
    return QStringLiteral("0x") + link.current()->name();
}

CliStatus loadAll(ParamSession& ps)
{
    CliStatus st = ps.loadDescriptors();
    if (st.ok())
        st = ps.uploadAll();
    return st;
}

CliStatus findParam(const ParamSession& ps, const QString& key, int* g, int* i)
{
    if (!ps.find(key, g, i))
        return CliStatus::fail(CliStatus::Usage, QStringLiteral("no parameter '%1' (see `params`)").arg(key));
    return CliStatus::success();
}

CliStatus printTable(const CliOptions& o, const ParamSession& ps)
{
    const QVector<ParamRow> rows = ps.rows();
    if (o.json) {
        QJsonArray a;
        for (const ParamRow& r : rows)
            a.append(rowJson(r));
        CliOutput::json(a);
    } else if (o.csv) {
        CliOutput::line(QStringLiteral("Code,Name,Type,Property,Maximum,Minimum,Value"));
        for (const ParamRow& r : rows) {
            QStringList cells = r.cells();
            for (QString& c : cells)
                c = CliOutput::csvField(c);
            CliOutput::line(cells.join(QLatin1Char(',')));
        }
    } else {
        QVector<QStringList> cells;
        for (const ParamRow& r : rows)
            cells << r.cells();
        CliOutput::line(
            CliOutput::table({QStringLiteral("Code"), QStringLiteral("Name"), QStringLiteral("Type"),
                                 QStringLiteral("Property"), QStringLiteral("Maximum"),
                                 QStringLiteral("Minimum"), QStringLiteral("Value")},
                cells));
    }
    return CliStatus::success();
}

CliStatus readBackup(const QString& path, ParamBackup* doc)
{
    QString error;
    if (!ParamBackup::read(path, doc, &error))
        return CliStatus::fail(CliStatus::Usage, error);
    return CliStatus::success();
}

CliStatus backup(const CliOptions& o, MotorLink& link, ParamSession& ps)
{
    const QString path = o.args[0];
    const ParamBackup doc = ParamBackup::fromRows(ps.rows(),
        link.current()->r(QStringLiteral("info.mcu_id"))->get().toULongLong(), link.currentCanId(),
        int(ps.channelBase()));
    QString error;
    if (!doc.write(path, &error))
        return CliStatus::fail(CliStatus::Usage, error);
    if (o.json)
        CliOutput::json(QJsonObject {{"file", path}, {"mcu_id", mcuText(link)},
            {"can_id", link.currentCanId()}, {"params", doc.entries.size()}});
    else
        CliOutput::line(QStringLiteral("Saved %1 parameters of motor %2 (MCU ID %3) to %4")
                            .arg(doc.entries.size())
                            .arg(link.currentCanId())
                            .arg(mcuText(link), path));
    return CliStatus::success();
}

CliStatus diff(const CliOptions& o, ParamSession& ps)
{
    ParamBackup doc;
    CliStatus st = readBackup(o.args[0], &doc);
    if (!st.ok())
        return st;
    st = loadAll(ps);
    if (!st.ok())
        return st;
    const QVector<ParamBackup::Difference> d = doc.differences(ps.rows());
    if (o.json) {
        QJsonArray a;
        for (const ParamBackup::Difference& x : d)
            a.append(QJsonObject {{"code", codeText(x.file.code)}, {"name", x.file.name},
                {"motor", x.motorValue}, {"file", x.file.value}});
        CliOutput::json(a);
    } else if (d.isEmpty()) {
        CliOutput::line(QStringLiteral("No differences."));
    } else {
        QVector<QStringList> rows;
        for (const ParamBackup::Difference& x : d)
            rows << QStringList {codeText(x.file.code), x.file.name, x.motorValue, x.file.value};
        CliOutput::line(CliOutput::table(
            {QStringLiteral("Code"), QStringLiteral("Name"), QStringLiteral("Motor"), QStringLiteral("File")},
            rows));
    }
    // Like diff(1): 1 tells a script that something differs.
    return d.isEmpty() ? CliStatus::success() : CliStatus {CliStatus::MotorFailed, QString()};
}

CliStatus restore(const CliOptions& o, MotorLink& link, ParamSession& ps)
{
    ParamBackup doc;
    CliStatus st = readBackup(o.args[0], &doc);
    if (!st.ok())
        return st;
    st = loadAll(ps);
    if (!st.ok())
        return st;
    QStringList failed;
    QVector<ParamBackup::Entry> wanted;
    int staged = 0;
    for (const ParamBackup::Entry& p : doc.entries) {
        if (!p.writable)
            continue;
        const QString code = codeText(p.code);
        int g = 0, i = 0;
        if (!ps.find(code, &g, &i) || ps.row(g, i).name != p.name) {
            failed << QStringLiteral("%1 %2: the motor has no such parameter").arg(code, p.name);
            continue;
        }
        bool s = false;
        const CliStatus cs = ps.stage(g, i, p.value, &s);
        if (!cs.ok()) {
            failed << cs.message;
            continue;
        }
        wanted << p;
        staged += s ? 1 : 0;
    }
    int written = 0;
    if (staged > 0) {
        const int before = failed.size();
        st = ps.download(&failed);
        written = staged - (failed.size() - before);
        if (!st.ok())
            return st;
        // Read everything back: only what the motor reports counts as restored.
        st = ps.uploadAll();
        if (!st.ok())
            return st;
        for (const ParamBackup::Entry& p : wanted) {
            int g = 0, i = 0;
            const QString code = codeText(p.code);
            ps.find(code, &g, &i);
            const QString now = ps.row(g, i).value;
            const QString want = p.value;
            // An entry the motor refused is reported once, with the motor's reason.
            const bool refused = std::any_of(
                failed.cbegin(), failed.cend(), [&code](const QString& f) { return f.contains(code); });
            if (now != want && !refused)
                failed << QStringLiteral("%1 %2: motor has %3, file has %4").arg(code, p.name, now, want);
        }
        failed.removeDuplicates();
    }
    if (o.json) {
        CliOutput::json(QJsonObject {{"written", written}, {"failed", QJsonArray::fromStringList(failed)},
            {"mcu_id", mcuText(link)}, {"file_mcu_id", doc.mcuId}});
    } else {
        if (doc.mcuId != mcuText(link))
            CliOutput::line(QStringLiteral("Note: %1 was taken from MCU ID %2, restoring to MCU ID %3")
                                .arg(o.args[0], doc.mcuId, mcuText(link)));
        if (staged == 0 && failed.isEmpty())
            CliOutput::line(QStringLiteral("Nothing to restore: the motor already holds the values of %1")
                                .arg(o.args[0]));
        else
            CliOutput::line(QStringLiteral("Wrote and saved %1 parameters").arg(written));
        for (const QString& f : failed)
            CliOutput::line(QStringLiteral("Did not take: %1").arg(f));
    }
    if (!failed.isEmpty())
        return CliStatus::fail(CliStatus::MotorFailed,
            QStringLiteral("%1 parameter(s) of %2 did not take").arg(failed.size()).arg(o.args[0]));
    return CliStatus::success();
}

CliStatus getOrSet(const CliOptions& o, ParamSession& ps, bool set)
{
    CliStatus st = ps.loadDescriptors();
    if (!st.ok())
        return st;
    int g = 0, i = 0;
    st = findParam(ps, o.args[0], &g, &i);
    if (!st.ok())
        return st;
    st = ps.read(g, i);
    if (!st.ok())
        return st;
    bool changed = false;
    if (set) {
        st = ps.write(g, i, o.args[1], &changed);
        if (!st.ok())
            return st;
        if (o.save) {
            st = ps.save();
            if (!st.ok())
                return st;
        }
    }
    const ParamRow r = ps.row(g, i);
    if (o.json) {
        QJsonObject j = rowJson(r);
        if (set) {
            j.insert(QStringLiteral("changed"), changed);
            j.insert(QStringLiteral("saved"), o.save);
        }
        CliOutput::json(j);
    } else if (!set) {
        CliOutput::line(r.value);
    } else {
        CliOutput::line(QStringLiteral("%1 %2 = %3%4%5")
                            .arg(codeText(r.code), r.name, r.value)
                            .arg(changed ? QString() : QStringLiteral(" (unchanged)"))
                            .arg(o.save ? QStringLiteral(", saved") : QString()));
    }
    return CliStatus::success();
}
} // namespace

bool ParamCommands::handles(const QString& c)
{
    static const QStringList names {QStringLiteral("params"), QStringLiteral("get"), QStringLiteral("set"),
        QStringLiteral("save"), QStringLiteral("factory-reset"), QStringLiteral("backup"),
        QStringLiteral("restore"), QStringLiteral("diff")};
    return names.contains(c);
}

CliStatus ParamCommands::run(const CliOptions& o, MotorLink& link)
{
    ParamSession ps(link);
    const QString& c = o.command;
    if (c == QLatin1String("params") || c == QLatin1String("backup")) {
        const CliStatus st = loadAll(ps);
        if (!st.ok())
            return st;
        return c == QLatin1String("params") ? printTable(o, ps) : backup(o, link, ps);
    }
    if (c == QLatin1String("get") || c == QLatin1String("set"))
        return getOrSet(o, ps, c == QLatin1String("set"));
    if (c == QLatin1String("restore"))
        return restore(o, link, ps);
    if (c == QLatin1String("diff"))
        return diff(o, ps);
    const bool save = c == QLatin1String("save");
    const CliStatus st = save ? ps.save() : ps.factoryReset();
    if (!st.ok())
        return st;
    const QString text = save
        ? QStringLiteral("Param saved successfully!")
        : QStringLiteral("Factory parameters restored on motor %1").arg(link.currentCanId());
    if (o.json)
        CliOutput::json(QJsonObject {{"can_id", link.currentCanId()}, {"result", text}});
    else
        CliOutput::line(text);
    return CliStatus::success();
}
