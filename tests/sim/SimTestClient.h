#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <optional>

// Test side of the wire: opens the simulator's terminal like a serial port and speaks
// raw bytes. Frames are built and parsed here, independently of the simulator's code.
struct WireFrame
{
    quint32 id = 0;
    QByteArray data;

    quint8 type() const { return (id >> 24) & 0x1F; }
    quint8 ext() const { return (id >> 16) & 0xFF; }
    quint8 src() const { return (id >> 8) & 0xFF; }
    quint8 dst() const { return id & 0xFF; }
    quint16 field() const { return (id >> 8) & 0xFFFF; }
    quint8 b(int i) const { return quint8(data.at(i)); }
    quint16 u16(int i) const { return quint16(b(i) | (b(i + 1) << 8)); }
    quint32 u32(int i) const { return quint32(u16(i)) | (quint32(u16(i + 2)) << 16); }
    quint64 u64(int i) const { return quint64(u32(i)) | (quint64(u32(i + 4)) << 32); }
    float f32(int i) const;
};

quint32 canId(int type, int ext, int src, int dst);
// "AT", (id << 3 | 4) big-endian, length, data, CR LF.
QByteArray envelope(quint32 id, const QByteArray& data);
QByteArray le16(quint16 v);
QByteArray le32(quint32 v);
QByteArray le64(quint64 v);
QByteArray f32le(float v);
QByteArray pad8(QByteArray d);

class SimTestClient
{
public:
    ~SimTestClient();
    bool open(const QString& path, int baud = 921600);
    void close();
    bool setBaud(int baud);
    bool send(const QByteArray& bytes);
    // Sends a frame from the host (0xFD) to a motor.
    bool sendFrame(int type, int ext, int dst, const QByteArray& data);
    // The next whole frame (text lines are skipped), or nothing after timeoutMs.
    std::optional<WireFrame> nextFrame(int timeoutMs = 1000);
    // Frames until none arrives for quietMs.
    QVector<WireFrame> framesUntilQuiet(int quietMs, int maxMs = 20000);
    // Waits for a text line containing "OK" (or anything) within timeoutMs.
    QByteArray nextLine(int timeoutMs = 1000);
    void clear() { buffer_.clear(); }

private:
    bool fill(int timeoutMs);
    int fd_ = -1;
    QByteArray buffer_;
};
