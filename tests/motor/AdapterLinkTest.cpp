#include "AdapterLink.h"
#include "CanProtocol.h"
#include "FrameAssembler.h"

#include <gtest/gtest.h>

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

TEST(AdapterLink, CommandsAndBaudTable)
{
    EXPECT_EQ(AdapterLink::configCommand(4), "AT+USART_PARAM=921600,0,0,0\r\n");
    EXPECT_EQ(AdapterLink::configCommand(1), "AT+CAN_FRAMEFORMAT=1,0,1,0\r\n");
    EXPECT_EQ(AdapterLink::configCommand(5), "");
    EXPECT_EQ(AdapterLink::baudRate(0), 921600);
    EXPECT_EQ(AdapterLink::baudRate(2), 115200);
    EXPECT_EQ(AdapterLink::baudRate(11), 1152000);
    EXPECT_EQ(AdapterLink::baudRate(12), 0);
    EXPECT_EQ(AdapterLink::hex(QByteArray::fromHex("00ab0d")), "00 ab 0d");
}

TEST(FrameAssembler, SameFramesForAnySplitWithGarbage)
{
    // A stream of frames, adapter replies and garbage lines.
    QByteArray stream;
    std::vector<quint32> ids;
    std::mt19937 rng(42);
    for (int k = 0; k < 300; ++k) {
        CanPack f(CanProtocol::makeId(quint8(rng() % 22), quint8(rng()), 0x10 + (k % 7), 0xFD));
        for (auto& b : f.data)
            b = quint8(rng() % 0x0D); // keep CR LF out of the data
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

TEST(FrameAssembler, CrLfInsideAFrameSplitsItAndBothPiecesAreDropped)
{
    CanPack f(0x0200FD05);
    f.data[2] = 0x0D;
    f.data[3] = 0x0A;
    const QByteArray bytes = AdapterLink::envelope(f) + AdapterLink::envelope(CanProtocol::discovery(3));
    FrameAssembler a;
    int frames = 0, pieces = 0;
    a.feed(bytes, [&](const QByteArray& p) {
        CanPack g;
        ++pieces;
        frames += AdapterLink::parseFrame(p, &g) ? 1 : 0;
    });
    EXPECT_EQ(pieces, 3);
    EXPECT_EQ(frames, 1);
    // A partial line is kept until cleared.
    a.feed("AT\x01", [](const QByteArray&) {});
    EXPECT_EQ(a.pending(), 3);
    a.clear();
    EXPECT_EQ(a.pending(), 0);
}
