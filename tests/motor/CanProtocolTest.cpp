#include "CanProtocol.h"
#include "ValueCodec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
std::vector<int> bytes(const CanPack& f)
{
    return std::vector<int>(f.data, f.data + 8);
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
    EXPECT_EQ(bytes(f), (std::vector<int> {0x7F, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF}));
    const CanPack g = CanProtocol::mitControl(1, 12.5f, -30.0f, 500.0f, 0.0f, 12.0f);
    EXPECT_EQ(g.id, 0x01FFFF01u);
    EXPECT_EQ(bytes(g), (std::vector<int> {0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00}));
    EXPECT_EQ(g.len, 8);
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

TEST(CanProtocol, HostFramesHaveTheirLayouts)
{
    const CanPack probe = CanProtocol::discovery(5);
    EXPECT_EQ(probe.id, 0x0000FD05u);
    EXPECT_EQ(probe.len, 0);

    EXPECT_EQ(CanProtocol::modeChange(CANCOM_MOTOR_BRAKE, 3).id, 0x1400FD03u);
    const CanPack alarm = CanProtocol::clearAlarm(3);
    EXPECT_EQ(alarm.id, 0x0400FD03u);
    EXPECT_EQ(bytes(alarm), (std::vector<int> {1, 0, 0, 0, 0, 0, 0, 0}));

    const CanPack zero = CanProtocol::mechanicalZero(2, 1, 0);
    EXPECT_EQ(zero.id, 0x0600FD02u);
    EXPECT_EQ(bytes(zero), (std::vector<int> {1, 1, 0, 0, 0, 0, 0, 0}));

    const CanPack id = CanProtocol::setCanId(1, 9, 0x1122334455667788ull);
    EXPECT_EQ(id.id, 0x0709FD01u);
    EXPECT_EQ(bytes(id), (std::vector<int> {0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}));

    const quint8 v[4] = {0x78, 0x56, 0x34, 0x12};
    const CanPack w = CanProtocol::paramWrite(1, 0, 0x2005, 5, 0, v, 4);
    EXPECT_EQ(w.id, 0x0800FD01u);
    EXPECT_EQ(bytes(w), (std::vector<int> {0x05, 0x20, 5, 0, 0x78, 0x56, 0x34, 0x12}));
    const CanPack save = CanProtocol::paramWrite(1, 2, 0x2005, 5, 0, v, 4);
    EXPECT_EQ(save.id, 0x0802FD01u);
    EXPECT_EQ(bytes(save), std::vector<int>(8, 0));

    const CanPack r = CanProtocol::paramRead(4, 0x300a);
    EXPECT_EQ(r.id, 0x0900FD04u);
    EXPECT_EQ(bytes(r), (std::vector<int> {0x0a, 0x30, 0, 0, 0, 0, 0, 0}));

    const CanPack cfg = CanProtocol::scopeConfigure(1, 100);
    EXPECT_EQ(cfg.id, 0x0A00FD01u);
    EXPECT_EQ(bytes(cfg), (std::vector<int> {100, 0, 17, 0, 0x00, 0x10, 0x0E, 0x00}));
    // Five channels: two frames, group numbers 0 and 1, count field 4 in both.
    const quint16 codes[4] = {0x2001, 0x2002, 0x3000, 0x3001};
    EXPECT_EQ(CanProtocol::scopeChannels(1, 0, 5, codes).id, 0x0A41FD01u);
    EXPECT_EQ(CanProtocol::scopeChannels(1, 4, 5, codes).id, 0x0A45FD01u);
    EXPECT_EQ(bytes(CanProtocol::scopeChannels(1, 0, 5, codes)),
        (std::vector<int> {0x01, 0x20, 0x02, 0x20, 0x00, 0x30, 0x01, 0x30}));
    EXPECT_EQ(CanProtocol::scopeCommand(1, 3).id, 0x0A03FD01u);

    const CanPack info = CanProtocol::otaInfo(2, 9, 2);
    EXPECT_EQ(info.id, 0x0C00FD02u);
    EXPECT_EQ(bytes(info), (std::vector<int> {9, 0, 0, 0, 2, 0, 0, 0}));
    const quint8 img[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(CanProtocol::otaData(2, 0xFFFF, img).id, 0x0DFFFF02u);
    EXPECT_EQ(CanProtocol::otaEnd(2, 65536).id, 0x0E000002u);
    EXPECT_EQ(bytes(CanProtocol::otaEnd(2, 65536)), (std::vector<int> {0, 0, 1, 0, 0, 0, 0, 0}));

    const CanPack run = CanProtocol::runMode(1, 2);
    EXPECT_EQ(run.id, 0x1200FD01u);
    EXPECT_EQ(bytes(run), (std::vector<int> {0x05, 0x70, 0, 0, 2, 0, 0, 0}));
    const CanPack jog = CanProtocol::jog(1, true, 0.0f);
    EXPECT_EQ(bytes(jog), (std::vector<int> {0x05, 0x70, 0, 0, 7, 1, 0x7F, 0xFF}));
    EXPECT_EQ(
        bytes(CanProtocol::jog(1, false, 99.0f)), (std::vector<int> {0x05, 0x70, 0, 0, 7, 0, 0xFF, 0xFF}));
    EXPECT_EQ(bytes(CanProtocol::sdoWriteFloat(1, 0x7016, 1.0f)),
        (std::vector<int> {0x16, 0x70, 0, 0, 0x00, 0x00, 0x80, 0x3F}));
    EXPECT_EQ(CanProtocol::paramDescribe(1, 1).id, 0x1300FD01u);
}

TEST(CanProtocol, ErrorTextsOfCombinedBits)
{
    EXPECT_EQ(
        CanProtocol::writeErrorText(0x4000 | 0x8000 | 2), "/no such code/command mismatch/code mismatch");
    EXPECT_EQ(CanProtocol::readErrorText(0x1F), "/no such code/wrong type/loss frame/number mismatch");
}

TEST(ValueCodec, LittleEndianWhateverTheHost)
{
    const quint8 b[8] = {0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x81};
    EXPECT_EQ(ValueCodec::load<quint16>(b), 0x0708u);
    EXPECT_EQ(ValueCodec::load<qint64>(b), qint64(0x8102030405060708ull));
    quint8 out[8] = {};
    ValueCodec::store<quint32>(out, 0x11223344u);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(out), 4).toHex(), "44332211");
}
