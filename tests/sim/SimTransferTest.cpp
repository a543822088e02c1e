// Firmware and oscilloscope requests the host never makes, and the sample stream's record layout.
// Good transfers and scope runs are driven end to end by the motor link and command-line tests.
#include "SimFixture.h"

#include <cstring>

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

TEST_F(SimFixture, ScopeRecordsPackMixedWidthsInConsecutiveCounters)
{
    startSim();
    // An invalid frequency is refused with error 1.
    auto a = ask(10, 0, 1, le16(0) + le16(17) + le32(921600));
    ASSERT_TRUE(a);
    EXPECT_EQ((a->ext() >> 2) & 3, 1);
    a = ask(10, 0, 1, le16(500) + le16(17) + le32(921600));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->ext() & 0x0F, 0);
    EXPECT_FLOAT_EQ(a->f32(0), 2000.0f);
    // uint8, int16, float: 2 + 1 + 2 + 4 = 9 bytes, two frames per record.
    a = ask(10, (2 << 4) | 1, 1,
        le16(quint16(code("modeSta"))) + le16(quint16(code("rotation"))) + le16(quint16(code("VBUS")))
            + le16(0));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->ext(), 1);
    client.clear();
    client.sendFrame(10, 2, 1, QByteArray(8, '\0'));
    const QVector<WireFrame> data = client.framesUntilQuiet(100, 300);
    client.sendFrame(10, 3, 1, QByteArray(8, '\0'));
    ASSERT_GT(data.size(), 40) << "about 150 records in 0.3 s at 500 Hz";
    QByteArray record;
    int records = 0;
    quint16 prev = 0;
    for (const WireFrame& f : data) {
        if ((f.ext() & 0x0F) != 2)
            continue; // the stop's confirmation
        ASSERT_EQ((f.ext() >> 4) * 8, record.size());
        record += f.data;
        if (record.size() < 16)
            continue;
        const quint16 counter = quint16(quint8(record[0]) | quint8(record[1]) << 8);
        if (records++ > 0) {
            EXPECT_EQ(quint16(counter - prev), 1) << "record " << records;
        }
        prev = counter;
        float vbus;
        std::memcpy(&vbus, record.constData() + 5, 4);
        EXPECT_EQ(quint8(record[2]), 0) << "reset mode";
        EXPECT_NEAR(vbus, 24.0, 0.5);
        record.clear();
    }
    EXPECT_GT(records, 20);
}
