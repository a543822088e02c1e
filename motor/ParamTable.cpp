#include "ParamTable.h"

#include "CanProtocol.h"
#include "ValueCodec.h"

#include <cmath>
#include <cstring>

using ValueCodec::load;
using ValueCodec::store;

int ParamTable::groupSize(int group)
{
    switch (group) {
    case 0:
    case 1:
        return 32;
    case 2:
    case 3:
        return 256;
    default:
        return 0;
    }
}

ParamTable::ParamTable()
{
    for (int g = 0; g < 4; ++g)
        groups_[g].resize(size_t(groupSize(g)));
}

void ParamTable::beginDescription()
{
    for (int g = 0; g < 4; ++g) {
        counts_[g] = 0;
        seen_[g] = 0;
        dropped_[g] = 0;
        for (ParamEntry& e : groups_[g])
            e.modified = false;
    }
    describedBy_ = 0;
    errors_ = 0;
    ++generation_;
    prevI_ = -1;
    prevG_ = -1;
    prevS_ = 0xFF;
}

quint32 ParamTable::describe(const CanPack& f, bool* ended)
{
    const int code = f.u16le(0);
    const int g = code >> 12;
    const int i = code & 0xFFF;
    const quint8 s = f.ext();
    *ended = false;

    if (s == 9) {
        channelBase_ = f.u16le(0);
        quint32 bits = 0;
        // Compared with what was described, so entries beyond the capacity are reported once
        // (bit 16) rather than also as a count mismatch.
        if (f.data[2] != seen_[0])
            bits |= 128;
        if (f.data[3] != seen_[1])
            bits |= 256;
        if (f.u16le(4) != seen_[2])
            bits |= 512;
        if (f.u16le(6) != seen_[3])
            bits |= 1024;
        prevS_ = s;
        *ended = true;
        errors_ |= bits;
        describedBy_ = errors_ ? 0 : f.src();
        return bits;
    }

    quint32 bits = 0;
    if (i != prevI_)
        bits = 4;
    else if (g != prevG_)
        bits = 2;
    else if (i >= groupSize(g))
        bits = 16;

    const bool inRange = g < 4 && i < groupSize(g);
    ParamEntry* e = inRange ? &groups_[g][i] : nullptr;
    switch (s) {
    case 0:
    case 6:
        bits = 0;
        std::memset(text_, 0, sizeof(text_));
        std::memcpy(text_, f.data + 2, 6);
        break;
    case 1:
    case 7:
        if (prevS_ != s - 1)
            bits |= 32;
        std::memcpy(text_ + 6, f.data + 2, 6);
        break;
    case 2:
    case 8: {
        if (prevS_ != s - 1)
            bits |= 32;
        std::memcpy(text_ + 12, f.data + 2, 4);
        text_[16] = 0;
        const QString text = QString::fromUtf8(reinterpret_cast<const char*>(text_));
        if (s == 2) {
            if (e)
                e->name = text;
        } else if (g == 0 || g == 1) {
            if (e)
                e->valueText = text;
        } else {
            bits |= 64;
        }
        break;
    }
    case 3:
        bits = 0;
        if (g == 2) {
            if (e) {
                const int exp = qint8(f.data[6]);
                float factor = 1.0f;
                for (int k = 0; k < exp; ++k)
                    factor *= 10.0f;
                for (int k = 0; k < -exp; ++k)
                    factor /= 10.0f;
                e->min = float(qint16(f.u16le(2))) * factor;
                e->max = float(qint16(f.u16le(4))) * factor;
                e->decimals = quint8(exp < 0 ? -exp : 0);
                e->type = f.data[7] & 0x1F;
                e->flags = quint8(f.data[7] >> 5);
            }
        } else if (g == 3) {
            if (e)
                e->type = f.data[7] & 0x1F;
        } else {
            bits |= 64;
        }
        break;
    case 4:
        bits = 0;
        if (e && (g == 2 || g == 3)) {
            e->type = f.data[3] & 0x1F;
            std::memcpy(e->current, f.data + 4, 4);
        }
        break;
    case 5:
        if (e && (g == 2 || g == 3))
            std::memcpy(e->current + 4, f.data + 4, 4);
        break;
    default:
        bits |= 1;
        break;
    }

    if (g < 4) {
        if (quint32(i) > seen_[g]) {
            bits |= 8;
        } else if (quint32(i) == seen_[g]) {
            ++seen_[g];
            // The arrays end at the capacity: everything else indexes them by the count.
            if (i < groupSize(g))
                ++counts_[g];
            else
                ++dropped_[g];
        }
        if (i >= groupSize(g))
            bits |= 16;
    } else {
        bits |= 16;
    }
    prevI_ = i;
    prevG_ = g;
    prevS_ = s;
    errors_ |= bits;
    return bits;
}

void ParamTable::mapChannel(quint16 c, quint16* code, quint8* type) const
{
    const quint32 n = quint16(channelBase_ + c);
    if (n < counts_[2]) {
        *code = quint16(0x2000 | n);
        *type = groups_[2][int(n)].type;
    } else if (n < quint32(counts_[2]) + counts_[3]) {
        const int k = int(n - counts_[2]);
        *code = quint16(0x3000 | k);
        *type = k < 256 ? groups_[3][k].type : 0;
    } else {
        *code = 0;
        *type = 0;
    }
}

QString ParamTable::valueToText(int type, const quint8* b)
{
    return ValueCodec::valueToText(type, b);
}

QString ParamTable::limitToText(int type, float value, int decimals)
{
    if (type < 0 || type > 9)
        return QStringLiteral("none");
    if (type == 6 || type == 9)
        return QString::number(double(value), 'f', decimals);
    return QString::number(double(value), 'f', 0);
}

QString ParamTable::doubleToValue(int type, double v, quint8* b)
{
    // Out-of-range doubles are undefined when converted to integers; callers check limits first,
    // this keeps a stray value from being undefined behaviour.
    auto clampTo = [v](double lo, double hi) { return std::isnan(v) ? 0.0 : std::min(std::max(v, lo), hi); };
    switch (type) {
    case 0:
        store<quint8>(b, quint8(clampTo(0, 255)));
        break;
    case 1:
        store<qint8>(b, qint8(clampTo(-128, 127)));
        break;
    case 2:
        store<quint16>(b, quint16(clampTo(0, 65535)));
        break;
    case 3:
        store<qint16>(b, qint16(clampTo(-32768, 32767)));
        break;
    case 4:
        store<quint32>(b, quint32(clampTo(0, 4294967295.0)));
        break;
    case 5:
        store<qint32>(b, qint32(clampTo(-2147483648.0, 2147483647.0)));
        break;
    case 6:
        store<float>(b, float(v));
        break;
    case 7:
        store<quint64>(b, quint64(clampTo(0, 18446744073709549568.0)));
        break;
    case 8:
        store<qint64>(b, qint64(clampTo(-9223372036854775808.0, 9223372036854774784.0)));
        break;
    case 9:
        store<double>(b, v);
        break;
    default:
        return QStringLiteral("none");
    }
    return valueToText(type, b);
}
