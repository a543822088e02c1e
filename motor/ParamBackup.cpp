#include "ParamBackup.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {
const char* const Format = "servobench-parameters";

// "0X2005", "0x2005" or "8197"; false for anything else.
bool parseCode(const QString& text, quint16* code)
{
    bool ok = false;
    const uint v = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2).toUInt(&ok, 16)
                                                                             : text.toUInt(&ok, 10);
    if (!ok || v > 0xFFFF)
        return false;
    *code = quint16(v);
    return true;
}
} // namespace

ParamBackup ParamBackup::fromRows(const QVector<ParamRow>& rows, quint64 mcuId, int canId, int channelBase)
{
    ParamBackup b;
    b.mcuId = QStringLiteral("0x") + QString::number(mcuId, 16);
    b.canId = canId;
    b.channelBase = channelBase;
    b.created = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    for (const ParamRow& r : rows)
        b.entries.push_back({r.code, r.group, r.name, r.value, r.writable, r.type, r.property, r.max, r.min});
    return b;
}

QByteArray ParamBackup::toJson() const
{
    QJsonArray params;
    for (const Entry& e : entries) {
        QJsonObject p {{"code", ParamRow::codeText(e.code)}, {"name", e.name}, {"group", e.group},
            {"type", e.type}, {"property", e.property}, {"value", e.value}, {"writable", e.writable}};
        if (e.group == 2) {
            p.insert(QStringLiteral("max"), e.max);
            p.insert(QStringLiteral("min"), e.min);
        }
        params.append(p);
    }
    const QJsonObject doc {{"format", Format}, {"version", 1}, {"mcu_id", mcuId}, {"can_id", canId},
        {"channel_base", channelBase}, {"created", created}, {"params", params}};
    return QJsonDocument(doc).toJson(QJsonDocument::Indented);
}

bool ParamBackup::write(const QString& path, QString* error) const
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(toJson()) < 0 || !f.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
        return false;
    }
    return true;
}

bool ParamBackup::read(const QString& path, ParamBackup* out, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
        return false;
    }
    // A table has at most 576 rows; anything far larger is not a backup.
    if (f.size() > MaxFileSize) {
        *error = QStringLiteral("%1 is not a parameter backup (too large)").arg(path);
        return false;
    }
    if (!parse(f.read(MaxFileSize), out, error)) {
        *error = QStringLiteral("%1 is not a parameter backup of servobench-cli: %2").arg(path, *error);
        return false;
    }
    return true;
}

bool ParamBackup::parse(const QByteArray& json, ParamBackup* out, QString* error)
{
    QJsonParseError err;
    const QJsonDocument d = QJsonDocument::fromJson(json, &err);
    if (err.error != QJsonParseError::NoError || !d.isObject()) {
        *error = QStringLiteral("not JSON");
        return false;
    }
    const QJsonObject o = d.object();
    if (o.value(QStringLiteral("format")).toString() != QLatin1String(Format)
        || !o.value(QStringLiteral("params")).isArray()) {
        *error = QStringLiteral("no parameter list");
        return false;
    }
    ParamBackup b;
    b.mcuId = o.value(QStringLiteral("mcu_id")).toString();
    b.canId = o.value(QStringLiteral("can_id")).toInt();
    b.channelBase = o.value(QStringLiteral("channel_base")).toInt();
    b.created = o.value(QStringLiteral("created")).toString();
    const QJsonArray params = o.value(QStringLiteral("params")).toArray();
    for (const QJsonValue& v : params) {
        const QJsonObject p = v.toObject();
        Entry e;
        e.group = p.value(QStringLiteral("group")).toInt(-1);
        e.name = p.value(QStringLiteral("name")).toString();
        e.value = p.value(QStringLiteral("value")).toString();
        e.writable = p.value(QStringLiteral("writable")).toBool();
        e.type = p.value(QStringLiteral("type")).toString();
        e.property = p.value(QStringLiteral("property")).toString();
        e.max = p.value(QStringLiteral("max")).toString();
        e.min = p.value(QStringLiteral("min")).toString();
        // The group must agree with the code: the code decides where a value goes.
        if (!parseCode(p.value(QStringLiteral("code")).toString(), &e.code) || e.group != (e.code >> 12)) {
            *error = QStringLiteral("entry %1 has no valid code").arg(b.entries.size() + 1);
            return false;
        }
        b.entries.push_back(e);
    }
    *out = b;
    return true;
}

QVector<ParamBackup::Difference> ParamBackup::differences(const QVector<ParamRow>& motorRows) const
{
    QHash<quint16, int> byCode;
    for (int k = 0; k < motorRows.size(); ++k)
        byCode.insert(motorRows[k].code, k);
    QVector<Difference> out;
    for (const Entry& e : entries) {
        if (e.group < 0 || e.group > 2)
            continue;
        const int k = byCode.value(e.code, -1);
        if (k < 0 || motorRows[k].name != e.name) {
            out.push_back({e, -1, QStringLiteral("(none)")});
            continue;
        }
        if (motorRows[k].value != e.value)
            out.push_back({e, k, motorRows[k].value});
    }
    return out;
}
