// Every fault option doing what it says, the motor's over-temperature fault, and the trace.
// Motion, jog and mode changes are driven end to end by the motor link tests.
#include "SimFixture.h"

#include <QFile>
#include <QTemporaryDir>

using sim::SimConfig;

namespace {
const QByteArray Probe(1, '\0');
}

TEST_F(SimFixture, SilentAdapterAnswersNothing)
{
    SimConfig cfg;
    cfg.faults.adapterSilent = true;
    startSim(cfg);
    client.send("AT+AT\r\nAT+CG\r\n");
    EXPECT_TRUE(client.nextLine(300).isEmpty());
    EXPECT_FALSE(ask(0, 0, 1, Probe, 200));
    EXPECT_EQ(server->framesReceived(), 0u);
}

TEST_F(SimFixture, SilentMotorsNeverAnswer)
{
    SimConfig cfg;
    cfg.motors = {{1, 0}, {2, 0}, {3, 0}};
    cfg.faults.silentMotors = {2};
    startSim(cfg);
    for (int id = 1; id <= 3; ++id)
        client.sendFrame(0, 0, id, Probe);
    QVector<int> ids;
    for (const WireFrame& f : client.framesUntilQuiet(300))
        ids << f.src();
    EXPECT_EQ(ids, QVector<int>({1, 3}));
    EXPECT_FALSE(ask(9, 0, 2, pad8(le16(0x2000)), 200));
}

TEST_F(SimFixture, DropEveryThirdReply)
{
    SimConfig cfg;
    cfg.faults.dropEvery = 3;
    startSim(cfg);
    // A text value comes in four frames; the third one is lost.
    client.sendFrame(9, 0, 1, pad8(le16(0x0000)));
    QVector<int> seqs;
    for (const WireFrame& f : client.framesUntilQuiet(300))
        seqs << f.b(3);
    EXPECT_EQ(seqs, QVector<int>({0, 1, 3}));
    EXPECT_FALSE(server->traceLines().filter("drop ").isEmpty());
}

TEST_F(SimFixture, DelayedReplies)
{
    SimConfig cfg;
    cfg.faults.delayMs = 300;
    startSim(cfg);
    QElapsedTimer t;
    t.start();
    client.sendFrame(0, 0, 1, Probe);
    EXPECT_FALSE(client.nextFrame(200));
    auto a = client.nextFrame(1000);
    ASSERT_TRUE(a);
    EXPECT_GE(t.elapsed(), 295);
    // The adapter itself is not delayed.
    t.restart();
    client.send("AT+AT\r\n");
    EXPECT_EQ(client.nextLine(), QByteArray("OK"));
    EXPECT_LT(t.elapsed(), 250);
}

TEST_F(SimFixture, WrongTypeEchoForOneScopeChannel)
{
    SimConfig cfg;
    cfg.faults.scopeWrongTypeChannel = 1;
    startSim(cfg);
    // An invalid frequency is refused with error 1.
    auto a = ask(10, 0, 1, le16(0) + le16(17) + le32(921600));
    ASSERT_TRUE(a);
    EXPECT_EQ((a->ext() >> 2) & 3, 1);
    a = ask(10, 0, 1, le16(500) + le16(17) + le32(921600));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->ext() & 0x0F, 0);
    EXPECT_FLOAT_EQ(a->f32(0), 2000.0f) << "the tick in microseconds";
    a = ask(10, (2 << 4) | 1, 1,
        le16(quint16(code("mechPos"))) + le16(quint16(code("modeSta"))) + le16(quint16(code("iqRaw")))
            + le16(0));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->ext(), 1) << "sub-command 1, no error";
    EXPECT_EQ(a->b(0) & 0xF, 6) << "mechPos is a float";
    EXPECT_NE(a->b(0) >> 4, 0) << "modeSta is uint8, echoed wrongly";
    EXPECT_EQ(a->b(1) & 0xF, 5) << "iqRaw is int32";
    // A channel code outside groups 2 and 3 is refused with error 1.
    a = ask(10, 1, 1, le16(0x1000) + QByteArray(6, '\0'));
    ASSERT_TRUE(a);
    EXPECT_EQ((a->ext() >> 2) & 3, 1);
}

TEST_F(SimFixture, LinkModelTakesWireTime)
{
    // Request 17 bytes + reply 17 bytes on the serial line, two 8-byte CAN frames:
    // 34 x 10.85 us + 2 x 131 us = 631 us per exchange, plus the USB turnaround each way.
    for (const int usbUs : {0, 400}) {
        SimConfig cfg;
        cfg.faults.linkModel = true;
        cfg.faults.usbLatencyUs = usbUs;
        startSim(cfg);
        const QByteArray req = envelope(canId(9, 0, 0xFD, 1), pad8(le16(0x2000)));
        ASSERT_EQ(req.size(), 17);
        server->resetLinkStats();
        QElapsedTimer t;
        t.start();
        const int n = 200;
        for (int i = 0; i < n; ++i) {
            client.send(req);
            auto a = client.nextFrame();
            ASSERT_TRUE(a);
            ASSERT_EQ(a->type(), 9);
        }
        const double floorUs = 631 + 2 * usbUs;
        const double perExchangeUs = t.nsecsElapsed() / 1000.0 / n;
        EXPECT_GE(perExchangeUs, floorUs - 5);
        // The floor it reports is the wire time of this traffic, whatever the host took.
        const sim::SimServer::LinkStats st = server->linkStats();
        EXPECT_NEAR(st.busyUs / n, floorUs, 5);
        EXPECT_GE(st.turnarounds, n - 1);
        std::printf("[ info ] exchange with link model, USB %d us: %.0f us (floor %.0f us)\n", usbUs,
            perExchangeUs, st.busyUs / n);
        client.close();
        server->stop();
    }
}

TEST_F(SimFixture, TraceFileShowsReceivedAndSentFrames)
{
    QTemporaryDir dir;
    SimConfig cfg;
    cfg.tracePath = dir.filePath("trace.log");
    startSim(cfg);
    client.send("AT+AT\r\n");
    ASSERT_EQ(client.nextLine(), QByteArray("OK"));
    ASSERT_TRUE(ask(0, 0, 1, Probe));
    server->stop();
    QFile f(cfg.tracePath);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.contains("adapter: command AT+AT"));
    EXPECT_TRUE(text.contains("rx 41 54 00 07 e8 0c 01 00 0d 0a | type 0 ext 00 src fd dst 01"));
    EXPECT_EQ(server->traceLines().size(), text.count('\n'));
    // An unwritable trace file stops the start with a message.
    SimConfig bad;
    bad.tracePath = dir.filePath("no/such/dir/trace.log");
    sim::SimServer s(bad);
    QString err;
    EXPECT_FALSE(s.start(&err));
    EXPECT_TRUE(err.contains("trace"));
}

TEST_F(SimFixture, FramesAreLostWhileTheLineRunsAtAnotherRate)
{
    SimConfig cfg;
    cfg.faults.delayMs = 200;
    startSim(cfg);
    client.sendFrame(0, 0, 1, Probe);
    // Once the probe is in, the client changes its line speed before the answer leaves.
    for (int i = 0; i < 100 && server->framesReceived() == 0; ++i)
        QThread::msleep(5);
    ASSERT_EQ(server->framesReceived(), 1u);
    ASSERT_TRUE(client.setBaud(9600));
    EXPECT_FALSE(client.nextFrame(500));
    EXPECT_FALSE(server->traceLines().filter("lost (adapter not forwarding)").isEmpty());
    EXPECT_EQ(server->framesSent(), 0u);
    ASSERT_TRUE(client.setBaud(921600));
    EXPECT_TRUE(ask(0, 0, 1, Probe, 1000));
}

// The motor's own fault: the winding over its limit.
TEST_F(SimFixture, OverTemperatureFaultAndClearAlarm)
{
    startSim();
    auto write = [&](const char* name, int type, const QByteArray& v) {
        return ask(8, 0, 1, le16(quint16(code(name))) + char(type) + char(0) + v.leftJustified(4, '\0'));
    };
    ASSERT_TRUE(write("overTempTime", 4, le32(0)));
    ASSERT_TRUE(write("motorOverTemp", 6, f32le(20.0f)));
    QVector<WireFrame> frames = client.framesUntilQuiet(300);
    ASSERT_EQ(frames.size(), 2);
    EXPECT_EQ(frames[0].type(), 21);
    EXPECT_EQ(frames[0].data.size(), 8);
    EXPECT_EQ(frames[0].u32(0), 1u);
    EXPECT_EQ(frames[0].u32(4), 1u);
    EXPECT_EQ(frames[1].type(), 2);
    EXPECT_EQ(frames[1].ext() & 0x3F, 1);
    // Motor mode is refused while the fault stands; clearing needs the cause gone.
    auto fb = ask(3, 0, 1, QByteArray(8, '\0'));
    ASSERT_TRUE(fb);
    EXPECT_EQ(fb->ext() >> 6, 0);
    fb = ask(4, 0, 1, QByteArray::fromHex("0100000000000000"));
    ASSERT_TRUE(fb);
    EXPECT_EQ(fb->ext() & 0x3F, 1);
    ASSERT_TRUE(write("motorOverTemp", 6, f32le(100.0f)));
    client.framesUntilQuiet(200);
    fb = ask(4, 0, 1, QByteArray::fromHex("0100000000000000"));
    ASSERT_TRUE(fb);
    EXPECT_EQ(fb->ext(), 0);
    fb = ask(3, 0, 1, QByteArray(8, '\0'));
    ASSERT_TRUE(fb);
    EXPECT_EQ(fb->ext() >> 6, 2);
}
