// Firmware requests the host never makes. Good transfers are driven end to end by the motor link
// and command-line tests.
#include "SimFixture.h"

using sim::SimConfig;

TEST_F(SimFixture, FirmwareRequestsOutOfOrderAreRefused)
{
    SimConfig cfg;
    cfg.motors = {{3, 0}};
    cfg.faults.firmwareRetryAt = 0;
    startSim(cfg);
    // Data before update mode, and an update start with a foreign MCU ID, go unanswered.
    EXPECT_FALSE(otaData(3, 0, QByteArray(8, '\0')));
    EXPECT_FALSE(ask(11, 0, 3, le64(1), 200));
    // Information that does not add up is not acknowledged.
    ASSERT_TRUE(ask(11, 0, 3, le64(server->motorMcuId(0))));
    EXPECT_FALSE(ask(12, 0, 3, le32(9) + le32(1), 200));
    EXPECT_FALSE(ask(12, 0, 3, le32(0x80001) + le32(0x10001), 200));
    ASSERT_TRUE(ask(12, 0, 3, le32(16) + le32(2)));
    // The injected retry at frame 0 is asked for once; a frame ahead of the expected one is
    // answered with a retry naming the expected one.
    auto a = otaData(3, 0, QByteArray(8, 'z'));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->field(), 0xF03);
    EXPECT_EQ(a->u16(0), 0);
    a = otaData(3, 0, QByteArray(8, 'z'));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->field(), 3);
    a = otaData(3, 5, QByteArray(8, 'q'));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->field(), 0xF03);
    EXPECT_EQ(a->u16(0), 1);
    // An end frame whose count is short of the information fails and names the frame to resume from.
    a = otaEnd(3, 2);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->field(), 0xF03);
    EXPECT_EQ(a->u16(0), 1);
    EXPECT_EQ(server->firmwareImageCount(), 0);
}
