#include "ParamCell.h"

#include <ParamTable.h>

#include <cmath>
#include <cstring>

namespace {
const char* const NotAscii = "Please input ASCII charaters";
const char* const OutOfRange = "Value out of range";

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
} // namespace

bool ParamCell::editable(int group, int index, quint16 channelBase, quint8 flags)
{
    return group == 0 || (group == 2 && index >= int(channelBase) && flags != 0);
}

QString ParamCell::property(int group, int index, quint16 channelBase, quint8 flags)
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

ParamCell::Result ParamCell::checkString(int index, const QString& text, const QString& stored)
{
    Result r;
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

ParamCell::Result ParamCell::checkNumber(
    int index, const QString& text, int type, float min, float max, const QString& stored)
{
    Result r;
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
    if (v > double(max) || v < double(min)) {
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
