#include "SimParamTable.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace sim {

namespace {
enum : quint8
{
    U8 = 0,
    I8,
    U16,
    I16,
    U32,
    I32,
    F32,
    U64,
    I64,
    F64,
    TEXT
};
constexpr quint8 P = SimParamTable::Persistent;
constexpr quint8 L = SimParamTable::LockedWhileRunning;
constexpr quint8 R = SimParamTable::AfterRestart;

template <typename T>
QByteArray bytesOf(T v)
{
    QByteArray b(int(sizeof(T)), '\0');
    std::memcpy(b.data(), &v, sizeof(T));
    return b;
}

template <typename T>
T valueOf(const QByteArray& b)
{
    T v {};
    if (b.size() >= int(sizeof(T)))
        std::memcpy(&v, b.constData(), sizeof(T));
    return v;
}

template <typename T>
T clampTo(double v)
{
    const double lo = double(std::numeric_limits<T>::lowest());
    const double hi = double(std::numeric_limits<T>::max());
    if (!(v >= lo))
        return std::numeric_limits<T>::lowest();
    if (v >= hi)
        return std::numeric_limits<T>::max();
    return static_cast<T>(std::round(v)); // in range, so the conversion is defined
}
} // namespace

constexpr int SimParamTable::GroupSize[4];

SimParamTable::SimParamTable(quint8 canId, int extraTexts)
{
    addText(0, "Name", "R58 Motor");
    addText(0, "Location", "");
    addText(0, "Note", "");

    addText(1, "BootCodeVersion", "0.1.0.2");
    addText(1, "BootBuildDate", "Mar 14 2026");
    addText(1, "AppCodeVersion", "1.4.2.7");
    addText(1, "AppBuildDate", "Nov 02 2026");
    addText(1, "AppCodeName", "r58_ctrl");
    addText(1, "HardwareVer", "R58-HW-C");
    addText(1, "MotorModel", "R58-1010");
    for (int k = 0; k < extraTexts && count(1) < 0xFF; ++k)
        addText(1, QByteArray("Extra").append(QByteArray::number(k)).constData(), "x");

    // Configuration: at or below the channel base.
    addValue(2, "CAN_ID", U8, 1, 127, 0, P | R, canId);
    addValue(2, "CAN_MASTER", U8, 0, 255, 0, P, 0xFD);
    addValue(2, "CAN_TIMEOUT", U32, 0, 30000, 0, P, 0);
    addValue(2, "MechOffset", F32, -7000, 7000, -3, P, 0.0);
    addValue(2, "ElecOffset", F32, -7000, 7000, -3, P | L, 1.2345);
    addValue(2, "DirSign", I8, -1, 1, 0, P | L, 1);
    addValue(2, "TempOffset", I16, -100, 100, 0, P, 0);
    addValue(2, "PwmFreq", U16, 8000, 32000, 0, P | L | R, 20000);
    addValue(2, "Kt", F64, 1, 5000, -3, P | L, 0.87);
    addValue(2, "cur_kp", F32, 0, 10000, -3, P, 0.125);
    addValue(2, "cur_ki", F32, 0, 10000, -4, P, 0.0158);
    addValue(2, "spd_kp", F32, 0, 20000, -2, P, 2.0);
    addValue(2, "spd_ki", F32, 0, 10000, -3, P, 0.021);
    addValue(2, "loc_kp", F32, 0, 20000, -2, P, 30.0);
    addValue(2, "motorOverTemp", F32, 200, 1500, -1, P, 100.0);
    addValue(2, "overTempTime", U32, 0, 20000, 0, P, 2000);
    addValue(2, "zero_sta", U8, 0, 1, 0, P, 0);
    addValue(2, "TotalRevs", I64, -32000, 32000, 3, P, 0);
    addValue(2, "RunTimeLimit", U64, 0, 30000, 3, P, 0);
    channelBase_ = quint16(count(2) - 1);
    // Live set-points, above the channel base.
    addValue(2, "run_mode", U8, 0, 8, 0, 0, 0);
    addValue(2, "iq_ref", F32, -2300, 2300, -2, 0, 0.0);
    addValue(2, "id_ref", F32, -2300, 2300, -2, 0, 0.0);
    addValue(2, "spd_ref", F32, -3000, 3000, -2, 0, 0.0);
    addValue(2, "loc_ref", F32, -1250, 1250, -2, 0, 0.0);
    addValue(2, "limit_spd", F32, 0, 3000, -2, P, 10.0);
    addValue(2, "limit_cur", F32, 0, 2300, -2, P, 23.0);
    addValue(2, "limit_torque", F32, 0, 1200, -2, P, 12.0);
    addValue(2, "sin_enable", U8, 0, 1, 0, 0, 0);
    addValue(2, "sin_freq", F32, 0, 10000, -1, 0, 1.0);
    addValue(2, "sin_amp", F32, 0, 9999, -2, 0, 1.0);
    addValue(2, "jog_speed", F32, -3000, 3000, -2, 0, 0.0);

    // Read-only live values.
    addValue(3, "mechPos", F32, -1250, 1250, -2, 0, 0.0);
    addValue(3, "mechVel", F32, -3000, 3000, -2, 0, 0.0);
    addValue(3, "iqf", F32, -2300, 2300, -2, 0, 0.0);
    addValue(3, "idf", F32, -2300, 2300, -2, 0, 0.0);
    addValue(3, "torque", F32, -1200, 1200, -2, 0, 0.0);
    addValue(3, "VBUS", F32, 0, 600, -1, 0, 24.0);
    addValue(3, "motorTemp", F32, -400, 2000, -1, 0, 25.0);
    addValue(3, "boardTemp", F32, -400, 2000, -1, 0, 27.0);
    addValue(3, "elecAngle", F32, 0, 6283, -3, 0, 0.0);
    addValue(3, "faultSta", U32, 0, 0, 0, 0, 0);
    addValue(3, "warnSta", U32, 0, 0, 0, 0, 0);
    addValue(3, "modeSta", U8, 0, 3, 0, 0, 0);
    addValue(3, "rotation", I16, -32768, 32767, 0, 0, 0);
    addValue(3, "encoderRaw", U16, 0, 16383, 0, 0, 0);
    addValue(3, "iqRaw", I32, -23000, 23000, 0, 0, 0);
    addValue(3, "loadRatio", I8, -100, 100, 0, 0, 0);
    addValue(3, "runTime", U64, 0, 0, 0, 0, 0);
    addValue(3, "mechPosTotal", F64, -32000, 32000, 0, 0, 0.0);
}

void SimParamTable::addText(int g, const char* name, const char* text)
{
    ParamEntry e;
    e.code = quint16((g << 12) | int(groups_[g].size()));
    e.name = name;
    e.type = TEXT;
    e.value = QByteArray(text).leftJustified(16, '\0', true);
    e.saved = e.factory = e.value;
    byName_.insert(e.name, e.code);
    groups_[g].push_back(e);
}

void SimParamTable::addValue(
    int g, const char* name, quint8 type, qint16 lo, qint16 hi, qint8 exp, quint8 flags, double value)
{
    ParamEntry e;
    e.code = quint16((g << 12) | int(groups_[g].size()));
    e.name = name;
    e.type = type;
    e.lo = lo;
    e.hi = hi;
    e.exp = exp;
    e.flags = flags;
    e.value = encode(type, value);
    e.saved = e.factory = e.value;
    byName_.insert(e.name, e.code);
    groups_[g].push_back(e);
}

int SimParamTable::typeSize(quint8 type)
{
    static const int sizes[] = {1, 1, 2, 2, 4, 4, 4, 8, 8, 8, 16};
    return type <= TEXT ? sizes[type] : 0;
}

QByteArray SimParamTable::encode(quint8 type, double v)
{
    switch (type) {
    case U8:
        return bytesOf(clampTo<quint8>(v));
    case I8:
        return bytesOf(clampTo<qint8>(v));
    case U16:
        return bytesOf(clampTo<quint16>(v));
    case I16:
        return bytesOf(clampTo<qint16>(v));
    case U32:
        return bytesOf(clampTo<quint32>(v));
    case I32:
        return bytesOf(clampTo<qint32>(v));
    case F32:
        return bytesOf(float(v));
    case U64:
        return bytesOf(clampTo<quint64>(v));
    case I64:
        return bytesOf(clampTo<qint64>(v));
    case F64:
        return bytesOf(v);
    default:
        return QByteArray(16, '\0');
    }
}

double SimParamTable::decode(quint8 type, const QByteArray& b)
{
    switch (type) {
    case U8:
        return valueOf<quint8>(b);
    case I8:
        return valueOf<qint8>(b);
    case U16:
        return valueOf<quint16>(b);
    case I16:
        return valueOf<qint16>(b);
    case U32:
        return valueOf<quint32>(b);
    case I32:
        return valueOf<qint32>(b);
    case F32:
        return double(valueOf<float>(b));
    case U64:
        return double(valueOf<quint64>(b));
    case I64:
        return double(valueOf<qint64>(b));
    case F64:
        return valueOf<double>(b);
    default:
        return 0.0;
    }
}

ParamEntry* SimParamTable::find(quint16 code)
{
    const int g = code >> 12;
    const int i = code & 0xFFF;
    if (g > 3 || i >= int(groups_[g].size()))
        return nullptr;
    return &groups_[g][i];
}

const ParamEntry* SimParamTable::find(quint16 code) const
{
    return const_cast<SimParamTable*>(this)->find(code);
}

int SimParamTable::codeOf(const QByteArray& name) const
{
    return byName_.contains(name) ? int(byName_.value(name)) : -1;
}

double SimParamTable::number(const QByteArray& name) const
{
    const ParamEntry* e = find(quint16(codeOf(name)));
    return e && e->type != TEXT ? decode(e->type, e->value) : 0.0;
}

void SimParamTable::setNumber(const QByteArray& name, double v)
{
    const int code = codeOf(name);
    ParamEntry* e = code < 0 ? nullptr : find(quint16(code));
    if (e && e->type != TEXT)
        e->value = encode(e->type, v);
}

QVariant SimParamTable::variant(quint16 code) const
{
    const ParamEntry* e = find(code);
    if (!e)
        return {};
    switch (e->type) {
    case TEXT: {
        const int end = e->value.indexOf('\0');
        return QString::fromUtf8(end < 0 ? e->value : e->value.left(end));
    }
    case U8:
    case U16:
    case U32:
        return qulonglong(decode(e->type, e->value));
    case U64:
        return qulonglong(valueOf<quint64>(e->value));
    case I8:
    case I16:
    case I32:
        return qlonglong(decode(e->type, e->value));
    case I64:
        return qlonglong(valueOf<qint64>(e->value));
    default:
        return decode(e->type, e->value);
    }
}

double SimParamTable::lowLimit(const ParamEntry& e) const
{
    return qMin(e.lo, e.hi) * std::pow(10.0, e.exp);
}

double SimParamTable::highLimit(const ParamEntry& e) const
{
    return qMax(e.lo, e.hi) * std::pow(10.0, e.exp);
}

void SimParamTable::save()
{
    for (int g : {0, 2})
        for (ParamEntry& e : groups_[g])
            if (g == 0 || (e.flags & Persistent))
                e.saved = e.value;
}

void SimParamTable::factoryReset()
{
    for (int g : {0, 2})
        for (ParamEntry& e : groups_[g])
            e.saved = e.value = e.factory;
}

} // namespace sim
