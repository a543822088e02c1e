#include "ScopeDecoder.h"
#include "ScopeSession.h"

#include "ParamTable.h"
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

TEST(ScopeDecoder, CounterWrapAndDecimationAtTheTopRate)
{
    ScopeDecoder d;
    std::array<quint32, 8> types;
    types.fill(6);
    d.setChannels({0, 1, 2, 3, 4, 5, 6, 7}, types);
    EXPECT_EQ(d.recordLength(), 34); // five data frames
    d.setTickLength(100.0f);
    d.startRun(2000);
    EXPECT_EQ(d.notifyDivisor(), 40u);
    EXPECT_EQ(d.capacity(), 20000u);
    quint8 rec[40] = {};
    auto put = [&](quint16 c) {
        rec[0] = quint8(c);
        rec[1] = quint8(c >> 8);
    };
    put(65530);
    d.decode(rec);
    const double t0 = d.time();
    put(4);
    d.decode(rec); // 65530 -> 4 is 10 ticks
    EXPECT_NEAR(d.time() - t0, 10 * 100e-6, 1e-9);
    put(4);
    d.decode(rec); // an unchanged counter is a full wrap
    EXPECT_NEAR(d.time() - t0, (10 + 65536) * 100e-6, 1e-6);
    int notes = 0;
    for (int k = 0; k < 20000 + 5; ++k) {
        put(quint16(5 + k));
        notes += d.decode(rec) ? 1 : 0;
    }
    EXPECT_EQ(notes, (20000 + 5 + 3) / 40);
    EXPECT_TRUE(d.full());
    EXPECT_EQ(d.buffers()[7].size(), 20000); // bounded once full
    // Frames arriving one by one: the record completes at frame 4.
    bool notify = false;
    for (int fr = 0; fr < 5; ++fr)
        notify = d.storeFrame(fr, rec) || notify;
    EXPECT_EQ(d.buffers()[0].size(), 20000);
}

TEST(ScopeDecoder, FormatsOfEveryType)
{
    quint8 b[16] = {};
    double v = 0;
    b[0] = 0xFF;
    EXPECT_EQ(ScopeDecoder::formatValue(0, b, &v), " 255");
    EXPECT_EQ(ScopeDecoder::formatValue(1, b, &v), "   -1");
    EXPECT_DOUBLE_EQ(v, -1.0);
    const qint32 big = 16777217; // not exact in single precision
    std::memcpy(b, &big, 4);
    EXPECT_EQ(ScopeDecoder::formatValue(5, b, &v), "   16777217");
    EXPECT_DOUBLE_EQ(v, 16777216.0);
    const double dv = -1.5;
    std::memcpy(b, &dv, 8);
    EXPECT_EQ(ScopeDecoder::formatValue(9, b, &v), "     -1.50000000");
    EXPECT_EQ(ScopeDecoder::formatValue(10, b, &v), "null");
    EXPECT_EQ(v, 0.0);
    EXPECT_EQ(ScopeDecoder::sizeOf(10), 16);
}

TEST(ParamTable, ValueConversionsAndChannelMapping)
{
    quint8 b[16] = {};
    EXPECT_EQ(ParamTable::doubleToValue(3, -2.9, b), "-2");
    EXPECT_EQ(ParamTable::doubleToValue(0, 300.7, b), "255");
    EXPECT_EQ(ParamTable::doubleToValue(6, 0.5, b), "0.500000");
    EXPECT_EQ(ParamTable::doubleToValue(9, 0.25, b), "0.250000000000");
    EXPECT_EQ(ParamTable::doubleToValue(10, 1, b), "none");
    EXPECT_EQ(ParamTable::limitToText(3, 12.0f, 2), "12");
    EXPECT_EQ(ParamTable::limitToText(11, 12.0f, 2), "none");

    ParamTable t;
    t.setCount(2, 4);
    t.setCount(3, 2);
    t.entry(2, 3).type = 5;
    t.entry(3, 1).type = 6;
    quint16 code;
    quint8 type;
    t.mapChannel(3, &code, &type);
    EXPECT_EQ(code, 0x2003);
    EXPECT_EQ(type, 5);
    t.mapChannel(5, &code, &type);
    EXPECT_EQ(code, 0x3001);
    EXPECT_EQ(type, 6);
    t.mapChannel(6, &code, &type);
    EXPECT_EQ(code, 0);
}

TEST(ScopeDecoder, SampleFileAccumulatesRunsAndNamesItsProposal)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("wave.txt");
    ScopeDecoder d;
    std::array<quint32, 8> types {};
    types[2] = 3; // int16
    types[5] = 7; // uint64
    d.setChannels({2, 5}, types);
    d.setTickLength(1000.0f);
    d.startRun(20);
    quint8 rec[12] = {10, 0, 0xFE, 0xFF, 42, 0, 0, 0, 0, 0, 0, 0};
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(d.openFile(path));
        d.restartClock();
        d.decode(rec);
        d.closeFile();
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(
        f.readAll(), "      0.010000     -2             42\r\n      0.010000     -2             42\r\n");
    EXPECT_FALSE(d.saving());
    EXPECT_EQ(ScopeSession::proposedFileName(QDateTime(QDate(2023, 7, 18), QTime(10, 15, 0))),
        "./wave_2023_07_18_101500.txt");
}
