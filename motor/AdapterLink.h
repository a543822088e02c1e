#pragma once

#include "CanPack.h"

#include <QByteArray>

// The USB-CAN adapter's serial envelope, its AT command texts and its baud-rate table.
class AdapterLink
{
public:
    static constexpr int BaudCount = 12;
    static constexpr qint32 WorkingBaud = 921600;
    static qint32 baudRate(int index); // 0 outside the table
    static constexpr int ConfigCommandCount = 5;

    static QByteArray probeCommand(); // "AT+AT\r\n"
    static QByteArray enterConfigCommand(); // "AT+CG\r\n"
    static QByteArray configCommand(int index); // 0..4, empty otherwise

    // "AT", (id << 3) | 4 big-endian, length (0 sent as 1 with a zero byte, above 8 cut), data, CR LF.
    static QByteArray envelope(const CanPack& frame);
    // A received piece is a frame when it starts with "AT" and is exactly 9 + byte 6 long.
    static bool parseFrame(const QByteArray& piece, CanPack* out);
    static bool isOk(const QByteArray& piece) { return piece.contains("OK"); }
    // Two lower-case hexadecimal digits per byte, separated by blanks.
    static QString hex(const QByteArray& bytes);
};
