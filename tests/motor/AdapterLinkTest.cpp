#include "AdapterLink.h"
#include "CanProtocol.h"
#include "FrameAssembler.h"

#include <QList>

#include <gtest/gtest.h>

#include <cstring>

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

TEST(FrameAssembler, RecordsHoldingCrLfSurviveAndNoiseStaysBounded)
{
    // An announcement whose MCU ID holds 0D 0A, then a frame whose identifier does.
    CanPack a(CanProtocol::makeId(0, 0, 5, 0xFE));
    const quint8 mcu[8] = {0x0D, 0x0A, 0x0D, 0x0A, 0x0A, 0x0D, 0x0D, 0x0A};
    std::memcpy(a.data, mcu, 8);
    CanPack b(0x0D0A0D0A & 0x1FFFFFFF, 2);
    b.data[0] = 0x0D;
    b.data[1] = 0x0A;
    // Cut anywhere, with an adapter reply between: the same three pieces.
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
