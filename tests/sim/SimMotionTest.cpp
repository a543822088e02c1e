// The rotor model under MIT control and the set-point objects, and the over-temperature fault.
// Mode changes, jog, CAN ID change and calibration are exercised end to end by the motor link tests.
#include "SimFixture.h"

namespace {
const QByteArray Zero8(8, '\0');

// MIT frame: torque code in bits 23-8, position, velocity, kp, kd big-endian.
QByteArray mitData(double pos, double vel, double kp, double kd)
{
    auto code = [](double x, double lo, double hi) { return quint16(float((x - lo) * 65535.0 / (hi - lo))); };
    QByteArray d;
    for (quint16 c : {code(pos, -12.5, 12.5), code(vel, -30, 30), code(kp, 0, 500), code(kd, 0, 5)})
        d.append(char(c >> 8)).append(char(c));
    return d;
}
} // namespace

TEST_F(SimFixture, MitControlMovesTheRotorAndShowsInFeedbackAndParameters)
{
    startSim();
    ASSERT_TRUE(sdoUint(1, 0x7005, 0)); // MIT
    ASSERT_TRUE(ask(3, 0, 1, Zero8));
    std::optional<WireFrame> fb;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 1200) {
        // Torque code 0x7FFF: no feed-forward torque.
        client.clear();
        client.send(envelope(canId(1, 0x7F, 0xFF, 1), mitData(1.0, 0.0, 40.0, 1.0)));
        fb = client.nextFrame();
        ASSERT_TRUE(fb);
        ASSERT_EQ(fb->type(), 2);
        QThread::msleep(20);
    }
    EXPECT_NEAR(fbPos(*fb), 1.0, 0.05);
    EXPECT_NEAR(fbVel(*fb), 0.0, 0.3);
    EXPECT_NEAR(value("mechPos"), 1.0, 0.05);
    EXPECT_EQ(value("modeSta"), 2);
    // Mechanical zero: the present position becomes 0.
    fb = ask(6, 0, 1, QByteArray::fromHex("0101000000000000"));
    ASSERT_TRUE(fb);
    EXPECT_NEAR(fbPos(*fb), 0.0, 0.01);
    EXPECT_NEAR(value("mechPosTotal"), 1.0, 0.05) << "the total angle is kept";
}

TEST_F(SimFixture, SetPointObjectsDriveVelocityAndTheSineTest)
{
    startSim();
    auto echo = sdoUint(1, 0x7005, 2);
    ASSERT_TRUE(echo);
    EXPECT_EQ(echo->type(), 18);
    EXPECT_EQ(echo->u16(0), 0x7005);
    ASSERT_TRUE(sdoFloat(1, 0x7018, 23.0f));
    ASSERT_TRUE(sdoFloat(1, 0x700A, 5.0f));
    ASSERT_TRUE(ask(3, 0, 1, Zero8));
    QThread::msleep(800);
    auto fb = ask(3, 0, 1, Zero8);
    ASSERT_TRUE(fb);
    EXPECT_NEAR(fbVel(*fb), 5.0, 0.3);

    // The sine test on the current set-point swings the torque both ways.
    ASSERT_TRUE(ask(4, 0, 1, Zero8));
    ASSERT_TRUE(sdoUint(1, 0x7005, 3));
    ASSERT_TRUE(sdoFloat(1, 0x7003, 5.0f));
    ASSERT_TRUE(sdoFloat(1, 0x7002, 5.0f));
    ASSERT_TRUE(ask(3, 0, 1, Zero8));
    ASSERT_TRUE(sdoUint(1, 0x7001, 1));
    double lo = 0, hi = 0;
    for (int i = 0; i < 40; ++i) {
        lo = std::min(lo, value("torque"));
        hi = std::max(hi, value("torque"));
        QThread::msleep(7);
    }
    EXPECT_LT(lo, -1.0);
    EXPECT_GT(hi, 1.0);

    // An unknown object is refused.
    echo = sdoUint(1, 0x7FFF, 1);
    ASSERT_TRUE(echo);
    EXPECT_EQ(echo->ext(), 1);
}

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
    auto fb = ask(3, 0, 1, Zero8);
    ASSERT_TRUE(fb);
    EXPECT_EQ(fbMode(*fb), 0);
    fb = ask(4, 0, 1, QByteArray::fromHex("0100000000000000"));
    ASSERT_TRUE(fb);
    EXPECT_EQ(fb->ext() & 0x3F, 1);
    ASSERT_TRUE(write("motorOverTemp", 6, f32le(100.0f)));
    client.framesUntilQuiet(200);
    fb = ask(4, 0, 1, QByteArray::fromHex("0100000000000000"));
    ASSERT_TRUE(fb);
    EXPECT_EQ(fb->ext(), 0);
    fb = ask(3, 0, 1, Zero8);
    ASSERT_TRUE(fb);
    EXPECT_EQ(fbMode(*fb), 2);
}
