#include "AdapterLink.h"
#include "otaThread.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <deque>
#include <functional>

// An engine on its own thread with a scripted peer: every byte array the engine writes is recorded
// and handed to `peer`, which may queue replies; replies are fed back from the test's loop so a long
// conversation never recurses.
struct EngineRig
{
    otaThread eng;
    QList<QByteArray> sent;
    QList<OtaStatus> statuses;
    std::deque<QByteArray> replies;
    std::function<void(const QByteArray&)> peer;

    EngineRig()
    {
        QObject::connect(&eng, &otaThread::WriteToSerial, [this](const QByteArray& b) {
            sent.append(b);
            if (peer)
                peer(b);
        });
        QObject::connect(&eng, &otaThread::sendState, [this](const OtaStatus& s) { statuses.append(s); });
        eng.start();
    }
    ~EngineRig()
    {
        eng.startStep(STEP_QUIT);
        eng.wait();
    }

    static QByteArray reply(quint8 type, quint8 ext, quint8 src, const QByteArray& data = QByteArray(8, 0))
    {
        CanPack f(CanProtocol::makeId(type, ext, src, CanProtocol::HostId), quint8(data.size()));
        std::memcpy(f.data, data.constData(), size_t(qMin(8, data.size())));
        return AdapterLink::envelope(f);
    }
    static QByteArray reply16(quint8 type, quint16 area2, const QByteArray& data = QByteArray(8, 0))
    {
        CanPack f(CanProtocol::makeId16(type, area2, CanProtocol::HostId));
        std::memcpy(f.data, data.constData(), size_t(qMin(8, data.size())));
        return AdapterLink::envelope(f);
    }
    static CanPack frameOf(const QByteArray& b)
    {
        CanPack f;
        AdapterLink::parseFrame(b, &f);
        return f;
    }
    void queue(const QByteArray& b) { replies.push_back(b); }
    void pump()
    {
        while (!replies.empty()) {
            const QByteArray r = replies.front();
            replies.pop_front();
            eng.getSerialData(r);
        }
    }
    int count(quint32 code) const
    {
        int n = 0;
        for (const auto& s : statuses)
            n += s.code == code ? 1 : 0;
        return n;
    }
    bool waitFor(quint32 code, int ms = 3000)
    {
        return QTest::qWaitFor(
            [&] {
                pump();
                return count(code) > 0;
            },
            ms);
    }
    OtaStatus last() const { return statuses.isEmpty() ? OtaStatus() : statuses.last(); }
};

namespace {
QByteArray le16(quint16 v)
{
    return QByteArray(1, char(v)) + QByteArray(1, char(v >> 8));
}
QByteArray raw(const char* s, int n = 4)
{
    return QByteArray(s, n);
}
QByteArray data8(std::initializer_list<int> bytes)
{
    QByteArray d(8, 0);
    int k = 0;
    for (int b : bytes)
        d[k++] = char(b);
    return d;
}
// A type-19 frame: code, sub-command, payload d2-d7.
QByteArray desc(quint16 code, quint8 sub, const QByteArray& payload = QByteArray(6, 0))
{
    return EngineRig::reply(CANCOM_PARA_STR_INFO, sub, 1, le16(code) + payload.leftJustified(6, '\0', true));
}
QByteArray nameFrames(quint16 code, const QByteArray& name, quint8 first = 0)
{
    const QByteArray n = name.leftJustified(16, '\0', true);
    return desc(code, first, n.mid(0, 6)) + desc(code, first + 1, n.mid(6, 6))
        + desc(code, first + 2, n.mid(12, 4));
}
QByteArray limitFrame(quint16 code, qint16 min, qint16 max, qint8 exp, quint8 type, quint8 flags)
{
    return desc(code, 3,
        le16(quint16(min)) + le16(quint16(max)) + QByteArray(1, char(exp))
            + QByteArray(1, char(type | (flags << 5))));
}
QByteArray valueFrame(quint16 code, quint8 type, quint32 v)
{
    QByteArray p(6, 0);
    p[1] = char(type);
    for (int k = 0; k < 4; ++k)
        p[2 + k] = char(v >> (8 * k));
    return desc(code, 4, p);
}
QByteArray endFrame(quint16 base, quint8 c0, quint8 c1, quint16 c2, quint16 c3)
{
    return EngineRig::reply(CANCOM_PARA_STR_INFO, 9, 1,
        le16(base) + QByteArray(1, char(c0)) + QByteArray(1, char(c1)) + le16(c2) + le16(c3));
}
// A small table: one text in group 0 and 1, two settings (int32, uint64), one float reading.
QByteArray smallTable(quint16 endCount2 = 2)
{
    QByteArray s;
    s += nameFrames(0x0000, "name") + nameFrames(0x0000, "motor-a", 6);
    s += nameFrames(0x1000, "version") + nameFrames(0x1000, "1.0.3", 6);
    s += nameFrames(0x2000, "limit_cur") + limitFrame(0x2000, -200, 300, -2, 6, 1) + valueFrame(0x2000, 6, 0);
    s += nameFrames(0x2001, "counter") + limitFrame(0x2001, 0, 1000, 1, 7, 1) + valueFrame(0x2001, 7, 5);
    s += nameFrames(0x3000, "vbus") + limitFrame(0x3000, 0, 0, 0, 6, 0) + valueFrame(0x3000, 6, 0);
    s += endFrame(0, 1, 1, endCount2, 1);
    return s;
}
// The same records as sent by another motor.
QByteArray fromMotor(const QByteArray& records, quint8 src)
{
    QByteArray out;
    for (int at = 0; at + 9 <= records.size();) {
        const int len = 9 + quint8(records[at + 6]);
        CanPack f = EngineRig::frameOf(records.mid(at, len));
        f.id = (f.id & ~0xFF00u) | (quint32(src) << 8);
        out += AdapterLink::envelope(f);
        at += len;
    }
    return out;
}
} // namespace

TEST(Engine, ScanProbesEveryIdOnceInPassOrder)
{
    EngineRig r;
    r.eng.startStep(STEP_GET_DEV_INFO);
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.sent.size() >= 127 && r.eng.step() == STEP_STOP; }, 3000));
    QTest::qWait(20);
    ASSERT_EQ(r.sent.size(), 127);
    QList<int> ids;
    for (const auto& b : r.sent) {
        EXPECT_EQ(EngineRig::frameOf(b).type(), CANCOM_ANNOUNCE_DEVID);
        ids << EngineRig::frameOf(b).dst();
    }
    EXPECT_EQ(ids.mid(0, 3), (QList<int> {1, 9, 17}));
    std::sort(ids.begin(), ids.end());
    for (int k = 0; k < 127; ++k)
        ASSERT_EQ(ids[k], k + 1);
}

TEST(Engine, AdapterConfigurationAdvancesOnEachOk)
{
    EngineRig r;
    // The configure step sends the five commands, each after the OK of the one before.
    r.peer = [&](const QByteArray& b) {
        if (b.startsWith("AT+"))
            r.queue("OK\r\n");
    };
    r.eng.startStep(STEP_INCONFIG);
    ASSERT_TRUE(r.waitFor(OTA_STA_INCONFIG_SUCCESS));
    r.eng.startStep(STEP_CONFIG);
    ASSERT_TRUE(r.waitFor(OTA_STA_CONFIG_SUCCESS, 5000));
    EXPECT_EQ(r.sent,
        (QList<QByteArray> {"AT+CG\r\n", "AT+CAN_MODE=0\r\n", "AT+CAN_FRAMEFORMAT=1,0,1,0\r\n",
            "AT+CAN_FILTER0=1,0,0,0\r\n", "AT+CAN_BAUD=1000000\r\n", "AT+USART_PARAM=921600,0,0,0\r\n"}));
    // An OK while idle does nothing.
    const int n = r.statuses.size();
    r.eng.getSerialData("OK\r\n");
    QTest::qWait(60);
    EXPECT_EQ(r.statuses.size(), n);
}

TEST(Engine, AnnouncementsFillTheDeviceTable)
{
    EngineRig r;
    for (int k = 0; k < 15; ++k)
        r.queue(EngineRig::reply(
            CANCOM_ANNOUNCE_DEVID, 0, quint8(k + 1), data8({k + 1, 0, 0, 0, 0, 0, 0, 0x80})));
    r.pump();
    EXPECT_EQ(r.count(OTA_STA_DETECT_MCU), 15); // the fifteenth is reported but not added
    EXPECT_EQ(r.eng.deviceCount(), 14);
    EXPECT_EQ(r.last().mcuId, 0x800000000000000Full);
    // A known MCU ID under a new CAN ID updates its entry.
    r.queue(EngineRig::reply(CANCOM_ANNOUNCE_DEVID, 0, 99, data8({3, 0, 0, 0, 0, 0, 0, 0x80})));
    r.pump();
    EXPECT_EQ(r.eng.device(2).canId, 99);
    EXPECT_EQ(r.eng.deviceCount(), 14);
    EXPECT_EQ(r.last().canId, 99);
    EXPECT_EQ(r.last().recvCanId, 99);
}

TEST(Engine, DescriptionStreamFillsTheGroups)
{
    EngineRig r;
    r.eng.setDevice0(0xABCD, 1);
    r.eng.startStep(STEP_ASK_PARA_STR_INFO);
    EXPECT_EQ(EngineRig::frameOf(r.sent.last()).u64le(), 0xABCDu);
    r.eng.getSerialData(smallTable());
    ASSERT_EQ(r.last().code, quint32(OTA_STA_GET_PARA_INFO_SUCCESS));
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.eng.step() == STEP_STOP; }, 500));
    r.eng.withParams([](ParamTable& t) {
        EXPECT_EQ(t.count(2), 2);
        EXPECT_EQ(t.entry(0, 0).valueText, "motor-a");
        EXPECT_EQ(t.entry(1, 0).valueText, "1.0.3");
        EXPECT_EQ(t.entry(2, 0).name, "limit_cur");
        EXPECT_FLOAT_EQ(t.entry(2, 0).min, -2.0f);
        EXPECT_FLOAT_EQ(t.entry(2, 0).max, 3.0f);
        EXPECT_EQ(t.entry(2, 0).decimals, 2);
        EXPECT_FLOAT_EQ(t.entry(2, 1).max, 10000.0f);
        EXPECT_EQ(t.entry(2, 1).flags, 1);
        EXPECT_EQ(ParamTable::valueToText(7, t.entry(2, 1).current), "5");
        EXPECT_EQ(t.entry(3, 0).type, 6);
    });

    // The end frame claims 10 settings where 2 came: error 512, status 39.
    r.eng.startStep(STEP_ASK_PARA_STR_INFO);
    r.eng.getSerialData(smallTable(10));
    EXPECT_EQ(r.last().code, quint32(OTA_STA_GET_PARA_INFO_ERROR));
    EXPECT_EQ(r.last().errors, 512u);
    // Name frames out of order: 0 then 2 gives bit 32 and the stream ends in error.
    r.eng.startStep(STEP_ASK_PARA_STR_INFO);
    r.eng.getSerialData(desc(0x0000, 0) + desc(0x0000, 2) + endFrame(0, 1, 0, 0, 0));
    EXPECT_EQ(r.last().code, quint32(OTA_STA_GET_PARA_INFO_ERROR));
    EXPECT_EQ(r.last().errors, 32u);
    // A stream that stops with errors recorded times out as 39, without as 38.
    r.eng.startStep(STEP_ASK_PARA_STR_INFO);
    r.eng.getSerialData(desc(0x0005, 0));
    ASSERT_TRUE(r.waitFor(OTA_STA_GET_PARA_INFO_ERROR, 3000));
    r.eng.startStep(STEP_ASK_PARA_STR_INFO);
    r.eng.getSerialData(nameFrames(0x0000, "x"));
    ASSERT_TRUE(r.waitFor(OTA_STA_GET_PARA_INFO_OVER_TIME, 3000));
}

TEST(Engine, ReadsCollectMultiFrameValuesAndReportErrors)
{
    EngineRig r;
    r.eng.startStep(STEP_ASK_PARA_STR_INFO);
    r.eng.getSerialData(smallTable());
    r.statuses.clear();
    // Start from the beginning: group 0, index 0 (a text in four frames).
    r.eng.startStep(STEP_READ_PARA_STR_START);
    EXPECT_EQ(EngineRig::frameOf(r.sent.last()).id, 0x0900FD01u);
    EXPECT_EQ(EngineRig::frameOf(r.sent.last()).u16le(0), 0x0000);
    const QByteArray text = QByteArray("hello-world").leftJustified(16, '\0');
    for (int k = 0; k < 4; ++k) {
        r.eng.getSerialData(
            EngineRig::reply(CANCOM_PARA_READ, 0, 1, le16(0) + char(10) + char(k) + text.mid(4 * k, 4)));
        if (k < 3) {
            EXPECT_EQ(r.statuses.size(), 0);
        }
    }
    ASSERT_EQ(r.last().code, quint32(OTA_STA_READ_PARA_SUCCESS));
    EXPECT_EQ(r.eng.withParams([](ParamTable& t) { return t.entry(0, 0).valueText; }), "hello-world");

    // A uint64 setting takes two frames, sequence 0 and 1.
    r.eng.setTransfer(2, 1);
    r.eng.startStep(STEP_READ_PARA_STR);
    r.eng.getSerialData(
        EngineRig::reply(CANCOM_PARA_READ, 0, 1, le16(0x2001) + char(7) + char(0) + raw("\x01\x02\0\0")));
    r.eng.getSerialData(
        EngineRig::reply(CANCOM_PARA_READ, 0, 1, le16(0x2001) + char(7) + char(1) + raw("\0\0\0\x01")));
    ASSERT_EQ(r.last().code, quint32(OTA_STA_READ_PARA_SUCCESS));
    EXPECT_EQ(
        r.eng.withParams([](ParamTable& t) { return ParamTable::valueToText(7, t.entry(2, 1).current); }),
        QString::number(0x0100000000000201ull));

    // Error bits of a reply that differs in sub-command, code, type or sequence.
    const struct
    {
        quint8 ext;
        quint16 code;
        char type, seq;
        quint32 errors;
    } bad[] = {{1, 0x2001, 7, 0, 1}, {0, 0x2002, 7, 0, 16}, {0, 0x2001, 5, 0, 2}, {0, 0x2001, 7, 1, 4}};
    for (const auto& b : bad) {
        r.eng.startStep(STEP_READ_PARA_STR);
        r.eng.getSerialData(
            EngineRig::reply(CANCOM_PARA_READ, b.ext, 1, le16(b.code) + b.type + b.seq + raw("abcd")));
        EXPECT_EQ(r.last().code, quint32(OTA_STA_READ_PARA_ERROR));
        EXPECT_EQ(r.last().errors, b.errors);
        EXPECT_EQ(r.last().transferCode, 0x2001);
    }
}

TEST(Engine, WritesSendFramesOneAckAtATimeAndCompareTheEcho)
{
    EngineRig r;
    r.eng.startStep(STEP_ASK_PARA_STR_INFO);
    r.eng.getSerialData(smallTable());
    r.statuses.clear();
    // Nothing modified: the write fails with "/no such code".
    r.eng.startStep(STEP_WRITE_PARA_STR_START);
    EXPECT_EQ(r.last().code, quint32(OTA_STA_WRITE_PARA_ERROR));
    EXPECT_EQ(CanProtocol::writeErrorText(r.last().errors), "/no such code");

    r.eng.withParams([](ParamTable& t) {
        const quint64 v = 0x0102030405060708ull;
        std::memcpy(t.entry(2, 1).buffer, &v, 8);
        t.entry(2, 1).modified = true;
    });
    r.sent.clear();
    r.eng.startStep(STEP_WRITE_PARA_STR_START);
    ASSERT_EQ(r.sent.size(), 1);
    CanPack f = EngineRig::frameOf(r.sent.last());
    EXPECT_EQ(f.id, 0x0800FD01u);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(f.data), 8).toHex(), "0120070008070605");
    // The motor echoes code, type and sequence 0; only then the second frame goes.
    r.eng.getSerialData(
        EngineRig::reply(CANCOM_PARA_WRITE, 0, 1, le16(0x2001) + char(7) + char(0) + raw("\0\0\0\0")));
    ASSERT_EQ(r.sent.size(), 2);
    f = EngineRig::frameOf(r.sent.last());
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(f.data), 8).toHex(), "0120070104030201");
    r.eng.getSerialData(
        EngineRig::reply(CANCOM_PARA_WRITE, 0, 1, le16(0x2001) + char(7) + char(1) + raw("\0\0\0\0")));
    EXPECT_EQ(r.last().code, quint32(OTA_STA_WRITE_PARA_SUCCESS));
    EXPECT_EQ(r.last().transferCode, 0x2001);

    auto answer = [&](quint8 ext, quint16 code, quint8 type, quint8 seq) {
        r.eng.startStep(STEP_WRITE_PARA_STR);
        r.eng.getSerialData(EngineRig::reply(
            CANCOM_PARA_WRITE, ext, 1, le16(code) + char(type) + char(seq) + raw("\0\0\0\0")));
        return r.last();
    };
    EXPECT_EQ(answer(1, 0x2001, 7, 0).errors, 0x8000u); // sub-command echo differs, whatever else
    EXPECT_EQ(answer(0, 0x2000, 7, 0).errors, 0x4000u);
    EXPECT_EQ(answer(0, 0x2001, 6, 0).errors, 8u);
    EXPECT_EQ(answer(0, 0x2001, 7, 1).errors, 32u);
    // The motor's error number is named, also without a text and beyond the 32 bits of the set.
    for (const auto& [number, text] :
        {std::pair<int, const char*> {6, "/value out of range"}, {12, "/error 12"}, {40, "/error 40"}}) {
        const OtaStatus s = answer(quint8(number << 2), 0x2001, 7, 0);
        EXPECT_EQ(s.code, quint32(OTA_STA_WRITE_PARA_ERROR));
        EXPECT_EQ(CanProtocol::writeErrorText(s.errors, s.motorError), text);
    }

    // Save: sub-command 2 with zero data; the reply is compared with that frame.
    r.eng.startStep(STEP_SAVE_PARA_STR);
    f = EngineRig::frameOf(r.sent.last());
    EXPECT_EQ(f.id, 0x0802FD01u);
    EXPECT_EQ(f.u64le(), 0u);
    r.eng.getSerialData(EngineRig::reply(CANCOM_PARA_WRITE, 2, 1));
    EXPECT_EQ(r.last().code, quint32(OTA_STA_SAVE_PARA_SUCCESS));
    // Factory reset returns to idle at once.
    r.eng.startStep(STEP_RECOVER_FAC);
    EXPECT_EQ(EngineRig::frameOf(r.sent.last()).id, 0x0803FD01u);
    EXPECT_EQ(r.eng.step(), quint32(STEP_STOP));
    // An unanswered write times out after 11 polls of 50 ms counted as 100, also when it is
    // started on an idle loop, which then has to be woken for it.
    QTest::qWait(300);
    QElapsedTimer t;
    t.start();
    r.eng.startStep(STEP_WRITE_PARA_STR);
    ASSERT_TRUE(r.waitFor(OTA_STA_WRITE_PARA_OVER_TIME, 3000));
    EXPECT_GE(t.elapsed(), 500);
    EXPECT_LT(t.elapsed(), 2000);
}

TEST(Engine, RepliesCountOnlyFromTheTargetAndForTheirStep)
{
    EngineRig r;
    r.eng.setDevice0(0x22, 2);
    // Motor 1's feedback in the wanted mode state does not acknowledge a mode change sent to 2.
    r.eng.startStep(STEP_SET_MOTOR_MODE);
    EXPECT_EQ(EngineRig::frameOf(r.sent.last()).id, 0x0300FD02u);
    r.eng.getSerialData(EngineRig::reply(CANCOM_MOTOR_FEEDBACK, 0x80, 1));
    // The target's feedback in reset mode (state 0) is no answer either.
    r.eng.getSerialData(EngineRig::reply(CANCOM_MOTOR_FEEDBACK, 0x00, 2));
    QTest::qWait(250);
    EXPECT_EQ(r.count(OTA_STA_MOTOR_MODE_SUCCESS), 0);
    r.eng.getSerialData(EngineRig::reply(CANCOM_MOTOR_FEEDBACK, 0x80, 2));
    ASSERT_TRUE(r.waitFor(OTA_STA_MOTOR_MODE_SUCCESS));
    // Another motor's announcement does not confirm a CAN ID change; the new ID's does, addressed
    // to the host or not.
    r.eng.setNewCanId(9);
    r.eng.startStep(STEP_SET_CAN_ID);
    const CanPack change = EngineRig::frameOf(r.sent.last());
    EXPECT_EQ(change.id, 0x0709FD02u);
    EXPECT_EQ(change.u64le(), 0x22u);
    r.eng.getSerialData(EngineRig::reply(CANCOM_ANNOUNCE_DEVID, 0, 7, data8({0x77})));
    QTest::qWait(250);
    EXPECT_EQ(r.count(OTA_STA_SET_ID_SUCCESS), 0);
    CanPack ann(CanProtocol::makeId(CANCOM_ANNOUNCE_DEVID, 0, 9, 0xFE));
    ann.setU64le(0x22);
    r.eng.getSerialData(AdapterLink::envelope(ann));
    ASSERT_TRUE(r.waitFor(OTA_STA_SET_ID_SUCCESS));

    // Load a table from motor 2; motor 1's description frames meanwhile are not mixed in.
    r.eng.startStep(STEP_ASK_PARA_STR_INFO);
    r.eng.getSerialData(desc(0x2005, 0)); // from motor 1
    r.eng.getSerialData(fromMotor(smallTable(), 2));
    ASSERT_EQ(r.last().code, quint32(OTA_STA_GET_PARA_INFO_SUCCESS));

    // A write is abandoned after its first frame; the late answer neither sends the second
    // frame nor ends the read that runs now.
    r.eng.withParams([](ParamTable& t) {
        t.entry(2, 1).modified = true;
        std::memset(t.entry(2, 1).buffer, 1, 8);
    });
    r.sent.clear();
    r.eng.startStep(STEP_WRITE_PARA_STR_START);
    ASSERT_EQ(r.sent.size(), 1);
    r.eng.setTransfer(2, 0);
    r.eng.startStep(STEP_READ_PARA_STR);
    r.statuses.clear();
    r.eng.getSerialData(
        EngineRig::reply(CANCOM_PARA_WRITE, 0, 2, le16(0x2001) + char(7) + char(0) + raw("\0\0\0\0")));
    // Sample frames stream on and end no step but the scope's set-up.
    r.eng.getSerialData(EngineRig::reply(CANCOM_PARA_UPDATE, 2, 2));
    EXPECT_EQ(r.sent.size(), 2);
    EXPECT_EQ(r.eng.step(), quint32(STEP_READ_PARA_STR));
    EXPECT_TRUE(r.statuses.isEmpty());
    r.eng.getSerialData(
        EngineRig::reply(CANCOM_PARA_READ, 0, 2, le16(0x2000) + char(6) + char(0) + raw("\0\0\0\0")));
    EXPECT_EQ(r.last().code, quint32(OTA_STA_READ_PARA_SUCCESS));
    // Nor do they end the scope's set-up, and neither does the late answer to a stop that was
    // sent again: only the set-up's own answer does.
    r.eng.startStep(STEP_SCOPE_CONFIG);
    r.eng.getSerialData(EngineRig::reply(CANCOM_PARA_UPDATE, 2, 1));
    r.eng.getSerialData(EngineRig::reply(CANCOM_PARA_UPDATE, 2, 2));
    r.eng.getSerialData(EngineRig::reply(CANCOM_PARA_UPDATE, 3, 2));
    EXPECT_EQ(r.eng.step(), quint32(STEP_SCOPE_CONFIG));
    r.eng.getSerialData(EngineRig::reply(CANCOM_PARA_UPDATE, 0, 2));
    EXPECT_EQ(r.last().code, quint32(OTA_STA_PARA_UPDATE_SUCCESS_FRESET));
    EXPECT_EQ(r.eng.step(), quint32(STEP_STOP));
}

TEST(Engine, FirmwareFramesPaddingRetryAndEnd)
{
    EngineRig r;
    r.eng.setDevice0(0x55, 3);
    r.eng.setImage(QByteArray("123456789"));
    r.eng.startStep(STEP_IN_OTA);
    EXPECT_EQ(EngineRig::frameOf(r.sent.last()).id, 0x0B00FD03u);
    r.queue(EngineRig::reply16(CANCOM_OTA_START, 3));
    ASSERT_TRUE(r.waitFor(OTA_STA_IN_OTA_MODE_SUCCESS));
    EXPECT_EQ(r.eng.step(), quint32(STEP_SEND_INFO));
    r.eng.startStep(STEP_SEND_INFO);
    CanPack f = EngineRig::frameOf(r.sent.last());
    EXPECT_EQ(f.u32le(0), 9u);
    EXPECT_EQ(f.u32le(4), 2u);
    r.eng.getSerialData(EngineRig::reply16(CANCOM_OTA_INFO, 3));
    EXPECT_EQ(r.statuses.last().code, quint32(OTA_STA_OTA_INFO_SUCCESS));
    f = EngineRig::frameOf(r.sent.last());
    EXPECT_EQ(f.id, 0x0D000003u);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(f.data), 8), "12345678");
    r.eng.getSerialData(EngineRig::reply16(CANCOM_OTA_ING, 3));
    EXPECT_EQ(r.last().code, quint32(OTA_STA_SEND_BIN_OK));
    EXPECT_EQ(r.last().framesSent, 1u);
    f = EngineRig::frameOf(r.sent.last());
    EXPECT_EQ(f.area2(), 1);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(f.data), 8).toHex(), "39ffffffffffffff");
    // A retry request names frame 0: that frame goes again.
    r.eng.getSerialData(EngineRig::reply16(CANCOM_OTA_ING, 0xF03, data8({0, 0})));
    EXPECT_EQ(r.last().code, quint32(OTA_STA_SEND_BIN_RETRY));
    EXPECT_EQ(EngineRig::frameOf(r.sent.last()).area2(), 0);
    r.eng.getSerialData(EngineRig::reply16(CANCOM_OTA_ING, 3));
    r.eng.getSerialData(EngineRig::reply16(CANCOM_OTA_ING, 3));
    EXPECT_EQ(r.last().code, quint32(OTA_STA_SEND_BIN_DONE));
    EXPECT_EQ(r.eng.step(), quint32(STEP_SEND_END));
    f = EngineRig::frameOf(r.sent.last());
    EXPECT_EQ(f.id, 0x0E000003u);
    EXPECT_EQ(f.u32le(0), 2u);
    r.eng.getSerialData(EngineRig::reply16(CANCOM_OTA_END, 0xF03, data8({1, 0})));
    EXPECT_EQ(r.last().code, quint32(OTA_STA_FAILED));
    r.eng.getSerialData(EngineRig::reply16(CANCOM_OTA_END, 3));
    EXPECT_EQ(r.last().code, quint32(OTA_STA_SUCCESS));

    r.eng.setImage(QByteArray());
    r.eng.startStep(STEP_SEND_INFO);
    EXPECT_EQ(r.last().code, quint32(OTA_STA_BINFILE_EMPTY));
    r.eng.setImage(QByteArray(0x80001, 'x'));
    r.eng.startStep(STEP_SEND_INFO);
    EXPECT_EQ(r.last().code, quint32(OTA_STA_BINFILE_SIZE_OVER_LIMIT));
    EXPECT_EQ(r.eng.step(), quint32(STEP_STOP));
    // Unacknowledged information frame: 2000 ms.
    r.eng.setImage(QByteArray(8, 'x'));
    r.eng.startStep(STEP_SEND_INFO);
    ASSERT_TRUE(r.waitFor(OTA_STA_OTA_INFO_OVER_TIME, 5000));
}

TEST(Engine, LargestImageUsesEveryFrameIndex)
{
    EngineRig r;
    r.eng.setDevice0(1, 2);
    QByteArray image(0x80000, '\0');
    for (int k = 0; k < image.size(); ++k)
        image[k] = char(k * 7);
    r.eng.setImage(image);
    QByteArray received;
    int lastIndex = -1;
    r.peer = [&](const QByteArray& b) {
        const CanPack f = EngineRig::frameOf(b);
        if (f.type() == CANCOM_OTA_ING) {
            received.append(reinterpret_cast<const char*>(f.data), 8);
            lastIndex = f.area2();
            r.queue(EngineRig::reply16(CANCOM_OTA_ING, 2));
        } else if (f.type() == CANCOM_OTA_INFO) {
            r.queue(EngineRig::reply16(CANCOM_OTA_INFO, 2));
        } else if (f.type() == CANCOM_OTA_END) {
            r.queue(EngineRig::reply16(CANCOM_OTA_END, 2));
        }
    };
    r.eng.startStep(STEP_SEND_INFO);
    ASSERT_TRUE(r.waitFor(OTA_STA_SUCCESS, 60000));
    EXPECT_EQ(r.eng.frameCount(), 65536u);
    EXPECT_EQ(lastIndex, 65535);
    EXPECT_EQ(received, image);
    EXPECT_EQ(r.count(OTA_STA_SEND_BIN_OK), 65535);
    EXPECT_EQ(r.count(OTA_STA_SEND_BIN_DONE), 1);
}

TEST(Engine, OscilloscopeConfigurationSamplesAndStop)
{
    EngineRig r;
    r.eng.startStep(STEP_ASK_PARA_STR_INFO);
    // Five float settings after the channel base 0, three float readings.
    QByteArray t;
    for (int i = 0; i < 6; ++i)
        t += nameFrames(quint16(0x2000 | i), "s" + QByteArray::number(i))
            + limitFrame(quint16(0x2000 | i), 0, 1, 0, 6, 1);
    for (int i = 0; i < 3; ++i)
        t += nameFrames(quint16(0x3000 | i), "r" + QByteArray::number(i))
            + limitFrame(quint16(0x3000 | i), 0, 0, 0, 6, 0);
    t += endFrame(0, 0, 0, 6, 3);
    r.eng.getSerialData(t);
    ASSERT_EQ(r.last().code, quint32(OTA_STA_GET_PARA_INFO_SUCCESS));

    r.eng.setScopeFrequency(20);
    std::array<quint16, 8> types {1, 0, 2, 3, 4, 5, 0, 0}; // five channels; 6 and 7 map to group 3
    types[6] = 7;
    ASSERT_EQ(r.eng.configureScopeChannels(types), 6);
    r.eng.startStep(STEP_SCOPE_SET_FRE);
    EXPECT_EQ(EngineRig::frameOf(r.sent.last()).u16le(0), 20);
    EXPECT_EQ(r.eng.step(), quint32(STEP_SCOPE_CONFIG));
    // Sample period 1000 us.
    QByteArray period(8, 0);
    const float us = 1000.0f;
    std::memcpy(period.data(), &us, 4);
    r.eng.getSerialData(EngineRig::reply(CANCOM_PARA_UPDATE, 0, 1, period));
    ASSERT_EQ(r.last().code, quint32(OTA_STA_PARA_UPDATE_SUCCESS_FRESET));
    r.eng.setScopeCursor(0);
    r.eng.startStep(STEP_SCOPE_SET_CHANNAL);
    CanPack f = EngineRig::frameOf(r.sent.last());
    EXPECT_EQ(f.ext(), 0x51); // count-1 = 5, group 0, sub 1
    EXPECT_EQ(f.u16le(0), 0x2001);
    EXPECT_EQ(f.u16le(6), 0x2004);
    r.eng.getSerialData(EngineRig::reply(CANCOM_PARA_UPDATE, 1, 1));
    f = EngineRig::frameOf(r.sent.last());
    EXPECT_EQ(f.ext(), 0x55); // group 1
    EXPECT_EQ(f.u16le(0), 0x2005);
    EXPECT_EQ(f.u16le(2), 0x3001); // channel 7 = index 7 - 6 in group 3
    EXPECT_EQ(f.u16le(4), 0);
    // The motor echoes six float types (6) in nibbles.
    r.eng.getSerialData(EngineRig::reply(CANCOM_PARA_UPDATE, 1, 1, data8({0x66, 0x66, 0x66})));
    ASSERT_EQ(r.last().code, quint32(OTA_STA_PARA_UPDATE_SUCCESS_CHSET));
    r.eng.withScope([](const ScopeDecoder& d) { EXPECT_EQ(d.recordLength(), 26); });

    int notified = 0;
    QObject::connect(&r.eng, &otaThread::scopeToShow, [&] { ++notified; });
    r.eng.startStep(STEP_SCOPE_START);
    auto record = [&](quint16 counter, float base) {
        QByteArray rec = le16(counter);
        for (int k = 0; k < 6; ++k) {
            const float v = base + float(k);
            rec.append(reinterpret_cast<const char*>(&v), 4);
        }
        rec = rec.leftJustified(32, '\0');
        for (int fr = 0; fr < 4; ++fr)
            r.eng.getSerialData(
                EngineRig::reply(CANCOM_PARA_UPDATE, quint8(2 | (fr << 4)), 1, rec.mid(fr * 8, 8)));
    };
    record(10, 1.0f);
    record(20, 2.0f);
    EXPECT_EQ(notified, 2);
    EXPECT_TRUE(r.eng.scopeRunning());
    const ScopeBuffers& b = *r.eng.scopeBuffers();
    ASSERT_EQ(b[0].size(), 2);
    EXPECT_NEAR(b[0].at(1).key, 0.010, 1e-6);
    EXPECT_DOUBLE_EQ(b[6].at(1).value, 7.0);
    EXPECT_EQ(b[1].size(), 0);

    // Stop: the stop frame repeats until the motor says it stopped.
    r.eng.startStep(STEP_SCOPE_STOP);
    QTest::qWait(40);
    r.eng.getSerialData(EngineRig::reply(CANCOM_PARA_UPDATE, 3, 1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.eng.step() == STEP_STOP; }, 500));
    EXPECT_EQ(r.last().code, quint32(OTA_STA_PARA_UPDATE_SUCCESS_END));
    // A type mismatch in the channel echo fails the run with bit 64.
    r.eng.setScopeCursor(8);
    r.eng.startStep(STEP_SCOPE_CONFIG);
    r.eng.getSerialData(EngineRig::reply(CANCOM_PARA_UPDATE, 1, 1, data8({0x66, 0x56, 0x66})));
    EXPECT_EQ(r.last().code, quint32(OTA_STA_PARA_UPDATE_ERROR));
    EXPECT_EQ(r.last().errors, 64u);
}

TEST(Engine, StopFrameToASilentMotorEndsWithTheTimeOut)
{
    EngineRig r;
    // A sample frame marks sampling as running; then the motor falls silent.
    r.eng.getSerialData(EngineRig::reply(CANCOM_PARA_UPDATE, 2, 1));
    ASSERT_TRUE(r.eng.scopeRunning());
    r.sent.clear();
    r.eng.startStep(STEP_SCOPE_STOP);
    ASSERT_TRUE(r.waitFor(OTA_STA_PARA_UPDATE_OVER_TIME, 5000));
    EXPECT_EQ(r.eng.step(), quint32(STEP_STOP));
    const int sent = r.sent.size();
    EXPECT_GE(sent, 2);
    EXPECT_LE(sent, 1000 / 2 + 1);
    QTest::qWait(50);
    EXPECT_EQ(r.sent.size(), sent);
}
