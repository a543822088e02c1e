#include "CanProtocol.h"

#include "ValueCodec.h"

#include <cmath>

namespace {
const char* const kComNames[] = {
    "CANCOM_ANNOUNCE_DEVID",
    "CANCOM_MOTOR_CTRL",
    "CANCOM_MOTOR_FEEDBACK",
    "CANCOM_MOTOR_IN",
    "CANCOM_MOTOR_RESET",
    "CANCOM_MOTOR_CALI",
    "CANCOM_MOTOR_ZERO",
    "CANCOM_MOTOR_ID",
    "CANCOM_PARA_WRITE",
    "CANCOM_PARA_READ",
    "CANCOM_PARA_UPDATE",
    "CANCOM_OTA_START",
    "CANCOM_OTA_INFO",
    "CANCOM_OTA_ING",
    "CANCOM_OTA_END",
    "CANCOM_CALI_ING",
    "CANCOM_CALI_RST",
    "CANCOM_SDO_READ",
    "CANCOM_SDO_WRITE",
    "CANCOM_PARA_STR_INFO",
    "CANCOM_MOTOR_BRAKE",
    "CANCOM_FAULT_WARN",
    "CANCOM_MODE_TOTAL",
};

CanPack hostFrame(quint8 type, quint8 ext, quint8 dst)
{
    return CanPack(CanProtocol::makeId(type, ext, CanProtocol::HostId, dst));
}
} // namespace

QString CanProtocol::comModeName(int type)
{
    if (type < 0 || type > CANCOM_MODE_TOTAL)
        return QStringLiteral("<canComMode> unknown");
    return QString::fromLatin1(kComNames[type]).leftJustified(21);
}

QString CanProtocol::typeName(int typeCode)
{
    return ValueCodec::typeName(typeCode);
}

int CanProtocol::typeSize(int typeCode)
{
    return ValueCodec::typeSize(typeCode);
}

QString CanProtocol::runModeName(int mode)
{
    switch (mode) {
    case 0:
        return QStringLiteral("MIT control");
    case 1:
        return QStringLiteral("position mode");
    case 2:
        return QStringLiteral("velocity mode");
    case 3:
        return QStringLiteral("current mode");
    case 4:
        return QStringLiteral("zero mode");
    case 5:
        return QStringLiteral("interpolated position mode");
    case 6:
        return QStringLiteral("collision detection");
    case 8:
        return QStringLiteral("open loop mode");
    default:
        return QString();
    }
}

quint32 CanProtocol::floatToUint(float x, float min, float max, int bits)
{
    // Out-of-range input would wrap around in the 16-bit field and command the opposite extreme.
    if (std::isnan(x))
        x = (min <= 0.0f && max >= 0.0f) ? 0.0f : min;
    if (x < min)
        x = min;
    if (x > max)
        x = max;
    const float span = max - min;
    const float full = float((1u << bits) - 1u);
    const float code = (x - min) * full / span;
    return quint32(code) & ((1u << bits) - 1u);
}

float CanProtocol::uintToFloat(quint16 code, float min, float max)
{
    return float(code) * (max - min) / 65535.0f + min;
}

CanPack CanProtocol::discovery(quint8 canId)
{
    return CanPack(makeId(CANCOM_ANNOUNCE_DEVID, 0, HostId, canId), 0);
}

CanPack CanProtocol::mitControl(quint8 dst, float pos, float vel, float kp, float kd, float torque)
{
    const quint16 t = quint16(floatToUint(torque, TorqueMin, TorqueMax));
    CanPack f(makeId16(CANCOM_MOTOR_CTRL, t, dst));
    f.setU16be(0, quint16(floatToUint(pos, PosMin, PosMax)));
    f.setU16be(2, quint16(floatToUint(vel, VelMin, VelMax)));
    f.setU16be(4, quint16(floatToUint(kp, KpMin, KpMax)));
    f.setU16be(6, quint16(floatToUint(kd, KdMin, KdMax)));
    return f;
}

CanPack CanProtocol::modeChange(quint8 type, quint8 dst)
{
    return hostFrame(type, 0, dst);
}

CanPack CanProtocol::clearAlarm(quint8 dst)
{
    CanPack f = hostFrame(CANCOM_MOTOR_RESET, 0, dst);
    f.data[0] = 1;
    return f;
}

CanPack CanProtocol::mechanicalZero(quint8 dst, quint32 first, quint32 second)
{
    CanPack f = hostFrame(CANCOM_MOTOR_ZERO, 0, dst);
    f.data[0] = quint8(first);
    f.data[1] = 1;
    f.data[2] = quint8(second);
    return f;
}

CanPack CanProtocol::setCanId(quint8 dst, quint8 newId, quint64 mcuId)
{
    CanPack f = hostFrame(CANCOM_MOTOR_ID, newId, dst);
    f.setU64le(mcuId);
    return f;
}

CanPack CanProtocol::paramWrite(
    quint8 dst, quint8 sub, quint16 code, quint8 type, quint8 seq, const quint8* bytes, int n)
{
    CanPack f = hostFrame(CANCOM_PARA_WRITE, sub, dst);
    if (sub != 0)
        return f;
    f.setU16le(0, code);
    f.data[2] = type;
    f.data[3] = seq;
    for (int k = 0; k < n && k < 4; ++k)
        f.data[4 + k] = bytes[k];
    return f;
}

CanPack CanProtocol::paramRead(quint8 dst, quint16 code)
{
    CanPack f = hostFrame(CANCOM_PARA_READ, 0, dst);
    f.setU16le(0, code);
    return f;
}

CanPack CanProtocol::paramDescribe(quint8 dst, quint64 mcuId)
{
    CanPack f = hostFrame(CANCOM_PARA_STR_INFO, 0, dst);
    f.setU64le(mcuId);
    return f;
}

CanPack CanProtocol::scopeConfigure(quint8 dst, quint16 frequency)
{
    CanPack f = hostFrame(CANCOM_PARA_UPDATE, 0, dst);
    f.setU16le(0, frequency);
    f.setU16le(2, 17);
    f.setU32le(4, 921600);
    return f;
}

CanPack CanProtocol::scopeChannels(quint8 dst, int firstIndex, int count, const quint16 codes[4])
{
    const quint8 ext = quint8(1 | (((firstIndex / 4) % 4) << 2) | (((count - 1) & 0xF) << 4));
    CanPack f = hostFrame(CANCOM_PARA_UPDATE, ext, dst);
    for (int k = 0; k < 4; ++k)
        f.setU16le(2 * k, codes[k]);
    return f;
}

CanPack CanProtocol::scopeCommand(quint8 dst, quint8 sub)
{
    return hostFrame(CANCOM_PARA_UPDATE, sub & 3, dst);
}

CanPack CanProtocol::otaStart(quint8 dst, quint64 mcuId)
{
    CanPack f = hostFrame(CANCOM_OTA_START, 0, dst);
    f.setU64le(mcuId);
    return f;
}

CanPack CanProtocol::otaInfo(quint8 dst, quint32 size, quint32 frames)
{
    CanPack f = hostFrame(CANCOM_OTA_INFO, 0, dst);
    f.setU32le(0, size);
    f.setU32le(4, frames);
    return f;
}

CanPack CanProtocol::otaData(quint8 dst, quint16 index, const quint8 bytes[8])
{
    CanPack f(makeId16(CANCOM_OTA_ING, index, dst));
    std::memcpy(f.data, bytes, 8);
    return f;
}

CanPack CanProtocol::otaEnd(quint8 dst, quint32 frames)
{
    CanPack f(makeId16(CANCOM_OTA_END, 0, dst));
    f.setU32le(0, frames);
    return f;
}

CanPack CanProtocol::sdoWrite(quint8 dst, quint16 index, quint32 value)
{
    CanPack f = hostFrame(CANCOM_SDO_WRITE, 0, dst);
    f.setU16le(0, index);
    f.setU32le(4, value);
    return f;
}

CanPack CanProtocol::sdoWriteFloat(quint8 dst, quint16 index, float value)
{
    CanPack f = hostFrame(CANCOM_SDO_WRITE, 0, dst);
    f.setU16le(0, index);
    f.setF32le(4, value);
    return f;
}

CanPack CanProtocol::runMode(quint8 dst, quint8 mode)
{
    CanPack f = hostFrame(CANCOM_SDO_WRITE, 0, dst);
    f.setU16le(0, SdoRunMode);
    f.data[4] = mode;
    return f;
}

CanPack CanProtocol::jog(quint8 dst, bool flag, float speed)
{
    CanPack f = hostFrame(CANCOM_SDO_WRITE, 0, dst);
    f.setU16le(0, SdoRunMode);
    f.data[4] = 7;
    f.data[5] = flag ? 1 : 0;
    f.setU16be(6, quint16(floatToUint(speed, VelMin, VelMax)));
    return f;
}

MotorFeedback CanProtocol::feedback(const CanPack& f)
{
    MotorFeedback fb;
    fb.canId = f.src();
    fb.faults = quint8(f.ext() & 0x3F);
    fb.modeState = quint8((f.ext() >> 6) & 0x3);
    fb.posCode = f.u16be(0);
    fb.velCode = f.u16be(2);
    fb.torqueCode = f.u16be(4);
    fb.temperature = f.u16be(6);
    fb.position = float(fb.posCode) * 25.0f / 65535.0f - 12.5f;
    fb.velocity = float(fb.velCode) * 60.0f / 65535.0f - 30.0f;
    fb.torque = float(fb.torqueCode) * 24.0f / 65535.0f - 12.0f;
    return fb;
}

QString CanProtocol::writeErrorText(quint32 errors, int motorError)
{
    static const struct
    {
        int bit;
        const char* text;
    } table[] = {
        {1, "/no such code"},
        {2, "/unwritable"},
        {3, "/type error"},
        {4, "/loss frame"},
        {5, "/wrong frame"},
        {6, "/value out of range"},
        {7, "/forbid to modify"},
        {8, "/forbid to save"},
        {9, "/save failed"},
        {10, "/no such command"},
        {15, "/command mismatch"},
        {14, "/code mismatch"},
    };
    QString out;
    quint32 known = 0;
    for (const auto& e : table) {
        known |= 1u << e.bit;
        if (errors & (1u << e.bit))
            out += QLatin1String(e.text);
    }
    for (int bit = 0; bit < 32; ++bit)
        if ((errors & ~known) & (1u << bit))
            out += QStringLiteral("/error %1").arg(bit);
    if (motorError >= 32)
        out += QStringLiteral("/error %1").arg(motorError);
    return out;
}

QString CanProtocol::readErrorText(quint32 errors)
{
    QString out;
    if (errors & 0x01)
        out += QLatin1String("/no such code");
    if (errors & 0x02)
        out += QLatin1String("/wrong type");
    if (errors & 0x04)
        out += QLatin1String("/loss frame");
    if (errors & 0x10)
        out += QLatin1String("/number mismatch");
    return out;
}
