#include "ParamCommands.h"

#include "CliOptions.h"
#include "CliOutput.h"
#include "MotorLink.h"
#include "ParamSession.h"

#include <DataObject.h>

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>

namespace {
const char* const BackupFormat = "servobench-parameters";

QString codeText(quint16 code)
{
    return QStringLiteral("0X%1").arg(code, 4, 16, QLatin1Char('0'));
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
        for (const ParamRow& r : rows)
            CliOutput::line(QStringList {codeText(r.code), CliOutput::csvField(r.name), r.type, r.property,
                r.max, r.min, CliOutput::csvField(r.value)}
                                .join(QLatin1Char(',')));
    } else {
        QVector<QStringList> cells;
        for (const ParamRow& r : rows)
            cells << QStringList {codeText(r.code), r.name, r.type, r.property, r.max, r.min, r.value};
        CliOutput::line(
            CliOutput::table({QStringLiteral("Code"), QStringLiteral("Name"), QStringLiteral("Type"),
                                 QStringLiteral("Property"), QStringLiteral("Maximum"),
                                 QStringLiteral("Minimum"), QStringLiteral("Value")},
                cells));
    }
    return CliStatus::success();
}

CliStatus readBackup(const QString& path, QJsonObject* doc)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return CliStatus::fail(
            CliStatus::Usage, QStringLiteral("cannot read %1: %2").arg(path, f.errorString()));
    QJsonParseError err;
    const QJsonDocument d = QJsonDocument::fromJson(f.readAll(), &err);
    if (err.error != QJsonParseError::NoError || !d.isObject()
        || d.object().value(QStringLiteral("format")).toString() != QLatin1String(BackupFormat)
        || !d.object().value(QStringLiteral("params")).isArray())
        return CliStatus::fail(
            CliStatus::Usage, QStringLiteral("%1 is not a parameter backup of servobench-cli").arg(path));
    *doc = d.object();
    return CliStatus::success();
}

CliStatus backup(const CliOptions& o, MotorLink& link, ParamSession& ps)
{
    const QString path = o.args[0];
    QJsonArray params;
    for (const ParamRow& r : ps.rows())
        params.append(rowJson(r));
    const QJsonObject doc {{"format", BackupFormat}, {"version", 1}, {"mcu_id", mcuText(link)},
        {"can_id", link.currentCanId()}, {"channel_base", int(ps.channelBase())},
        {"created", QDateTime::currentDateTimeUtc().toString(Qt::ISODate)}, {"params", params}};
    // Written whole or not at all: an interrupted backup never replaces a good one.
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(QJsonDocument(doc).toJson(QJsonDocument::Indented)) < 0
        || !f.commit())
        return CliStatus::fail(
            CliStatus::Usage, QStringLiteral("cannot write %1: %2").arg(path, f.errorString()));
    if (o.json)
        CliOutput::json(QJsonObject {{"file", path}, {"mcu_id", mcuText(link)},
            {"can_id", link.currentCanId()}, {"params", params.size()}});
    else
        CliOutput::line(QStringLiteral("Saved %1 parameters of motor %2 (MCU ID %3) to %4")
                            .arg(params.size())
                            .arg(link.currentCanId())
                            .arg(mcuText(link), path));
    return CliStatus::success();
}

struct Difference
{
    QString code, name, motor, file;
};

// Entries of the file that differ from the motor (groups 0 to 2; the read-only live values of
// group 3 change by themselves and are left out).
QVector<Difference> differences(const QJsonObject& doc, const ParamSession& ps)
{
    QVector<Difference> out;
    for (const QJsonValue& v : doc.value(QStringLiteral("params")).toArray()) {
        const QJsonObject p = v.toObject();
        const int group = p.value(QStringLiteral("group")).toInt(-1);
        if (group < 0 || group > 2)
            continue;
        const QString code = p.value(QStringLiteral("code")).toString();
        const QString name = p.value(QStringLiteral("name")).toString();
        const QString value = p.value(QStringLiteral("value")).toString();
        int g = 0, i = 0;
        if (!ps.find(code, &g, &i) || ps.row(g, i).name != name) {
            out.push_back({code, name, QStringLiteral("(none)"), value});
            continue;
        }
        const QString now = ps.row(g, i).value;
        if (now != value)
            out.push_back({code, name, now, value});
    }
    return out;
}

CliStatus diff(const CliOptions& o, ParamSession& ps)
{
    QJsonObject doc;
    CliStatus st = readBackup(o.args[0], &doc);
    if (!st.ok())
        return st;
    st = loadAll(ps);
    if (!st.ok())
        return st;
    const QVector<Difference> d = differences(doc, ps);
    if (o.json) {
        QJsonArray a;
        for (const Difference& x : d)
            a.append(QJsonObject {{"code", x.code}, {"name", x.name}, {"motor", x.motor}, {"file", x.file}});
        CliOutput::json(a);
    } else if (d.isEmpty()) {
        CliOutput::line(QStringLiteral("No differences."));
    } else {
        QVector<QStringList> rows;
        for (const Difference& x : d)
            rows << QStringList {x.code, x.name, x.motor, x.file};
        CliOutput::line(CliOutput::table(
            {QStringLiteral("Code"), QStringLiteral("Name"), QStringLiteral("Motor"), QStringLiteral("File")},
            rows));
    }
    // Like diff(1): 1 tells a script that something differs.
    return d.isEmpty() ? CliStatus::success() : CliStatus {CliStatus::MotorFailed, QString()};
}

CliStatus restore(const CliOptions& o, MotorLink& link, ParamSession& ps)
{
    QJsonObject doc;
    CliStatus st = readBackup(o.args[0], &doc);
    if (!st.ok())
        return st;
    st = loadAll(ps);
    if (!st.ok())
        return st;
    QStringList failed;
    QVector<QJsonObject> wanted;
    int staged = 0;
    for (const QJsonValue& v : doc.value(QStringLiteral("params")).toArray()) {
        const QJsonObject p = v.toObject();
        if (!p.value(QStringLiteral("writable")).toBool())
            continue;
        const QString code = p.value(QStringLiteral("code")).toString();
        const QString name = p.value(QStringLiteral("name")).toString();
        int g = 0, i = 0;
        if (!ps.find(code, &g, &i) || ps.row(g, i).name != name) {
            failed << QStringLiteral("%1 %2: the motor has no such parameter").arg(code, name);
            continue;
        }
        bool s = false;
        const CliStatus cs = ps.stage(g, i, p.value(QStringLiteral("value")).toString(), &s);
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
        for (const QJsonObject& p : wanted) {
            int g = 0, i = 0;
            ps.find(p.value(QStringLiteral("code")).toString(), &g, &i);
            const QString code = p.value(QStringLiteral("code")).toString();
            const QString now = ps.row(g, i).value;
            const QString want = p.value(QStringLiteral("value")).toString();
            // An entry the motor refused is reported once, with the motor's reason.
            const bool refused = std::any_of(
                failed.cbegin(), failed.cend(), [&code](const QString& f) { return f.contains(code); });
            if (now != want && !refused)
                failed << QStringLiteral("%1 %2: motor has %3, file has %4")
                              .arg(p.value(QStringLiteral("code")).toString(),
                                  p.value(QStringLiteral("name")).toString(), now, want);
        }
        failed.removeDuplicates();
    }
    if (o.json) {
        CliOutput::json(QJsonObject {{"written", written}, {"failed", QJsonArray::fromStringList(failed)},
            {"mcu_id", mcuText(link)}, {"file_mcu_id", doc.value(QStringLiteral("mcu_id"))}});
    } else {
        if (doc.value(QStringLiteral("mcu_id")).toString() != mcuText(link))
            CliOutput::line(
                QStringLiteral("Note: %1 was taken from MCU ID %2, restoring to MCU ID %3")
                    .arg(o.args[0], doc.value(QStringLiteral("mcu_id")).toString(), mcuText(link)));
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
