#include "SimTestClient.h"

#include <QElapsedTimer>

#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

float WireFrame::f32(int i) const
{
    const quint32 bits = u32(i);
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

quint32 canId(int type, int ext, int src, int dst)
{
    return (quint32(type) << 24) | (quint32(ext & 0xFF) << 16) | (quint32(src & 0xFF) << 8)
        | quint32(dst & 0xFF);
}

QByteArray envelope(quint32 id, const QByteArray& data)
{
    const quint32 wire = (id << 3) | 4;
    QByteArray b("AT");
    b.append(char(wire >> 24)).append(char(wire >> 16)).append(char(wire >> 8)).append(char(wire));
    b.append(char(data.size())).append(data).append("\r\n");
    return b;
}

QByteArray le16(quint16 v)
{
    return QByteArray().append(char(v)).append(char(v >> 8));
}

QByteArray le32(quint32 v)
{
    return le16(quint16(v)) + le16(quint16(v >> 16));
}

QByteArray le64(quint64 v)
{
    return le32(quint32(v)) + le32(quint32(v >> 32));
}

QByteArray f32le(float v)
{
    quint32 bits;
    std::memcpy(&bits, &v, 4);
    return le32(bits);
}

QByteArray pad8(QByteArray d)
{
    return d.leftJustified(8, '\0', true);
}

namespace {
// The rates the tests switch between; anything else opens at the program's working rate.
speed_t speedCode(int baud)
{
    return baud == 9600 ? B9600 : baud == 115200 ? B115200 : B921600;
}
} // namespace

SimTestClient::~SimTestClient()
{
    close();
}

bool SimTestClient::open(const QString& path, int baud)
{
    close();
    fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0)
        return false;
    return setBaud(baud);
}

void SimTestClient::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    buffer_.clear();
}

bool SimTestClient::setBaud(int baud)
{
    termios t {};
    if (::tcgetattr(fd_, &t) != 0)
        return false;
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, speedCode(baud));
    ::cfsetospeed(&t, speedCode(baud));
    return ::tcsetattr(fd_, TCSANOW, &t) == 0;
}

bool SimTestClient::send(const QByteArray& bytes)
{
    int done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += int(n);
        } else {
            pollfd p {fd_, POLLOUT, 0};
            if (::poll(&p, 1, 1000) <= 0)
                return false;
        }
    }
    return true;
}

bool SimTestClient::sendFrame(int type, int ext, int dst, const QByteArray& data)
{
    return send(envelope(canId(type, ext, 0xFD, dst), data));
}

bool SimTestClient::fill(int timeoutMs)
{
    pollfd p {fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return false;
    char buf[65536];
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n <= 0)
        return false;
    buffer_.append(buf, int(n));
    return true;
}

std::optional<WireFrame> SimTestClient::nextFrame(int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    for (;;) {
        // Envelopes are taken by their length byte; anything else up to CR LF is text.
        while (buffer_.size() >= 2) {
            if (buffer_.startsWith("AT") && buffer_.size() >= 7) {
                const int n = quint8(buffer_[6]);
                if (buffer_.size() < 9 + n)
                    break;
                WireFrame f;
                const auto* b = reinterpret_cast<const quint8*>(buffer_.constData());
                f.id = ((quint32(b[2]) << 24) | (quint32(b[3]) << 16) | (quint32(b[4]) << 8) | b[5]) >> 3;
                f.data = buffer_.mid(7, n);
                buffer_.remove(0, 9 + n);
                return f;
            }
            if (buffer_.startsWith("AT"))
                break;
            const int end = buffer_.indexOf("\r\n");
            if (end < 0)
                break;
            buffer_.remove(0, end + 2);
        }
        const int left = timeoutMs - int(t.elapsed());
        if (left <= 0 || !fill(left))
            return std::nullopt;
    }
}

QVector<WireFrame> SimTestClient::framesUntilQuiet(int quietMs, int maxMs)
{
    QVector<WireFrame> out;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < maxMs) {
        auto f = nextFrame(quietMs);
        if (!f)
            break;
        out << *f;
    }
    return out;
}

QByteArray SimTestClient::nextLine(int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    for (;;) {
        const int end = buffer_.indexOf("\r\n");
        if (end >= 0) {
            QByteArray line = buffer_.left(end);
            buffer_.remove(0, end + 2);
            return line;
        }
        const int left = timeoutMs - int(t.elapsed());
        if (left <= 0 || !fill(left))
            return {};
    }
}
