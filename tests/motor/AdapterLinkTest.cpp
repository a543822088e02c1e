#include "AdapterLink.h"
#include "CanProtocol.h"
#include "FrameAssembler.h"

#include <QList>

#include <gtest/gtest.h>

#include <cstring>
#include <random>

TEST(AdapterLink, EnvelopeBytes)
{
    EXPECT_EQ(AdapterLink::envelope(CanProtocol::discovery(5)).toHex(' '), "41 54 00 07 e8 2c 01 00 0d 0a");
    CanPack big(0x1FFFFFFF);
    big.len = 12;
    const QByteArray b = AdapterLink::envelope(big);
    EXPECT_EQ(b.size(), 17);
    EXPECT_EQ(quint8(b[6]), 8);
    EXPECT_EQ(b.mid(2, 4).toHex(), "fffffffc");
}

TEST(AdapterLink, ParsesFramesAndRejectsOtherPieces)
{
    QByteArray in = QByteArray::fromHex("41541007e82c08") + QByteArray::fromHex("0102030405060708") + "\r\n";
    CanPack f;
    ASSERT_TRUE(AdapterLink::parseFrame(in, &f));
    EXPECT_EQ(f.id, 0x0200FD05u);
    EXPECT_EQ(f.len, 8);
    EXPECT_EQ(f.data[7], 8);
    // Low three bits of the identifier word are dropped whatever they hold.
    in[5] = char(0x2F);
    ASSERT_TRUE(AdapterLink::parseFrame(in, &f));
    EXPECT_EQ(f.id, 0x0200FD05u);
    EXPECT_FALSE(AdapterLink::parseFrame("OK\r\n", &f));
    EXPECT_FALSE(AdapterLink::parseFrame(in.left(in.size() - 1), &f));
    EXPECT_TRUE(AdapterLink::isOk("+OK\r\n"));
}

TEST(FrameAssembler, SameFramesForAnySplitWithGarbage)
{
    // A stream of frames, adapter replies and garbage lines.
    QByteArray stream;
    std::vector<quint32> ids;
    std::mt19937 rng(42);
    for (int k = 0; k < 300; ++k) {
        // Identifiers and data full of 0D and 0A: a record is taken by its length.
        CanPack f(
            CanProtocol::makeId(quint8(rng() % 22), quint8(k % 3 ? 0x0A : rng()), 0x0D + (k % 3), 0xFD));
        for (auto& b : f.data)
            b = (rng() % 3) ? quint8(0x0D + rng() % 2 * 3) : quint8(rng());
        f.len = quint8(1 + rng() % 8);
        stream += AdapterLink::envelope(f);
        ids.push_back(f.id);
        if (k % 17 == 0)
            stream += "OK\r\n";
        if (k % 23 == 0)
            stream += "\x01\x02garbage\r\n";
    }
    auto collect = [&](const std::vector<int>& cuts) {
        FrameAssembler a;
        std::vector<quint32> got;
        int oks = 0;
        int prev = 0;
        auto piece = [&](const QByteArray& p) {
            CanPack f;
            if (AdapterLink::parseFrame(p, &f))
                got.push_back(f.id);
            else if (AdapterLink::isOk(p))
                ++oks;
        };
        for (int c : cuts) {
            a.feed(stream.mid(prev, c - prev), piece);
            prev = c;
        }
        a.feed(stream.mid(prev), piece);
        EXPECT_EQ(a.pending(), 0);
        EXPECT_EQ(oks, 18);
        return got;
    };
    EXPECT_EQ(collect({}), ids);
    std::vector<int> everyByte;
    for (int k = 1; k < stream.size(); ++k)
        everyByte.push_back(k);
    EXPECT_EQ(collect(everyByte), ids);
    for (int round = 0; round < 50; ++round) {
        std::vector<int> cuts;
        for (int pos = 0; pos < stream.size();) {
            pos += 1 + int(rng() % 40);
            if (pos < stream.size())
                cuts.push_back(pos);
        }
        ASSERT_EQ(collect(cuts), ids) << "round " << round;
    }
}

TEST(FrameAssembler, RecordsHoldingCrLfSurviveAndNoiseStaysBounded)
{
    // An announcement whose MCU ID holds 0D 0A, then a frame whose identifier does.
    CanPack a(CanProtocol::makeId(0, 0, 5, 0xFE));
    const quint8 mcu[8] = {0x0D, 0x0A, 0x0D, 0x0A, 0x0A, 0x0D, 0x0D, 0x0A};
    std::memcpy(a.data, mcu, 8);
    CanPack b(0x0D0A0D0A & 0x1FFFFFFF, 2);
    b.data[0] = 0x0D;
    b.data[1] = 0x0A;
    const QByteArray bytes = AdapterLink::envelope(a) + "OK\r\n" + AdapterLink::envelope(b);
    for (int cut = 0; cut <= bytes.size(); ++cut) {
        FrameAssembler fa;
        QList<QByteArray> pieces;
        auto take = [&](const QByteArray& p) { pieces << p; };
        fa.feed(bytes.left(cut), take);
        fa.feed(bytes.mid(cut), take);
        ASSERT_EQ(pieces.size(), 3) << "cut " << cut;
        CanPack g;
        ASSERT_TRUE(AdapterLink::parseFrame(pieces[0], &g));
        EXPECT_EQ(std::memcmp(g.data, mcu, 8), 0);
        EXPECT_EQ(pieces[1], "OK\r\n");
        ASSERT_TRUE(AdapterLink::parseFrame(pieces[2], &g));
        EXPECT_EQ(g.id, b.id);
        EXPECT_EQ(fa.pending(), 0);
    }
    // A record header whose trailer is wrong falls back to the line rule and resynchronises.
    FrameAssembler fa;
    QList<QByteArray> pieces;
    fa.feed(QByteArray("AT\x01\x02\x03\x04\x02zzzz\r\n") + AdapterLink::envelope(b),
        [&](const QByteArray& p) { pieces << p; });
    ASSERT_EQ(pieces.size(), 2);
    EXPECT_EQ(pieces[0], QByteArray("AT\x01\x02\x03\x04\x02zzzz\r\n"));
    // Noise without CR LF (a wrong baud rate) does not grow the buffer without bound, and the
    // record after it is still found.
    fa.clear();
    pieces.clear();
    for (int k = 0; k < 1000; ++k)
        fa.feed(QByteArray(64, '\x55'), [&](const QByteArray& p) { pieces << p; });
    EXPECT_LE(fa.pending(), FrameAssembler::MaxPending);
    fa.feed("\r\n" + AdapterLink::envelope(b), [&](const QByteArray& p) { pieces << p; });
    ASSERT_EQ(pieces.size(), 2);
    CanPack g;
    EXPECT_TRUE(AdapterLink::parseFrame(pieces[1], &g));
}
