// Pieces of the simulator without a terminal: adapter, table, options.
#include "SimAdapter.h"
#include "SimCanFrame.h"
#include "SimOptions.h"
#include "SimParamTable.h"

#include <gtest/gtest.h>

using namespace sim;

static QByteArray bytes(std::initializer_list<int> l)
{
    QByteArray b;
    for (int v : l)
        b.append(char(v));
    return b;
}

struct AdapterFixture : ::testing::Test
{
    QStringList log;
    SimAdapter adapter {921600, false, [this](const QString& l) { log << l; }};
    SimAdapter::Result feed(const QByteArray& b, quint32 line = 921600)
    {
        SimAdapter::Result r;
        adapter.receive(b, line, &r);
        return r;
    }
};

// The good sequence at the working rate is driven end to end by the worker's link tests.
TEST_F(AdapterFixture, ConfigurationRefusalsAndARateChange)
{
    EXPECT_EQ(feed("AT+CAN_BAUD=500000\r\n").replies.at(0), QByteArray("ERROR\r\n")) << "needs AT+CG first";
    EXPECT_EQ(feed("AT+CG\r\n").replies.at(0), QByteArray("OK\r\n"));
    EXPECT_EQ(feed("AT+CAN_BAUD=12345\r\n").replies.at(0), QByteArray("ERROR\r\n"));
    EXPECT_EQ(feed("AT+USART_PARAM=777,0,0,0\r\n").replies.at(0), QByteArray("ERROR\r\n"));
    EXPECT_EQ(feed("AT+CAN_BAUD=500000\r\n").replies.at(0), QByteArray("OK\r\n"));
    EXPECT_EQ(feed("AT+USART_PARAM=115200,0,0,0\r\n").replies.at(0), QByteArray("OK\r\n"));
    // The old rate is no longer understood; the probe at the new one leaves configuration.
    EXPECT_TRUE(feed("AT+AT\r\n", 921600).replies.empty());
    EXPECT_EQ(feed("AT+AT\r\n", 115200).replies.at(0), QByteArray("OK\r\n"));
    EXPECT_FALSE(adapter.inConfigMode());
    EXPECT_FALSE(adapter.busUsable()) << "the bus runs at 1 Mbit/s, the adapter at 500 kbit/s";
}

TEST_F(AdapterFixture, FramesInAnySplitAndWithCrLfInside)
{
    const QByteArray a = bytes({0x41, 0x54, 0x00, 0x07, 0xE8, 0x2C, 0x01, 0x00, 0x0D, 0x0A});
    // A write frame whose value bytes hold CR LF: the length byte tells where it ends.
    const QByteArray b = bytes({0x41, 0x54, 0x40, 0x07, 0xE8, 0x0C, 0x08, 0x01, 0x20, 0x06, 0x00, 0x0D, 0x0A,
        0x0D, 0x0A, 0x0D, 0x0A});
    const QByteArray stream = "\x01\x02" + a + b + a;
    std::vector<SimCanFrame> frames;
    for (int split = 1; split < stream.size(); ++split) {
        frames.clear();
        for (int at = 0; at < stream.size(); at += split) {
            auto r = feed(stream.mid(at, split));
            frames.insert(frames.end(), r.frames.begin(), r.frames.end());
        }
        ASSERT_EQ(frames.size(), 3u) << "split " << split;
        EXPECT_EQ(frames[0].id, 0x0000FD05u);
        EXPECT_EQ(frames[1].type(), 8);
        EXPECT_EQ(frames[1].data[4], 0x0D);
        EXPECT_EQ(frames[1].data[7], 0x0A);
        EXPECT_EQ(frames[2].dst(), 5);
    }
    // At another line speed the same bytes are noise, and a half-received frame is lost.
    EXPECT_TRUE(feed(a.left(5)).frames.empty());
    EXPECT_TRUE(feed(a.mid(5), 115200).frames.empty());
    EXPECT_EQ(feed(a).frames.size(), 1u);
    // Frames are not taken in configuration mode.
    feed("AT+CG\r\n");
    EXPECT_TRUE(feed(a).frames.empty());
}

TEST(SimParamTable, GroupsLimitsAndFactoryReset)
{
    SimParamTable t(7);
    // The channel base splits configuration from live set-points.
    EXPECT_EQ(t.group(2)[t.channelBase()].name, QByteArray("RunTimeLimit"));
    EXPECT_EQ(t.group(2)[t.channelBase() + 1].name, QByteArray("run_mode"));
    for (int g = 0; g < 4; ++g)
        for (const ParamEntry& e : t.group(g)) {
            EXPECT_LE(e.name.size(), 16);
            EXPECT_EQ(e.value.size(), SimParamTable::typeSize(e.type)) << e.name.constData();
            if (g == 2) {
                EXPECT_TRUE(t.variant(e.code).toDouble() >= t.lowLimit(e) - 1e-6
                    && t.variant(e.code).toDouble() <= t.highLimit(e) + 1e-6)
                    << e.name.constData() << " default outside its limits";
            }
        }
    EXPECT_EQ(t.variant(quint16(t.codeOf("CAN_ID"))).toInt(), 7);
    const ParamEntry* cur = t.find(quint16(t.codeOf("limit_cur")));
    EXPECT_DOUBLE_EQ(t.highLimit(*cur), 23.0);
    t.setNumber("loc_kp", 55.5);
    t.save();
    t.setNumber("loc_kp", 12.0);
    t.factoryReset();
    EXPECT_FLOAT_EQ(float(t.number("loc_kp")), 30.0f);
    EXPECT_EQ(t.find(0x4000), nullptr);
    EXPECT_EQ(t.find(quint16(0x2000 | t.count(2))), nullptr);
}

TEST(SimOptionsTest, ParsesAndRejects)
{
    SimConfig c;
    QString err;
    ASSERT_TRUE(SimOptions::parse(
        {"sim", "--motors", "3", "--can-ids", "4,9,127", "--mcu-ids", "0x1,abc,FFFFFFFFFFFFFFFF"}, &c, &err))
        << err.toStdString();
    ASSERT_EQ(c.motors.size(), 3);
    EXPECT_EQ(c.motors[2].canId, 127);
    EXPECT_EQ(c.motors[1].mcuId, 0xABCu);
    EXPECT_EQ(c.motors[2].mcuId, ~0ull);

    ASSERT_TRUE(SimOptions::parse({"sim"}, &c, &err));
    ASSERT_EQ(c.motors.size(), 1);
    EXPECT_EQ(c.motors[0].canId, 1);
    EXPECT_EQ(c.adapterBaud, 921600u);

    for (QStringList bad : {QStringList {"sim", "--motors", "0"}, {"sim", "--motors", "2", "--can-ids", "1"},
             {"sim", "--can-ids", "1,1"}, {"sim", "--can-ids", "128"}, {"sim", "--mcu-ids", "xyz"},
             {"sim", "--scope-wrong-type", "8"}, {"sim", "--drop-every", "0"}, {"sim", "--bogus"},
             {"sim", "--usb-latency-us", "-1"}, {"sim", "extra"}}) {
        err.clear();
        EXPECT_FALSE(SimOptions::parse(bad, &c, &err)) << bad.join(' ').toStdString();
        EXPECT_FALSE(err.isEmpty());
    }
}
