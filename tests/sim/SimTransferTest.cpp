// Firmware transfer and oscilloscope streams over the terminal.
#include "SimFixture.h"

#include <QFile>
#include <QTemporaryDir>

using sim::SimConfig;

namespace {
struct FlashResult
{
    bool ok = false;
    QString failure;
    int dataFrames = 0;
    WireFrame endAnswer;
};

// The host's side of an update, written from the frame layouts: start, information,
// one data frame per answer (following retry requests), end.
FlashResult flash(SimFixture& fx, int canIdOfMotor, quint64 mcu, const QByteArray& image)
{
    FlashResult r;
    auto a = fx.ask(11, 0, canIdOfMotor, le64(mcu));
    if (!a || a->type() != 11 || a->field() != canIdOfMotor) {
        r.failure = "no start acknowledgement";
        return r;
    }
    const quint32 frames = quint32((image.size() + 7) / 8);
    a = fx.ask(12, 0, canIdOfMotor, le32(quint32(image.size())) + le32(frames));
    if (!a || a->type() != 12 || a->field() != canIdOfMotor) {
        r.failure = "no information acknowledgement";
        return r;
    }
    quint32 next = 0;
    while (next < frames) {
        QByteArray chunk = image.mid(int(next * 8), 8);
        chunk = chunk.leftJustified(8, char(0xFF));
        fx.client.send(envelope(canId(13, int(next >> 8), int(next & 0xFF), canIdOfMotor), chunk));
        ++r.dataFrames;
        auto ans = fx.client.nextFrame(2000);
        if (!ans || ans->type() != 13) {
            r.failure = QString("no answer to frame %1").arg(next);
            return r;
        }
        if (ans->field() == canIdOfMotor) {
            ++next;
        } else if (ans->field() == (canIdOfMotor | 0xF00)) {
            next = ans->u16(0);
        } else {
            r.failure = "odd answer";
            return r;
        }
    }
    a = fx.otaEnd(canIdOfMotor, frames, 2000);
    if (!a || a->type() != 14) {
        r.failure = "no end answer";
        return r;
    }
    r.endAnswer = *a;
    r.ok = a->field() == canIdOfMotor;
    if (!r.ok)
        r.failure = "end answered with failure";
    return r;
}
} // namespace

TEST_F(SimFixture, FirmwareOfNineBytesIsPaddedKeptAndReported)
{
    QTemporaryDir dir;
    SimConfig cfg;
    cfg.motors = {{3, 0}};
    cfg.firmwareOutPath = dir.filePath("fw.bin");
    QStringList messages;
    std::mutex m;
    server = std::make_unique<sim::SimServer>(cfg);
    server->setMessageHandler([&](const QString& s) {
        std::lock_guard<std::mutex> lock(m);
        messages << s;
    });
    ASSERT_TRUE(server->start());
    ASSERT_TRUE(client.open(server->portPath()));

    // Data before update mode, and an update start with a foreign MCU ID, go unanswered.
    client.send(envelope(canId(13, 0, 0, 3), QByteArray(8, '\0')));
    EXPECT_FALSE(client.nextFrame(200));
    EXPECT_FALSE(ask(11, 0, 3, le64(1), 200));
    // Information that does not add up is not acknowledged.
    ASSERT_TRUE(ask(11, 0, 3, le64(server->motorMcuId(0))));
    EXPECT_FALSE(ask(12, 0, 3, le32(9) + le32(1), 200));
    EXPECT_FALSE(ask(12, 0, 3, le32(0x80001) + le32(0x10001), 200));

    const QByteArray image = "\x01\x02\x03\x04\x05\x06\x07\x08\x09";
    FlashResult r = flash(*this, 3, server->motorMcuId(0), image);
    ASSERT_TRUE(r.ok) << r.failure.toStdString();
    EXPECT_EQ(r.dataFrames, 2);
    EXPECT_EQ(server->lastFirmwareImage(), image);
    EXPECT_EQ(server->lastFirmwareCrc(), 0x40EFAB9Eu);
    EXPECT_EQ(server->firmwareImageCount(), 1);
    QFile out(cfg.firmwareOutPath);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(out.readAll(), image);
    QThread::msleep(50);
    {
        std::lock_guard<std::mutex> lock(m);
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].contains("9 bytes")) << messages[0].toStdString();
        EXPECT_TRUE(messages[0].contains("40efab9e")) << messages[0].toStdString();
    }

    // An end frame whose count is short of the information fails and names the frame to resume from.
    ASSERT_TRUE(ask(11, 0, 3, le64(server->motorMcuId(0))));
    ASSERT_TRUE(ask(12, 0, 3, le32(16) + le32(2)));
    ASSERT_TRUE(otaData(3, 0, QByteArray(8, 'a')));
    auto end = otaEnd(3, 2);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->field(), 0xF03);
    EXPECT_EQ(end->u16(0), 1);
    EXPECT_EQ(server->firmwareImageCount(), 1);
}

namespace {
struct Channel
{
    const char* name;
    int type;
    int size;
};
} // namespace

TEST_F(SimFixture, ScopeRunDecodedBackIntoValues)
{
    startSim();
    // Let the rotor turn at 4 rad/s in velocity mode.
    ASSERT_TRUE(sdoUint(1, 0x7005, 2));
    ASSERT_TRUE(sdoFloat(1, 0x700A, 4.0f));
    ASSERT_TRUE(ask(3, 0, 1, QByteArray(8, '\0')));
    QThread::msleep(400);

    // Invalid frequency is refused with an error.
    auto a = ask(10, 0, 1, le16(0) + le16(17) + le32(921600));
    ASSERT_TRUE(a);
    EXPECT_EQ((a->ext() >> 2) & 3, 1);

    a = ask(10, 0, 1, le16(500) + le16(17) + le32(921600));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->type(), 10);
    EXPECT_EQ(a->ext() & 3, 0);
    EXPECT_EQ((a->ext() >> 2) & 3, 0);
    EXPECT_FLOAT_EQ(a->f32(0), 2000.0f);
    EXPECT_EQ(a->u16(4), 17);

    const Channel chans[] = {{"mechPos", 6, 4}, {"mechVel", 6, 4}, {"VBUS", 6, 4}, {"modeSta", 0, 1},
        {"rotation", 3, 2}, {"spd_ref", 6, 4}};
    const int n = 6;
    for (int group = 0; group * 4 < n; ++group) {
        QByteArray d;
        for (int k = 0; k < 4; ++k)
            d += le16(group * 4 + k < n ? quint16(code(chans[group * 4 + k].name)) : 0);
        a = ask(10, ((n - 1) << 4) | (group << 2) | 1, 1, d);
        ASSERT_TRUE(a);
        EXPECT_EQ(a->ext(), 1) << "sub-command 1, no error";
        if (group == 1) {
            for (int k = 0; k < n; ++k)
                EXPECT_EQ((a->b(k / 2) >> ((k % 2) * 4)) & 0xF, chans[k].type) << chans[k].name;
        }
    }
    client.clear();
    client.sendFrame(10, 2, 1, QByteArray(8, '\0'));
    QElapsedTimer t;
    t.start();
    QVector<WireFrame> data;
    while (t.elapsed() < 400)
        if (auto f = client.nextFrame(100))
            data << *f;
    EXPECT_TRUE(server->motorScopeRunning(0));
    // Stop is repeated until the motor confirms, as the host does.
    bool stopped = false;
    for (int i = 0; i < 500 && !stopped; ++i) {
        client.sendFrame(10, 3, 1, QByteArray(8, '\0'));
        while (auto f = client.nextFrame(2)) {
            if ((f->ext() & 3) == 3) {
                stopped = true;
                break;
            }
            data << *f;
        }
    }
    ASSERT_TRUE(stopped);
    EXPECT_FALSE(server->motorScopeRunning(0));

    // Reassemble records: 2-byte counter + 19 value bytes = 21 bytes, frames 0 to 2.
    const int recordSize = 2 + 4 + 4 + 4 + 1 + 2 + 4;
    QByteArray record;
    QVector<QByteArray> records;
    for (const WireFrame& f : data) {
        ASSERT_EQ(f.type(), 10);
        ASSERT_EQ(f.ext() & 0x0F, 2) << "sample data, no error";
        const int pos = f.ext() >> 4;
        ASSERT_EQ(pos * 8, record.size());
        record += f.data;
        if (record.size() >= recordSize) {
            records << record.left(recordSize);
            record.clear();
        }
    }
    ASSERT_GT(records.size(), 100) << "about 200 records in 0.4 s at 500 Hz";
    EXPECT_LT(records.size(), 320);
    auto f32at = [](const QByteArray& r, int at) {
        float v;
        memcpy(&v, r.constData() + at, 4);
        return v;
    };
    quint16 prev = 0;
    for (int i = 0; i < records.size(); ++i) {
        const QByteArray& r = records[i];
        const quint16 counter = quint16(quint8(r[0]) | quint8(r[1]) << 8);
        if (i > 0) {
            EXPECT_EQ(quint16(counter - prev), 1) << "record " << i;
            // One tick = 2000 us at 4 rad/s: 8 mrad between records.
            EXPECT_NEAR(f32at(r, 2) - f32at(records[i - 1], 2), 0.008, 0.002) << "record " << i;
        }
        prev = counter;
        EXPECT_NEAR(f32at(r, 6), 4.0, 0.1);
        EXPECT_NEAR(f32at(r, 10), 24.0, 0.5);
        EXPECT_EQ(quint8(r[14]), 2);
        EXPECT_FLOAT_EQ(f32at(r, 17), 4.0f);
    }
}
