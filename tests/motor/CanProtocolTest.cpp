#include "CanProtocol.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
QByteArray hex(const CanPack& f)
{
    return QByteArray(reinterpret_cast<const char*>(f.data), 8).toHex();
}
} // namespace

TEST(CanProtocol, ControlScalingAtItsEndsAndClamped)
{
    EXPECT_EQ(CanProtocol::floatToUint(0.0f, -12.5f, 12.5f), 0x7FFFu);
    EXPECT_EQ(CanProtocol::floatToUint(-12.5f, -12.5f, 12.5f), 0u);
    EXPECT_EQ(CanProtocol::floatToUint(12.5f, -12.5f, 12.5f), 65535u);
    // Outside the range the code would wrap to the opposite extreme; it is clamped instead.
    EXPECT_EQ(CanProtocol::floatToUint(13.0f, -12.5f, 12.5f), 65535u);
    EXPECT_EQ(CanProtocol::floatToUint(-100.0f, -12.5f, 12.5f), 0u);
    EXPECT_EQ(CanProtocol::floatToUint(std::numeric_limits<float>::infinity(), 0.0f, 5.0f), 65535u);
    EXPECT_EQ(CanProtocol::floatToUint(std::nanf(""), -12.0f, 12.0f), 32767u);
    EXPECT_EQ(CanProtocol::floatToUint(std::nanf(""), 0.0f, 500.0f), 0u);
}

TEST(CanProtocol, MitFrameCarriesBigEndianCodesAndTorqueInTheIdentifier)
{
    const CanPack f = CanProtocol::mitControl(5, 0.0f, 30.0f, 0.0f, 5.0f, -12.0f);
    EXPECT_EQ(f.id, 0x01000005u); // torque code 0 in bits 23-8
    EXPECT_EQ(hex(f), "7fffffff0000ffff");
    const CanPack g = CanProtocol::mitControl(1, 12.5f, -30.0f, 500.0f, 0.0f, 12.0f);
    EXPECT_EQ(g.id, 0x01FFFF01u);
    EXPECT_EQ(hex(g), "ffff0000ffff0000");
}

TEST(CanProtocol, FeedbackDecodesCodesModeAndFaults)
{
    CanPack f(CanProtocol::makeId(CANCOM_MOTOR_FEEDBACK, 0x80 | 0x05, 7, 0xFD));
    f.setU16be(0, 0);
    f.setU16be(2, 65535);
    f.setU16be(4, 0);
    f.setU16be(6, 0x1234);
    MotorFeedback fb = CanProtocol::feedback(f);
    EXPECT_FLOAT_EQ(fb.position, -12.5f);
    EXPECT_FLOAT_EQ(fb.velocity, 30.0f);
    EXPECT_FLOAT_EQ(fb.torque, -12.0f);
    EXPECT_EQ(fb.temperature, 0x1234);
    EXPECT_EQ(fb.modeState, 2);
    EXPECT_EQ(fb.faults, 5);
    EXPECT_EQ(fb.canId, 7);
    f.setU16be(0, 65535);
    EXPECT_FLOAT_EQ(CanProtocol::feedback(f).position, 12.5f);
}

// One frame of each kind the engine's own tests do not already take apart byte by byte.
TEST(CanProtocol, HostFramesHaveTheirLayouts)
{
    const quint16 codes[4] = {0x2001, 0x2002, 0x3000, 0x3001};
    const struct
    {
        CanPack f;
        quint32 id;
        const char* data;
    } rows[] = {
        {CanProtocol::modeChange(CANCOM_MOTOR_BRAKE, 3), 0x1400FD03u, "0000000000000000"},
        {CanProtocol::clearAlarm(3), 0x0400FD03u, "0100000000000000"},
        {CanProtocol::mechanicalZero(2, 1, 0), 0x0600FD02u, "0101000000000000"},
        {CanProtocol::paramDescribe(1, 1), 0x1300FD01u, "0100000000000000"},
        {CanProtocol::scopeConfigure(1, 100), 0x0A00FD01u,
            "640011000010"
            "0e00"},
        // Five channels: the second frame is group 1, count field 4 in both.
        {CanProtocol::scopeChannels(1, 4, 5, codes), 0x0A45FD01u, "0120022000300130"},
        {CanProtocol::scopeCommand(1, 3), 0x0A03FD01u, "0000000000000000"},
        // 65536 frames do not fit the 16 bits of a frame index.
        {CanProtocol::otaEnd(2, 65536), 0x0E000002u, "0000010000000000"},
        {CanProtocol::runMode(1, 2), 0x1200FD01u, "0570000002000000"},
        {CanProtocol::jog(1, true, 0.0f), 0x1200FD01u,
            "057000000701"
            "7fff"},
        {CanProtocol::jog(1, false, 99.0f), 0x1200FD01u,
            "057000000700"
            "ffff"},
        {CanProtocol::sdoWriteFloat(1, 0x7016, 1.0f), 0x1200FD01u, "167000000000803f"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.data);
        EXPECT_EQ(row.f.id, row.id);
        EXPECT_EQ(hex(row.f), row.data);
    }
}
