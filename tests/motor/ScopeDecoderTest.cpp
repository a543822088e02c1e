#include "ScopeDecoder.h"
#include "ScopeSession.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {
// A record of float channels: counter, then one value per channel.
struct Record
{
    quint8 bytes[8 * 16] = {};
    void counter(quint16 c)
    {
        bytes[0] = quint8(c);
        bytes[1] = quint8(c >> 8);
    }
    void value(int k, float v) { std::memcpy(bytes + 2 + 4 * k, &v, 4); }
};

void floats(ScopeDecoder& d, int channels, quint16 frequency, float tick)
{
    std::array<quint32, 8> types {};
    QVector<quint8> list;
    for (int k = 0; k < channels; ++k) {
        types[size_t(k)] = 6;
        list << quint8(k);
    }
    d.setChannels(list, types);
    d.setTickLength(tick);
    d.startRun(frequency);
}
} // namespace

TEST(ScopeDecoder, RecordWithAMissingFrameIsNeverDecodedFromStaleBytes)
{
    ScopeDecoder d;
    floats(d, 8, 2000, 500.0f); // 34 bytes: frames 0..4
    ASSERT_EQ(d.framesPerRecord(), 5);
    Record r;
    for (int n = 0; n < 6; ++n) {
        r.counter(quint16(100 + n));
        for (int k = 0; k < 8; ++k)
            r.value(k, float(n * 10 + k));
        const int lost = n == 2 ? 3 : n == 4 ? 0 : -1; // record 2 loses frame 3, record 4 frame 0
        for (int fr = 0; fr < 5; ++fr)
            if (fr != lost)
                d.storeFrame(fr, r.bytes + fr * 8);
    }
    const ScopeBuffer& last = d.buffers()[7];
    ASSERT_EQ(last.size(), 4);
    EXPECT_EQ(last.at(1).value, 17.0); // record 1
    EXPECT_EQ(last.at(2).value, 37.0); // then record 3, not a mix of 2 and 3
    EXPECT_EQ(last.at(3).value, 57.0);
    EXPECT_EQ(d.lostRecords(), 2u);
    // A frame number past the layout's last frame decodes nothing.
    r.counter(200);
    EXPECT_FALSE(d.storeFrame(5, r.bytes));
    EXPECT_FALSE(d.storeFrame(15, r.bytes));
    EXPECT_EQ(last.size(), 4);
}

TEST(ScopeDecoder, KeysStartAtZeroStaySortedAndCountGaps)
{
    ScopeDecoder d;
    floats(d, 1, 100, 10000.0f);
    Record r;
    auto at = [&](quint16 c) {
        r.counter(c);
        d.decode(r.bytes);
        return d.buffers()[0].at(d.buffers()[0].size() - 1).key;
    };
    EXPECT_EQ(at(40000), 0.0); // not 400 s
    EXPECT_NEAR(at(40001), 0.01, 1e-12);
    EXPECT_NEAR(at(40001), 0.01, 1e-12); // a repeat is dropped, not a full wrap
    EXPECT_EQ(d.buffers()[0].size(), 2);
    EXPECT_EQ(d.duplicates(), 1u);
    EXPECT_NEAR(at(40004), 0.04, 1e-12);
    EXPECT_EQ(d.lostRecords(), 2u);
    d.restartClock();
    EXPECT_EQ(at(65530), 0.0);
    EXPECT_NEAR(at(4), 0.1, 1e-12); // 65530 -> 4 is ten ticks, no gap of 655 s
    EXPECT_EQ(d.records(), 5u);

    // Tick lengths that would break sorted keys fall back to the frequency.
    for (float tick : {0.0f, -100.0f, std::numeric_limits<float>::quiet_NaN(),
             std::numeric_limits<float>::infinity(), 2e6f}) {
        floats(d, 1, 1000, tick);
        for (quint16 c : {0, 1, 2})
            at(c);
        const ScopeBuffer& b = d.buffers()[0];
        ASSERT_EQ(b.size(), 3) << tick;
        EXPECT_NEAR(b.at(2).key - b.at(1).key, 0.001, 1e-12) << tick;
    }
    floats(d, 1, 1000, 250.0f); // four ticks per record
    for (quint16 c : {0, 4, 8, 16})
        at(c);
    EXPECT_NEAR(d.time(), 0.004, 1e-12);
    EXPECT_EQ(d.lostRecords(), 1u);
}

TEST(ScopeDecoder, SampleFileKeepsFieldsApartUnsignedAndIntegersExact)
{
    const struct
    {
        int type;
        qint64 bits;
        const char* text;
        double value;
    } rows[] = {
        {0, 0xFF, " 255", 255.0},
        {1, 0xFF, "   -1", -1.0},
        {4, 0xFFFFFFFF, " 4294967295", 4294967295.0},
        {5, 16777217, nullptr, 16777217.0}, // the first integer single precision cannot hold
        {8, (qint64(1) << 40) + 1, nullptr, double((qint64(1) << 40) + 1)},
        {10, 1, " null", 0.0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.type);
        quint8 b[16] = {};
        std::memcpy(b, &row.bits, 8);
        double v = -99;
        const QString text = ScopeDecoder::formatValue(row.type, b, &v);
        if (row.text) {
            EXPECT_EQ(text, row.text);
        }
        EXPECT_EQ(v, row.value);
    }

    QTemporaryDir dir;
    const QString path = dir.filePath("wave.txt");
    ScopeDecoder d;
    std::array<quint32, 8> types {};
    types[2] = 3; // int16
    types[3] = 6; // float
    types[5] = 7; // uint64
    d.setChannels({2, 3, 5}, types);
    d.setTickLength(1000.0f);
    d.startRun(20);
    quint8 rec[16] = {10, 0, 0xFE, 0xFF};
    const float wide = 12345.678f, narrow = 1.5f;
    std::memcpy(rec + 4, &wide, 4);
    rec[8] = 42;
    for (int run = 0; run < 2; ++run) { // two runs accumulate in one file
        ASSERT_TRUE(d.openFile(path));
        d.restartClock();
        d.decode(rec);
        std::memcpy(rec + 4, &narrow, 4);
        d.closeFile();
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(),
        "      0.000000     -2 12345.677734             42\r\n"
        "      0.000000     -2    1.500000             42\r\n");
    EXPECT_EQ(ScopeSession::proposedFileName(QDateTime(QDate(2023, 7, 18), QTime(10, 15, 0))),
        "./wave_2023_07_18_101500.txt");
}

TEST(ScopeDecoder, FullDiskClosesTheSampleFileAndSaysWhy)
{
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    ScopeDecoder d;
    floats(d, 1, 50, 20000.0f); // a notification per record
    ASSERT_TRUE(d.openFile("/dev/full"));
    Record r;
    for (int n = 0; n < 3; ++n) {
        r.counter(quint16(n));
        d.decode(r.bytes);
    }
    EXPECT_FALSE(d.saving());
    EXPECT_FALSE(d.fileOpen());
    EXPECT_FALSE(d.fileError().isEmpty());
    EXPECT_EQ(d.buffers()[0].size(), 3); // recording goes on
}

TEST(ScopeDecoder, AnHourAtTheTopRateStaysWithinItsWindow)
{
    ScopeDecoder d;
    floats(d, 2, 2000, 500.0f);
    EXPECT_EQ(d.notifyDivisor(), 40u);
    Record r;
    int notes = 0;
    const int records = 2000 * 60 * 60;
    for (int n = 0; n < records; ++n) {
        r.counter(quint16(n));
        notes += d.decode(r.bytes) ? 1 : 0;
    }
    EXPECT_EQ(notes, records / 40);
    const ScopeBuffer& b = d.buffers()[1];
    EXPECT_EQ(b.size(), 20000);
    EXPECT_LE(b.storage(), 2 * 20000 + 1024);
    EXPECT_NEAR(b.at(b.size() - 1).key, (records - 1) * 0.0005, 1e-6);
    EXPECT_EQ(b.indexAfter(b.at(100).key), 101);
    EXPECT_EQ(d.lostRecords(), 0u);
}
