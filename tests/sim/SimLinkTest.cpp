// Parameter writes the host seldom or never makes, and the motor's error numbers, in raw bytes
// over the terminal. Discovery, the description stream, reads, writes of texts and floats, saving
// and the factory reset are exercised end to end by the motor link and command-line tests.
#include "SimFixture.h"

namespace {
// Writes a value frame by frame, each frame after the previous answer. Returns the answers.
QVector<WireFrame> writeParam(SimFixture& fx, quint16 code, int type, QByteArray value, int firstSeq = 0)
{
    QVector<WireFrame> acks;
    value = value.leftJustified((value.size() + 3) / 4 * 4, '\0');
    for (int seq = firstSeq; seq * 4 < value.size(); ++seq) {
        auto a = fx.ask(8, 0, 1, le16(code) + char(type) + char(seq) + value.mid(seq * 4, 4));
        if (!a)
            break;
        acks << *a;
        if (a->ext() >> 2)
            break;
    }
    return acks;
}
int errorOf(const WireFrame& f)
{
    return f.ext() >> 2;
}
} // namespace

TEST_F(SimFixture, WritesOfEachKindWithTheMotorsErrorNumbers)
{
    startSim();
    const double kt = 1.25;
    struct Row
    {
        quint16 code;
        int type;
        QByteArray value;
        int error;
        QVariant stored; // invalid: not checked
    };
    const Row rows[] = {
        // Eight-byte values, which the host seldom writes, take two acknowledged frames.
        {quint16(code("Kt")), 9, QByteArray(reinterpret_cast<const char*>(&kt), 8), 0, 1.25},
        {quint16(code("TotalRevs")), 8, le64(quint64(-5)), 0, qlonglong(-5)},
        // Out of range, unwritable (Config, read-only groups), type error, no such code.
        {quint16(code("limit_cur")), 6, f32le(30.0f), 6, 23.0},
        {quint16(code("CAN_ID")), 0, QByteArray(1, char(0)), 6, {}},
        {0x1000, 10, "9.9.9", 2, {}},
        {0x3000, 6, f32le(1.0f), 2, {}},
        {quint16(code("loc_kp")), 5, le32(1), 3, 30.0},
        {quint16(0x2000 | 0xFF0), 6, f32le(1.0f), 1, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        const QVector<WireFrame> acks = writeParam(*this, row.code, row.type, row.value);
        ASSERT_FALSE(acks.isEmpty());
        EXPECT_EQ(errorOf(acks.last()), row.error);
        if (row.error == 0) {
            EXPECT_EQ(acks.size(), (row.value.size() + 3) / 4);
            EXPECT_EQ(acks.last().b(3), acks.size() - 1);
        }
        if (row.stored.isValid()) {
            EXPECT_EQ(server->parameterValue(0, row.code).toString(), row.stored.toString());
        }
    }
    // Wrong frame (a continuation without its start), loss frame (a sequence number skipped).
    EXPECT_EQ(errorOf(writeParam(*this, quint16(code("Kt")), 9, QByteArray(8, '\0'), 1).last()), 5);
    auto a = ask(8, 0, 1, le16(quint16(code("Kt"))) + char(9) + char(0) + QByteArray(4, '\0'));
    ASSERT_TRUE(a);
    EXPECT_EQ(errorOf(*a), 0);
    a = ask(8, 0, 1, le16(quint16(code("Kt"))) + char(9) + char(2) + QByteArray(4, '\0'));
    ASSERT_TRUE(a);
    EXPECT_EQ(errorOf(*a), 4);
    EXPECT_DOUBLE_EQ(value("Kt"), 1.25) << "an interrupted write changes nothing";
    // Unknown sub-command.
    a = ask(8, 1, 1, QByteArray(8, '\0'));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->ext(), (10 << 2) | 1);

    // Locked while running (error 7), and saving is forbidden while running (error 8).
    ASSERT_TRUE(ask(3, 0, 1, QByteArray(8, '\0')));
    EXPECT_EQ(errorOf(writeParam(*this, quint16(code("ElecOffset")), 6, f32le(1.0f)).last()), 7);
    a = ask(8, 2, 1, QByteArray(8, '\0'));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->ext(), (8 << 2) | 2);
    ASSERT_TRUE(ask(4, 0, 1, QByteArray(8, '\0')));
    EXPECT_EQ(errorOf(writeParam(*this, quint16(code("ElecOffset")), 6, f32le(1.0f)).last()), 0);
}
