#pragma once

#include <QtGlobal>

#include <cstring>

// One CAN frame as the tool holds it: 29-bit identifier, length, eight data bytes.
#pragma pack(push, 1)
struct CanPack
{
    quint32 id = 0;
    quint8 len = 8;
    quint8 data[8] = {0, 0, 0, 0, 0, 0, 0, 0};

    CanPack() = default;
    explicit CanPack(quint32 identifier, quint8 length = 8)
        : id(identifier & 0x1FFFFFFFu)
        , len(length)
    { }

    quint8 type() const { return quint8((id >> 24) & 0x1F); }
    quint8 ext() const { return quint8((id >> 16) & 0xFF); }
    quint8 src() const { return quint8((id >> 8) & 0xFF); }
    quint8 dst() const { return quint8(id & 0xFF); }
    // Bits 23-8 as one field (torque code, frame index, sensor value, ...).
    quint16 area2() const { return quint16((id >> 8) & 0xFFFF); }

    quint16 u16le(int at) const { return quint16(data[at] | (data[at + 1] << 8)); }
    quint16 u16be(int at) const { return quint16((data[at] << 8) | data[at + 1]); }
    quint32 u32le(int at) const
    {
        return quint32(data[at]) | (quint32(data[at + 1]) << 8) | (quint32(data[at + 2]) << 16)
            | (quint32(data[at + 3]) << 24);
    }
    quint64 u64le() const { return quint64(u32le(0)) | (quint64(u32le(4)) << 32); }
    float f32le(int at) const
    {
        const quint32 raw = u32le(at);
        float f;
        std::memcpy(&f, &raw, 4);
        return f;
    }

    void setU16le(int at, quint16 v)
    {
        data[at] = quint8(v);
        data[at + 1] = quint8(v >> 8);
    }
    void setU16be(int at, quint16 v)
    {
        data[at] = quint8(v >> 8);
        data[at + 1] = quint8(v);
    }
    void setU32le(int at, quint32 v)
    {
        for (int k = 0; k < 4; ++k)
            data[at + k] = quint8(v >> (8 * k));
    }
    void setU64le(quint64 v)
    {
        setU32le(0, quint32(v));
        setU32le(4, quint32(v >> 32));
    }
    void setF32le(int at, float f)
    {
        quint32 raw;
        std::memcpy(&raw, &f, 4);
        setU32le(at, raw);
    }
};
#pragma pack(pop)

static_assert(sizeof(CanPack) == 13, "CanPack is a packed 13-byte record");
