#include "SimAdapter.h"

#include <QList>

namespace sim {

namespace {
const QByteArray Ok = "OK\r\n";
const QByteArray Error = "ERROR\r\n";
constexpr int MaxLine = 128;

bool isCanRate(quint32 r)
{
    switch (r) {
    case 10000:
    case 20000:
    case 50000:
    case 100000:
    case 125000:
    case 250000:
    case 500000:
    case 800000:
    case 1000000:
        return true;
    default:
        return false;
    }
}

bool isSerialRate(quint32 r)
{
    static const quint32 rates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800,
        921600, 1000000, 1152000, 2000000};
    for (quint32 x : rates)
        if (x == r)
            return true;
    return false;
}
} // namespace

SimAdapter::SimAdapter(quint32 configuredBaud, bool silent, TraceFn trace)
    : baud_(configuredBaud)
    , silent_(silent)
    , trace_(std::move(trace))
{ }

void SimAdapter::receive(const QByteArray& bytes, quint32 lineBaud, Result* result)
{
    if (silent_)
        return;
    if (lineBaud != baud_) {
        // Framing at the wrong rate yields noise: nothing is understood and any partial
        // line is lost with it.
        trace_(QStringLiteral("adapter: %1 bytes at %2 baud not understood (adapter at %3)")
                   .arg(bytes.size())
                   .arg(lineBaud)
                   .arg(baud_));
        buffer_.clear();
        return;
    }
    buffer_.append(bytes);
    parse(result);
}

void SimAdapter::parse(Result* result)
{
    while (!buffer_.isEmpty()) {
        if (buffer_[0] != 'A') {
            const int next = buffer_.indexOf('A');
            trace_(QStringLiteral("adapter: skipped %1 stray bytes").arg(next < 0 ? buffer_.size() : next));
            if (next < 0) {
                buffer_.clear();
                return;
            }
            buffer_.remove(0, next);
            continue;
        }
        if (buffer_.size() < 3)
            return;
        if (buffer_[1] != 'T') {
            buffer_.remove(0, 1);
            continue;
        }
        if (buffer_[2] == '+') {
            const int end = buffer_.indexOf("\r\n");
            if (end < 0) {
                if (buffer_.size() > MaxLine) {
                    trace_(QStringLiteral("adapter: overlong command dropped"));
                    buffer_.clear();
                }
                return;
            }
            const QByteArray line = buffer_.left(end);
            buffer_.remove(0, end + 2);
            command(line, result);
            continue;
        }
        // A CAN frame: its length byte tells where it ends, so CR LF inside is harmless.
        if (buffer_.size() < 7)
            return;
        const int n = quint8(buffer_[6]);
        if (n < 1 || n > 8) {
            trace_(QStringLiteral("adapter: bad frame length %1").arg(n));
            buffer_.remove(0, 1);
            continue;
        }
        if (buffer_.size() < 9 + n)
            return;
        SimCanFrame f;
        if (!SimCanFrame::fromEnvelope(buffer_.left(9 + n), &f)) {
            trace_(QStringLiteral("adapter: frame without CR LF dropped"));
            buffer_.remove(0, 1);
            continue;
        }
        buffer_.remove(0, 9 + n);
        if (configMode_) {
            trace_(QStringLiteral("adapter: frame ignored in configuration mode"));
            continue;
        }
        result->frames.push_back(f);
    }
}

void SimAdapter::command(const QByteArray& line, Result* result)
{
    trace_(QStringLiteral("adapter: command %1").arg(QString::fromLatin1(line)));
    auto reply = [&](const QByteArray& text) { result->replies.push_back(text); };
    auto valueOf = [&](const char* prefix) { return line.mid(int(qstrlen(prefix))); };

    if (line == "AT+AT") {
        // The probe also returns the adapter to data mode.
        configMode_ = false;
        reply(Ok);
        return;
    }
    if (line == "AT+CG") {
        configMode_ = true;
        reply(Ok);
        return;
    }
    if (!configMode_) {
        reply(Error);
        return;
    }
    bool ok = false;
    if (line.startsWith("AT+CAN_MODE=")) {
        const int m = valueOf("AT+CAN_MODE=").toInt(&ok);
        if (ok && m >= 0 && m <= 3) {
            canMode_ = m;
            reply(Ok);
            return;
        }
    } else if (line.startsWith("AT+CAN_FRAMEFORMAT=")) {
        const QByteArray v = valueOf("AT+CAN_FRAMEFORMAT=");
        if (v.split(',').size() == 4) {
            frameFormat_ = v;
            reply(Ok);
            return;
        }
    } else if (line.startsWith("AT+CAN_FILTER0=")) {
        const QByteArray v = valueOf("AT+CAN_FILTER0=");
        if (v.split(',').size() == 4) {
            filter0_ = v;
            reply(Ok);
            return;
        }
    } else if (line.startsWith("AT+CAN_BAUD=")) {
        const quint32 r = valueOf("AT+CAN_BAUD=").toUInt(&ok);
        if (ok && isCanRate(r)) {
            canBaud_ = r;
            reply(Ok);
            return;
        }
    } else if (line.startsWith("AT+USART_PARAM=")) {
        const QList<QByteArray> parts = valueOf("AT+USART_PARAM=").split(',');
        const quint32 r = parts.value(0).toUInt(&ok);
        if (ok && parts.size() == 4 && isSerialRate(r)) {
            // The answer still goes out at the old rate; the new one applies after it.
            reply(Ok);
            if (r != baud_)
                trace_(QStringLiteral("adapter: serial rate %1 -> %2").arg(baud_).arg(r));
            baud_ = r;
            return;
        }
    }
    reply(Error);
}

} // namespace sim
