#pragma once

#include "CanPack.h"

#include <QByteArray>
#include <QString>

// Communication types carried in identifier bits 28-24.
enum canComMode : quint8
{
    CANCOM_ANNOUNCE_DEVID = 0,
    CANCOM_MOTOR_CTRL = 1,
    CANCOM_MOTOR_FEEDBACK = 2,
    CANCOM_MOTOR_IN = 3,
    CANCOM_MOTOR_RESET = 4,
    CANCOM_MOTOR_CALI = 5,
    CANCOM_MOTOR_ZERO = 6,
    CANCOM_MOTOR_ID = 7,
    CANCOM_PARA_WRITE = 8,
    CANCOM_PARA_READ = 9,
    CANCOM_PARA_UPDATE = 10,
    CANCOM_OTA_START = 11,
    CANCOM_OTA_INFO = 12,
    CANCOM_OTA_ING = 13,
    CANCOM_OTA_END = 14,
    CANCOM_CALI_ING = 15,
    CANCOM_CALI_RST = 16,
    CANCOM_SDO_READ = 17,
    CANCOM_SDO_WRITE = 18,
    CANCOM_PARA_STR_INFO = 19,
    CANCOM_MOTOR_BRAKE = 20,
    CANCOM_FAULT_WARN = 21,
    CANCOM_MODE_TOTAL = 22,
};

// Decoded type-2 frame.
struct MotorFeedback
{
    quint8 canId = 0;
    quint16 posCode = 0, velCode = 0, torqueCode = 0, temperature = 0;
    float position = 0, velocity = 0, torque = 0;
    quint8 faults = 0; // six flags, bit k = flag k
    quint8 modeState = 0; // 0 reset, 1 calibration, 2 motor, 3 brake
};

// Frame layouts, scalings, the value-type table and the error texts of the motor protocol.
class CanProtocol
{
public:
    static constexpr quint8 HostId = 0xFD;
    static constexpr quint16 SdoRunMode = 0x7005;
    static constexpr quint16 SdoConfirm = 0x7012;

    static constexpr float PosMin = -12.5f, PosMax = 12.5f;
    static constexpr float VelMin = -30.0f, VelMax = 30.0f;
    static constexpr float KpMin = 0.0f, KpMax = 500.0f;
    static constexpr float KdMin = 0.0f, KdMax = 5.0f;
    static constexpr float TorqueMin = -12.0f, TorqueMax = 12.0f;

    static QString comModeName(int type); // padded to a common width
    static QString typeName(int typeCode); // "uint8" ... "double", else "none"
    static int typeSize(int typeCode); // 0 for unknown codes
    static QString runModeName(int mode); // empty for unnamed modes

    // x clamped to [min, max], then trunc((x - min) * (2^bits - 1) / (max - min)) in single precision.
    static quint32 floatToUint(float x, float min, float max, int bits = 16);
    static float uintToFloat(quint16 code, float min, float max);

    static quint32 makeId(quint8 type, quint8 ext, quint8 src, quint8 dst)
    {
        return (quint32(type & 0x1F) << 24) | (quint32(ext) << 16) | (quint32(src) << 8) | dst;
    }
    static quint32 makeId16(quint8 type, quint16 area2, quint8 dst)
    {
        return (quint32(type & 0x1F) << 24) | (quint32(area2) << 8) | dst;
    }

    // Host to motor.
    static CanPack discovery(quint8 canId);
    static CanPack mitControl(quint8 dst, float pos, float vel, float kp, float kd, float torque);
    static CanPack modeChange(quint8 type, quint8 dst); // types 3, 4, 20, 5
    static CanPack clearAlarm(quint8 dst);
    static CanPack mechanicalZero(quint8 dst, quint32 first, quint32 second);
    static CanPack setCanId(quint8 dst, quint8 newId, quint64 mcuId);
    static CanPack paramWrite(
        quint8 dst, quint8 sub, quint16 code, quint8 type, quint8 seq, const quint8* bytes, int n);
    static CanPack paramRead(quint8 dst, quint16 code);
    static CanPack paramDescribe(quint8 dst, quint64 mcuId);
    static CanPack scopeConfigure(quint8 dst, quint16 frequency);
    static CanPack scopeChannels(quint8 dst, int firstIndex, int count, const quint16 codes[4]);
    static CanPack scopeCommand(quint8 dst, quint8 sub); // 2 start, 3 stop
    static CanPack otaStart(quint8 dst, quint64 mcuId);
    static CanPack otaInfo(quint8 dst, quint32 size, quint32 frames);
    static CanPack otaData(quint8 dst, quint16 index, const quint8 bytes[8]);
    static CanPack otaEnd(quint8 dst, quint32 frames);
    static CanPack sdoWrite(quint8 dst, quint16 index, quint32 value);
    static CanPack sdoWriteFloat(quint8 dst, quint16 index, float value);
    static CanPack runMode(quint8 dst, quint8 mode);
    static CanPack jog(quint8 dst, bool flag, float speed);

    // Motor to host.
    static MotorFeedback feedback(const CanPack& f);

    // Error set of a parameter write: bits 1-10, then 15, then 14.
    // The texts of the error bits; bits and motor error numbers without a text print as
    // "/error N" (numbers from 32 have no bit and come as motorError).
    static QString writeErrorText(quint32 errors, int motorError = 0);
    // Error set of a parameter read: bits 0, 1, 2, 4.
    static QString readErrorText(quint32 errors);
};
