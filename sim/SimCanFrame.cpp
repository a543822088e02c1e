#include "SimCanFrame.h"

#include <cstring>

namespace sim {

SimCanFrame SimCanFrame::make(quint8 type, quint8 ext, quint8 src, quint8 dst)
{
    SimCanFrame f;
    f.id = (quint32(type & 0x1F) << 24) | (quint32(ext) << 16) | (quint32(src) << 8) | dst;
    return f;
}

SimCanFrame SimCanFrame::fromMotor(quint8 type, quint16 field)
{
    SimCanFrame f;
    f.id = (quint32(type & 0x1F) << 24) | (quint32(field) << 8) | HostAddress;
    return f;
}

quint32 SimCanFrame::u32(int at) const
{
    return quint32(data[at]) | (quint32(data[at + 1]) << 8) | (quint32(data[at + 2]) << 16)
        | (quint32(data[at + 3]) << 24);
}

quint64 SimCanFrame::u64(int at) const
{
    return quint64(u32(at)) | (quint64(u32(at + 4)) << 32);
}

float SimCanFrame::f32(int at) const
{
    const quint32 bits = u32(at);
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

void SimCanFrame::setU16(int at, quint16 v)
{
    data[at] = v & 0xFF;
    data[at + 1] = v >> 8;
}

void SimCanFrame::setU32(int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        data[at + i] = (v >> (8 * i)) & 0xFF;
}

void SimCanFrame::setU64(int at, quint64 v)
{
    setU32(at, quint32(v));
    setU32(at + 4, quint32(v >> 32));
}

void SimCanFrame::setF32(int at, float v)
{
    quint32 bits;
    std::memcpy(&bits, &v, 4);
    setU32(at, bits);
}

QByteArray SimCanFrame::toEnvelope() const
{
    const int n = len == 0 ? 1 : qMin<int>(len, 8);
    QByteArray out;
    out.reserve(9 + n);
    out.append("AT", 2);
    const quint32 wire = ((id & 0x1FFFFFFF) << 3) | 4;
    out.append(char(wire >> 24));
    out.append(char(wire >> 16));
    out.append(char(wire >> 8));
    out.append(char(wire));
    out.append(char(n));
    if (len == 0)
        out.append('\0');
    else
        out.append(reinterpret_cast<const char*>(data), n);
    out.append("\r\n", 2);
    return out;
}

bool SimCanFrame::fromEnvelope(const QByteArray& bytes, SimCanFrame* out)
{
    if (bytes.size() < 10 || bytes[0] != 'A' || bytes[1] != 'T')
        return false;
    const int n = quint8(bytes[6]);
    if (n < 1 || n > 8 || bytes.size() != 9 + n || bytes[7 + n] != '\r' || bytes[8 + n] != '\n')
        return false;
    const auto* b = reinterpret_cast<const quint8*>(bytes.constData());
    SimCanFrame f;
    f.id = ((quint32(b[2]) << 24) | (quint32(b[3]) << 16) | (quint32(b[4]) << 8) | b[5]) >> 3;
    f.len = quint8(n);
    std::memcpy(f.data, b + 7, n);
    *out = f;
    return true;
}

QString SimCanFrame::describe() const
{
    QString s = QStringLiteral("type %1 ext %2 src %3 dst %4 len %5 data")
                    .arg(type())
                    .arg(ext(), 2, 16, QLatin1Char('0'))
                    .arg(src(), 2, 16, QLatin1Char('0'))
                    .arg(dst(), 2, 16, QLatin1Char('0'))
                    .arg(len);
    for (int i = 0; i < len && i < 8; ++i)
        s += QStringLiteral(" %1").arg(data[i], 2, 16, QLatin1Char('0'));
    return s;
}

} // namespace sim
