#include "AdapterLink.h"

#include <QString>

namespace {
const qint32 kBauds[AdapterLink::BaudCount]
    = {921600, 9600, 115200, 1200, 2400, 4800, 19200, 38400, 57600, 230400, 460800, 1152000};
}

qint32 AdapterLink::baudRate(int index)
{
    return (index >= 0 && index < BaudCount) ? kBauds[index] : 0;
}

QByteArray AdapterLink::probeCommand()
{
    return QByteArrayLiteral("AT+AT\r\n");
}

QByteArray AdapterLink::enterConfigCommand()
{
    return QByteArrayLiteral("AT+CG\r\n");
}

QByteArray AdapterLink::configCommand(int index)
{
    switch (index) {
    case 0:
        return QByteArrayLiteral("AT+CAN_MODE=0\r\n");
    case 1:
        return QByteArrayLiteral("AT+CAN_FRAMEFORMAT=1,0,1,0\r\n");
    case 2:
        return QByteArrayLiteral("AT+CAN_FILTER0=1,0,0,0\r\n");
    case 3:
        return QByteArrayLiteral("AT+CAN_BAUD=1000000\r\n");
    case 4:
        return QByteArrayLiteral("AT+USART_PARAM=") + QByteArray::number(WorkingBaud)
            + QByteArrayLiteral(",0,0,0\r\n");
    default:
        return QByteArray();
    }
}

QByteArray AdapterLink::envelope(const CanPack& frame)
{
    int n = frame.len;
    quint8 zero[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    const quint8* data = frame.data;
    if (n == 0) {
        n = 1;
        data = zero;
    } else if (n > 8) {
        n = 8;
    }
    QByteArray out(9 + n, Qt::Uninitialized);
    char* p = out.data();
    const quint32 word = ((frame.id & 0x1FFFFFFFu) << 3) | 4u;
    p[0] = 'A';
    p[1] = 'T';
    p[2] = char(word >> 24);
    p[3] = char(word >> 16);
    p[4] = char(word >> 8);
    p[5] = char(word);
    p[6] = char(n);
    for (int k = 0; k < n; ++k)
        p[7 + k] = char(data[k]);
    p[7 + n] = '\r';
    p[8 + n] = '\n';
    return out;
}

bool AdapterLink::parseFrame(const QByteArray& piece, CanPack* out)
{
    if (piece.size() < 9 || piece[0] != 'A' || piece[1] != 'T')
        return false;
    const auto* p = reinterpret_cast<const quint8*>(piece.constData());
    const int n = p[6];
    if (piece.size() != n + 9 || n > 8)
        return false;
    const quint32 word = (quint32(p[2]) << 24) | (quint32(p[3]) << 16) | (quint32(p[4]) << 8) | p[5];
    out->id = word >> 3;
    out->len = quint8(n);
    std::memset(out->data, 0, 8);
    std::memcpy(out->data, p + 7, size_t(n));
    return true;
}

QString AdapterLink::hex(const QByteArray& bytes)
{
    static const char digits[] = "0123456789abcdef";
    QString out;
    out.reserve(bytes.size() * 3);
    for (int k = 0; k < bytes.size(); ++k) {
        if (k)
            out += QLatin1Char(' ');
        const quint8 b = quint8(bytes[k]);
        out += QLatin1Char(digits[b >> 4]);
        out += QLatin1Char(digits[b & 15]);
    }
    return out;
}
