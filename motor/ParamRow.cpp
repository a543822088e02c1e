#include "ParamRow.h"

#include "CanProtocol.h"
#include "ParamTable.h"

#include <QSet>

#include <cmath>
#include <cstring>

const char* const ParamRow::NotAscii = "Please input ASCII charaters";
const char* const ParamRow::OutOfRange = "Value out of range";

namespace {
QString modifiedNote(int index)
{
    return QStringLiteral("Addr[0x%1] modified").arg(index, 4, 16, QLatin1Char('0'));
}

bool isUnsigned(int t)
{
    return t == 0 || t == 2 || t == 4 || t == 7;
}

bool isSigned(int t)
{
    return t == 1 || t == 3 || t == 5 || t == 8;
}

// A limit as the table prints it, read back: what the user sees is what the check uses.
double shownLimit(int type, float limit, int decimals)
{
    if (type == 6 || type == 9)
        return QString::number(double(limit), 'f', decimals).toDouble();
    return double(limit);
}
} // namespace

QStringList ParamRow::cells() const
{
    return {codeText(code), name, type, property, max, min, value};
}

QString ParamRow::codeText(quint16 code)
{
    return QStringLiteral("0X%1").arg(code, 4, 16, QLatin1Char('0'));
}

ParamRow ParamRow::of(const ParamTable& t, int g, int i)
{
    const ParamEntry& e = t.entry(g, i);
    const quint16 base = t.channelBase();
    ParamRow r;
    r.group = g;
    r.index = i;
    r.code = ParamTable::code(g, i);
    r.name = e.name;
    r.type = g < 2 ? QStringLiteral("String") : CanProtocol::typeName(e.type);
    r.property = propertyText(g, i, base, e.flags);
    if (g == 2) {
        r.max = ParamTable::limitToText(e.type, e.max, e.decimals);
        r.min = ParamTable::limitToText(e.type, e.min, e.decimals);
    }
    r.value = g < 2 ? e.valueText : ParamTable::valueToText(e.type, e.current);
    r.writable = editable(g, i, base, e.flags);
    return r;
}

QVector<ParamRow> ParamRow::all(const ParamTable& t)
{
    QVector<ParamRow> rows;
    rows.reserve(t.count(0) + t.count(1) + t.count(2) + t.count(3));
    for (int g = 0; g < ParamTable::GroupCount; ++g)
        for (int i = 0; i < t.count(g); ++i)
            rows << of(t, g, i);
    return rows;
}

QString ParamRow::safeKey(const QString& name, quint16 code)
{
    QString key = name.trimmed();
    key.replace(QLatin1Char('.'), QLatin1Char('_'));
    if (key.isEmpty())
        return codeText(code);
    // "#" starts a list element and "_" a hidden node.
    if (key.at(0) == QLatin1Char('#') || key.at(0) == QLatin1Char('_'))
        key.prepend(QLatin1Char('p'));
    return key;
}

QStringList ParamRow::channelKeys(const ParamTable& t)
{
    QStringList keys;
    QSet<QString> used;
    auto add = [&](int g, int i) {
        const QString base = safeKey(t.entry(g, i).name, ParamTable::code(g, i));
        QString key = base;
        // A repeated name would merge two channels into one node.
        for (int n = 2; used.contains(key); ++n)
            key = QStringLiteral("%1_%2").arg(base).arg(n);
        used.insert(key);
        keys << key;
    };
    for (int i = t.channelBase() + 1; i < t.count(2); ++i)
        add(2, i);
    for (int i = 0; i < t.count(3); ++i)
        add(3, i);
    return keys;
}

bool ParamRow::editable(int group, int index, quint16 channelBase, quint8 flags)
{
    return group == 0 || (group == 2 && index >= int(channelBase) && flags != 0);
}

QString ParamRow::propertyText(int group, int index, quint16 channelBase, quint8 flags)
{
    switch (group) {
    case 0:
        return QStringLiteral("R/W");
    case 2:
        if (index < int(channelBase))
            return QStringLiteral("Config");
        return flags ? QStringLiteral("R/W") : QStringLiteral("Setting");
    default:
        return QStringLiteral("RO");
    }
}

ParamRow::Check ParamRow::checkString(int index, const QString& text, const QString& stored)
{
    Check r;
    const QByteArray utf8 = text.toUtf8();
    for (char c : utf8) {
        if (quint8(c) >= 0x80) {
            r.note = QString::fromLatin1(NotAscii);
            return r;
        }
    }
    if (text == stored) {
        r.verdict = Unchanged;
        r.text = stored;
        return r;
    }
    r.verdict = Modified;
    r.note = modifiedNote(index);
    const int n = qMin(utf8.size(), 16);
    std::memcpy(r.bytes, utf8.constData(), size_t(n));
    r.bytes[n] = 0;
    // What the motor will hold: only the first 16 bytes travel.
    r.text = QString::fromLatin1(utf8.left(16));
    return r;
}

ParamRow::Check ParamRow::checkNumber(
    int index, const QString& text, int type, float min, float max, int decimals, const QString& stored)
{
    Check r;
    bool ok = false;
    double v = 0;
    if (isUnsigned(type))
        v = double(text.toULongLong(&ok, 10));
    else if (isSigned(type))
        v = double(text.toLongLong(&ok, 10));
    else if (type == 6 || type == 9)
        v = text.toDouble(&ok);
    // NaN would slip through both limit comparisons; infinity is no value either.
    if (!ok || !std::isfinite(v)) {
        r.note = QString::fromLatin1(NotAscii);
        return r;
    }
    if (v > shownLimit(type, max, decimals) || v < shownLimit(type, min, decimals)) {
        r.note = QString::fromLatin1(OutOfRange);
        return r;
    }
    r.text = ParamTable::doubleToValue(type, v, r.bytes);
    if (r.text == stored) {
        r.verdict = Unchanged;
        return r;
    }
    r.verdict = Modified;
    r.note = modifiedNote(index);
    return r;
}
