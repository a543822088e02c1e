// Discovery, the description stream, reads and writes,
// spoken over the simulator's terminal in raw bytes.
#include "SimFixture.h"

#include <map>

using sim::SimConfig;

TEST_F(SimFixture, DiscoveryOfSeveralMotors)
{
    SimConfig cfg;
    cfg.motors = {{5, 0x0123456789ABCDEFull}, {9, 0x1122334455667788ull}, {100, 0}};
    startSim(cfg);
    // The probe of the byte example reaches CAN ID 5.
    client.send(QByteArray::fromHex("415400 07E82C 01 00 0D0A").replace(' ', ""));
    auto first = client.nextFrame();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->id, 0x000005FDu);
    EXPECT_EQ(first->u64(0), 0x0123456789ABCDEFull);

    // All 127 IDs back to back, in the scan's order.
    client.clear();
    for (int pass = 1; pass <= 8; ++pass)
        for (int id = pass; id <= 127; id += 8)
            client.sendFrame(0, 0, id, QByteArray(1, '\0'));
    std::map<int, quint64> seen;
    for (const WireFrame& f : client.framesUntilQuiet(300)) {
        EXPECT_EQ(f.type(), 0);
        EXPECT_EQ(f.dst(), 0xFD);
        EXPECT_EQ(f.data.size(), 8);
        seen[f.src()] = f.u64(0);
    }
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[5], 0x0123456789ABCDEFull);
    EXPECT_EQ(seen[9], 0x1122334455667788ull);
    EXPECT_EQ(seen[100], sim::SimServer::defaultMcuId(100));
    EXPECT_EQ(server->framesReceived(), 128u);
}

namespace {
struct Described
{
    quint16 code = 0;
    QByteArray name, text, value;
    qint16 lo = 0, hi = 0;
    qint8 exp = 0;
    int type = -1, flags = 0;
    QVector<int> subs;
};
} // namespace

TEST_F(SimFixture, DescriptionStreamEntryByEntry)
{
    startSim();
    const quint64 mcu = server->motorMcuId(0);
    // Another motor's MCU ID gets no answer.
    EXPECT_FALSE(ask(19, 0, 1, le64(mcu ^ 1), 300));

    client.clear();
    client.sendFrame(19, 0, 1, le64(mcu));
    const QVector<WireFrame> frames = client.framesUntilQuiet(300);
    ASSERT_GT(frames.size(), 100);
    std::vector<Described> entries;
    for (int k = 0; k < frames.size() - 1; ++k) {
        const WireFrame& f = frames[k];
        ASSERT_EQ(f.type(), 19);
        ASSERT_EQ(f.src(), 1);
        ASSERT_EQ(f.dst(), 0xFD);
        const int sub = f.ext();
        if (sub == 0) {
            entries.emplace_back();
            entries.back().code = f.u16(0);
        }
        ASSERT_FALSE(entries.empty());
        Described& e = entries.back();
        ASSERT_EQ(f.u16(0), e.code) << "frame " << k;
        e.subs << sub;
        switch (sub) {
        case 0:
        case 1:
            e.name += f.data.mid(2, 6);
            break;
        case 2:
            e.name += f.data.mid(2, 4);
            break;
        case 6:
        case 7:
            e.text += f.data.mid(2, 6);
            break;
        case 8:
            e.text += f.data.mid(2, 4);
            break;
        case 3:
            e.lo = qint16(f.u16(2));
            e.hi = qint16(f.u16(4));
            e.exp = qint8(f.b(6));
            e.type = f.b(7) & 0x1F;
            e.flags = f.b(7) >> 5;
            break;
        case 4:
            EXPECT_EQ(f.b(3), e.type);
            e.value = f.data.mid(4, 4);
            break;
        case 5:
            e.value += f.data.mid(4, 4);
            break;
        default:
            FAIL() << "unexpected sub-command " << sub;
        }
    }
    const WireFrame& end = frames.last();
    ASSERT_EQ(end.ext(), 9);
    int counts[4] = {0, 0, 0, 0};
    int expectedIndex[4] = {0, 0, 0, 0};
    int lastGroup = 0;
    for (const Described& e : entries) {
        const int g = e.code >> 12;
        ASSERT_GE(g, lastGroup) << "groups in order";
        lastGroup = g;
        EXPECT_EQ(e.code & 0xFFF, expectedIndex[g]++) << "indices in order";
        ++counts[g];
        const QByteArray name = e.name.left(e.name.indexOf('\0') < 0 ? 16 : e.name.indexOf('\0'));
        EXPECT_EQ(server->parameterCode(0, QString::fromLatin1(name)), e.code) << name.constData();
        if (g < 2) {
            EXPECT_EQ(e.subs, QVector<int>({0, 1, 2, 6, 7, 8}));
            const QByteArray text = e.text.left(e.text.indexOf('\0') < 0 ? 16 : e.text.indexOf('\0'));
            EXPECT_EQ(QString::fromUtf8(text), server->parameterValue(0, e.code).toString());
        } else {
            const bool wide = e.type == 7 || e.type == 8 || e.type == 9;
            EXPECT_EQ(e.subs, wide ? QVector<int>({0, 1, 2, 3, 4, 5}) : QVector<int>({0, 1, 2, 3, 4}));
            EXPECT_LE(e.type, 9);
        }
    }
    EXPECT_EQ(end.b(2), counts[0]);
    EXPECT_EQ(end.b(3), counts[1]);
    EXPECT_EQ(end.u16(4), counts[2]);
    EXPECT_EQ(end.u16(6), counts[3]);
    const int base = end.u16(0);
    ASSERT_LT(base + 1, counts[2]);

    auto entry = [&](const char* n) -> const Described& {
        for (const Described& e : entries)
            if (e.name.startsWith(n) && (e.name.size() == int(qstrlen(n)) || e.name[int(qstrlen(n))] == '\0'))
                return e;
        static Described none;
        ADD_FAILURE() << "no entry " << n;
        return none;
    };
    EXPECT_EQ(entry("Name").text.left(9), QByteArray("R58 Motor"));
    EXPECT_EQ(entry("BootCodeVersion").code, 0x1000);
    const Described& cur = entry("limit_cur");
    EXPECT_EQ(cur.type, 6);
    EXPECT_EQ(cur.lo, 0);
    EXPECT_EQ(cur.hi, 2300);
    EXPECT_EQ(cur.exp, -2);
    float f;
    memcpy(&f, cur.value.constData(), 4);
    EXPECT_FLOAT_EQ(f, 23.0f);
    const Described& kt = entry("Kt");
    EXPECT_EQ(kt.type, 9);
    double d;
    memcpy(&d, kt.value.constData(), 8);
    EXPECT_DOUBLE_EQ(d, 0.87);
    EXPECT_EQ(entry("CAN_ID").value.at(0), 1);
    EXPECT_EQ(entry("PwmFreq").flags, 7);
    // Configuration at and below the channel base, live set-points above it.
    EXPECT_LE(int(entry("RunTimeLimit").code & 0xFFF), base);
    EXPECT_EQ(int(entry("run_mode").code & 0xFFF), base + 1);
    EXPECT_EQ(entry("mechPos").code, 0x3000);
}

TEST_F(SimFixture, ReadsOfEveryEntryAndOfMissingCodes)
{
    startSim();
    // Value bytes per type: 1-byte, 2-byte, 4-byte, 8-byte numbers and 16-byte texts.
    static const int sizes[] = {1, 1, 2, 2, 4, 4, 4, 8, 8, 8, 16};
    int checked = 0;
    for (int g = 0; g < 4; ++g) {
        for (int i = 0;; ++i) {
            const quint16 c = quint16((g << 12) | i);
            client.clear();
            client.sendFrame(9, 0, 1, pad8(le16(c)));
            auto first = client.nextFrame();
            ASSERT_TRUE(first);
            ASSERT_EQ(first->type(), 9);
            EXPECT_EQ(first->u16(0), c);
            if (first->ext() == 1) // no such code: end of the group
                break;
            ASSERT_EQ(first->ext(), 0);
            const int type = first->b(2);
            ASSERT_LE(type, 10);
            if (g < 2) {
                EXPECT_EQ(type, 10) << "groups 0 and 1 hold texts";
            }
            // Frame k carries bytes 4k..4k+3 with its sequence number; nothing follows the last.
            QByteArray value = first->data.mid(4, 4);
            EXPECT_EQ(first->b(3), 0);
            for (int s = 1; s < (sizes[type] + 3) / 4; ++s) {
                auto next = client.nextFrame();
                ASSERT_TRUE(next);
                EXPECT_EQ(next->u16(0), c);
                EXPECT_EQ(next->b(2), type);
                EXPECT_EQ(next->b(3), s);
                value += next->data.mid(4, 4);
            }
            EXPECT_FALSE(client.nextFrame(20)) << "no extra frame for 0x" << std::hex << c;
            if (type == 10) {
                EXPECT_EQ(QString::fromUtf8(value.left(value.indexOf('\0') < 0 ? 16 : value.indexOf('\0'))),
                    server->parameterValue(0, c).toString());
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 50);
    // Little-endian values of each width.
    auto read = [&](const char* name, int frames) {
        client.clear();
        client.sendFrame(9, 0, 1, pad8(le16(quint16(code(name)))));
        QByteArray v;
        for (int k = 0; k < frames; ++k)
            if (auto f = client.nextFrame())
                v += f->data.mid(4, 4);
        return v;
    };
    EXPECT_EQ(read("CAN_ID", 1).at(0), 1);
    float f;
    memcpy(&f, read("limit_cur", 1).constData(), 4);
    EXPECT_FLOAT_EQ(f, 23.0f);
    double d;
    memcpy(&d, read("Kt", 2).constData(), 8);
    EXPECT_DOUBLE_EQ(d, 0.87);
    // A code in no group at all.
    auto none = ask(9, 0, 1, pad8(le16(0x5001)));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->ext(), 1);
}

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
    const quint16 master = quint16(code("CAN_MASTER"));
    auto acks = writeParam(*this, master, 0, QByteArray(1, char(0x7E)));
    ASSERT_EQ(acks.size(), 1);
    EXPECT_EQ(acks[0].type(), 8);
    EXPECT_EQ(acks[0].ext(), 0);
    EXPECT_EQ(acks[0].u16(0), master);
    EXPECT_EQ(acks[0].b(2), 0);
    EXPECT_EQ(acks[0].b(3), 0);
    EXPECT_EQ(value("CAN_MASTER"), 0x7E);

    // int8, int16, uint16, uint32, float, double, uint64 and int64 in range.
    EXPECT_EQ(errorOf(writeParam(*this, quint16(code("DirSign")), 1, QByteArray(1, char(-1))).last()), 0);
    EXPECT_EQ(value("DirSign"), -1);
    EXPECT_EQ(errorOf(writeParam(*this, quint16(code("TempOffset")), 3, le16(quint16(-42))).last()), 0);
    EXPECT_EQ(value("TempOffset"), -42);
    EXPECT_EQ(errorOf(writeParam(*this, quint16(code("PwmFreq")), 2, le16(16000)).last()), 0);
    EXPECT_EQ(errorOf(writeParam(*this, quint16(code("CAN_TIMEOUT")), 4, le32(500)).last()), 0);
    EXPECT_EQ(errorOf(writeParam(*this, quint16(code("loc_kp")), 6, f32le(42.5f)).last()), 0);
    EXPECT_DOUBLE_EQ(value("loc_kp"), 42.5);
    double kt = 1.25;
    acks = writeParam(*this, quint16(code("Kt")), 9, QByteArray(reinterpret_cast<const char*>(&kt), 8));
    ASSERT_EQ(acks.size(), 2) << "an 8-byte value takes two acknowledged frames";
    EXPECT_EQ(acks[1].b(3), 1);
    EXPECT_EQ(errorOf(acks[1]), 0);
    EXPECT_DOUBLE_EQ(value("Kt"), 1.25);
    EXPECT_EQ(errorOf(writeParam(*this, quint16(code("RunTimeLimit")), 7, le64(3600000)).last()), 0);
    EXPECT_EQ(server->parameterValue(0, quint16(code("RunTimeLimit"))).toULongLong(), 3600000u);
    EXPECT_EQ(errorOf(writeParam(*this, quint16(code("TotalRevs")), 8, le64(quint64(-5))).last()), 0);
    EXPECT_EQ(server->parameterValue(0, quint16(code("TotalRevs"))).toLongLong(), -5);

    // A text in four frames.
    acks = writeParam(*this, 0x0001, 10, QByteArray("bench left 3").leftJustified(16, '\0'));
    ASSERT_EQ(acks.size(), 4);
    EXPECT_EQ(acks[3].b(3), 3);
    EXPECT_EQ(server->parameterValue(0, 0x0001).toString(), QString("bench left 3"));

    // Errors: out of range, unwritable (read-only groups), type error, no such code.
    EXPECT_EQ(errorOf(writeParam(*this, quint16(code("limit_cur")), 6, f32le(30.0f)).last()), 6);
    EXPECT_DOUBLE_EQ(value("limit_cur"), 23.0);
    EXPECT_EQ(errorOf(writeParam(*this, quint16(code("CAN_ID")), 0, QByteArray(1, char(0))).last()), 6);
    EXPECT_EQ(errorOf(writeParam(*this, 0x1000, 10, "9.9.9").last()), 2);
    EXPECT_EQ(errorOf(writeParam(*this, 0x3000, 6, f32le(1.0f)).last()), 2);
    EXPECT_EQ(errorOf(writeParam(*this, quint16(code("loc_kp")), 5, le32(1)).last()), 3);
    EXPECT_EQ(errorOf(writeParam(*this, quint16(0x2000 | 0xFF0), 6, f32le(1.0f)).last()), 1);
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

    // Save, then factory reset restores the defaults.
    a = ask(8, 2, 1, QByteArray(8, '\0'));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->ext(), 2);
    a = ask(8, 3, 1, QByteArray(8, '\0'));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->ext(), 3);
    EXPECT_DOUBLE_EQ(value("loc_kp"), 30.0);
    EXPECT_DOUBLE_EQ(value("Kt"), 0.87);
    EXPECT_EQ(value("CAN_MASTER"), 0xFD);
    EXPECT_EQ(server->parameterValue(0, 0x0001).toString(), QString());
}
