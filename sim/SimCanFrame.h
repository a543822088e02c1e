#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace sim {

// One CAN frame with a 29-bit identifier, as seen from the motor's side of the bus:
// type (bits 28-24), extra byte (23-16), source (15-8), destination (7-0).
struct SimCanFrame
{
    quint32 id = 0;
    quint8 len = 8;
    quint8 data[8] = {0, 0, 0, 0, 0, 0, 0, 0};

    static constexpr quint8 HostAddress = 0xFD;

    static SimCanFrame make(quint8 type, quint8 ext, quint8 src, quint8 dst);
    // A frame from a motor: type, 16-bit field of bits 23-8, destination the host.
    static SimCanFrame fromMotor(quint8 type, quint16 field);

    quint8 type() const { return (id >> 24) & 0x1F; }
    quint8 ext() const { return (id >> 16) & 0xFF; }
    quint8 src() const { return (id >> 8) & 0xFF; }
    quint8 dst() const { return id & 0xFF; }
    quint16 field() const { return (id >> 8) & 0xFFFF; }

    quint16 u16(int at) const { return quint16(data[at] | (data[at + 1] << 8)); }
    quint32 u32(int at) const;
    quint64 u64(int at) const;
    float f32(int at) const;
    void setU16(int at, quint16 v);
    void setU32(int at, quint32 v);
    void setU64(int at, quint64 v);
    void setF32(int at, float v);

    // The adapter's serial envelope: "AT", (id << 3 | 4) big-endian, length, data, CR LF.
    // A frame of length 0 travels with length 1 and one zero byte.
    QByteArray toEnvelope() const;
    // Parses one whole envelope (exactly 9 + n bytes). False when it is not one.
    static bool fromEnvelope(const QByteArray& bytes, SimCanFrame* out);

    QString describe() const; // for the trace
};

} // namespace sim
