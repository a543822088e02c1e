#include <ParamBackup.h>
#include <ParamRow.h>
#include <ParamTable.h>

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

namespace {
constexpr int U8 = 0, U16 = 2, I8 = 1, I32 = 5, F32 = 6, U64 = 7, F64 = 9;

QByteArray le16(int v)
{
    return QByteArray(1, char(v)) + char(v >> 8);
}

// One frame of a motor's description as motor 5 sends it (type 19, sub-command in ext): the code,
// then up to six bytes.
quint32 describe(ParamTable& t, int sub, quint16 code, const QByteArray& rest)
{
    CanPack f((quint32(19) << 24) | (quint32(sub) << 16) | (5u << 8) | 0xFD);
    std::memcpy(f.data, (le16(code) + rest).constData(), size_t(qMin(rest.size() + 2, 8)));
    bool ended = false;
    return t.describe(f, &ended);
}

quint32 describeText(ParamTable& t, int first, quint16 code, const QByteArray& text)
{
    const QByteArray b = text.leftJustified(16, '\0', true);
    quint32 bits = 0;
    for (int k = 0; k < 3; ++k)
        bits |= describe(t, first + k, code, b.mid(6 * k, 6));
    return bits;
}

// A name, limits (raw x 10^exp), a type and a value (first four bytes).
quint32 describeValue(ParamTable& t, quint16 code, const QByteArray& name, quint8 type, qint16 lo, qint16 hi,
    qint8 exp, quint8 flags)
{
    quint32 bits = describeText(t, 0, code, name);
    bits |= describe(t, 3, code, le16(lo) + le16(hi) + char(exp) + char(type | (flags << 5)));
    return bits | describe(t, 4, code, QByteArray(1, '\0') + char(type));
}

quint32 endDescription(ParamTable& t, quint16 base, int n0, int n1, int n2, int n3)
{
    return describe(t, 9, base, QByteArray(1, char(n0)) + char(n1) + le16(n2) + le16(n3));
}

QString hex(const ParamRow::Check& c)
{
    return QByteArray(reinterpret_cast<const char*>(c.bytes), 8).toHex();
}
} // namespace

TEST(ParamRow, TypedNumbersAreCheckedAgainstTheirTypeAndLimits)
{
    const auto M = ParamRow::Modified, U = ParamRow::Unchanged, R = ParamRow::Rejected;
    const char* range = "Value out of range";
    const char* ascii = "Please input ASCII charaters";
    const struct
    {
        const char* text;
        int type;
        float min, max;
        int decimals;
        const char* stored;
        ParamRow::Verdict verdict;
        const char* note; // checked when set
    } rows[] = {
        {"127", U8, 1, 127, 0, "5", M, nullptr}, // limits are inclusive
        {"1", U8, 1, 127, 0, "5", M, nullptr},
        {"128", U8, 1, 127, 0, "5", R, range},
        {"0", U8, 1, 127, 0, "5", R, range},
        {"30.01", F32, 0, 30, 2, "1.000000", R, range},
        // A negative number for an unsigned type and a fraction for an integer do not parse.
        {"-1", U16, 0, 60000, 0, "0", R, ascii},
        {"1.5", I32, -100, 100, 0, "0", R, ascii},
        {"abc", F32, -1, 1, 0, "0", R, ascii},
        {"", I8, -1, 1, 0, "0", R, ascii},
        // NaN passes both limit comparisons; it must not reach the motor.
        {"nan", F32, -1, 1, 0, "0", R, nullptr},
        {"inf", F64, -1e9f, 1e9f, 0, "0", R, nullptr},
        {"1", 10, 0, 10, 0, "", R, nullptr}, // a text type is no number
        // The stored value typed again (in another spelling) is no change.
        {"10", F32, 0, 30, 2, "10.000000", U, nullptr},
        {"-1", I8, -1, 1, 0, "-1", U, nullptr},
    };
    for (const auto& r : rows) {
        const ParamRow::Check c
            = ParamRow::checkNumber(0, r.text, r.type, r.min, r.max, r.decimals, r.stored);
        EXPECT_EQ(c.verdict, r.verdict) << r.text;
        if (r.note) {
            EXPECT_EQ(c.note, r.note) << r.text;
        }
    }
}

TEST(ParamRow, FloatLimitsAreAcceptedAsTheTableShowsThem)
{
    // 0.7 and 0.001 are not exact floats: 0.7f lies below 0.7 and 0.001f above 0.001, so a
    // comparison in float rejected the very limits the Maximum and Minimum columns print.
    ParamTable t;
    t.beginDescription();
    describeValue(t, 0x2000, "gain", F32, 0, 70, -2, 1);
    describeValue(t, 0x2001, "Kt", F64, 1, 5000, -3, 1);
    const ParamEntry& gain = t.entry(2, 0);
    const ParamEntry& kt = t.entry(2, 1);
    EXPECT_EQ(ParamTable::limitToText(F32, gain.max, gain.decimals), "0.70");
    EXPECT_EQ(ParamTable::limitToText(F64, kt.min, kt.decimals), "0.001");
    const auto check = [](const ParamEntry& e, int type, const char* text) {
        return ParamRow::checkNumber(0, text, type, e.min, e.max, e.decimals, "0.5").verdict;
    };
    EXPECT_EQ(check(gain, F32, "0.70"), ParamRow::Modified);
    EXPECT_EQ(check(gain, F32, "0.701"), ParamRow::Rejected);
    EXPECT_EQ(check(kt, F64, "0.001"), ParamRow::Modified);
    EXPECT_EQ(check(kt, F64, "0.0009"), ParamRow::Rejected);
    EXPECT_EQ(check(kt, F64, "5"), ParamRow::Modified);
}

TEST(ParamRow, ValuesAreConvertedIntoTheTypeAndCompareAsFormattedText)
{
    const ParamRow::Check f = ParamRow::checkNumber(0x18, "12.5", F32, 0, 30, 2, "10.000000");
    ASSERT_EQ(f.verdict, ParamRow::Modified);
    EXPECT_EQ(f.note, "Addr[0x0018] modified");
    EXPECT_EQ(f.text, "12.500000");
    EXPECT_EQ(hex(f), "0000484100000000");
    const ParamRow::Check big = ParamRow::checkNumber(0, "30000000", U64, 0, 3e7f, 0, "0");
    ASSERT_EQ(big.verdict, ParamRow::Modified);
    EXPECT_EQ(hex(big), "80c3c90100000000");
}

TEST(ParamRow, StringsMustBeAsciiAndOnlySixteenBytesTravel)
{
    const ParamRow::Check r = ParamRow::checkString(2, "abcdefghijklmnopqrst", "old");
    ASSERT_EQ(r.verdict, ParamRow::Modified);
    EXPECT_EQ(r.note, "Addr[0x0002] modified");
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(r.bytes)), QByteArray("abcdefghijklmnop"));
    EXPECT_EQ(ParamRow::checkString(0, QString::fromUtf8("mot\xc3\xb6r"), "x").note,
        "Please input ASCII charaters");
    EXPECT_EQ(ParamRow::checkString(0, "same", "same").verdict, ParamRow::Unchanged);
}

TEST(ParamRow, RowsShowEachGroupAsTheTableDoes)
{
    ParamTable t;
    t.beginDescription();
    describeText(t, 0, 0x0000, "Name");
    describeText(t, 6, 0x0000, "R58 Motor");
    describeValue(t, 0x2000, "CAN_ID", U8, 1, 127, 0, 1);
    describeValue(t, 0x2001, "limit_spd", F32, 0, 3000, -2, 1);
    describeValue(t, 0x2002, "run_mode", U8, 0, 8, 0, 0);
    describeValue(t, 0x2003, "big", U16, 1, 20, 1, 1);
    EXPECT_EQ(endDescription(t, 1, 1, 0, 4, 0), 0u);
    EXPECT_EQ(t.describedBy(), 5);
    const QVector<ParamRow> rows = ParamRow::all(t);
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows[0].cells(), QStringList({"0X0000", "Name", "String", "R/W", "", "", "R58 Motor"}));
    EXPECT_EQ(rows[1].cells(), QStringList({"0X2000", "CAN_ID", "uint8", "Config", "127", "1", "0"}));
    EXPECT_EQ(
        rows[2].cells(), QStringList({"0X2001", "limit_spd", "float", "R/W", "30.00", "0.00", "0.000000"}));
    EXPECT_FALSE(rows[3].writable); // a setting without the flag
    // Exponent 1: ten times the transmitted integers, printed without decimals.
    EXPECT_EQ(rows[4].cells().mid(4, 2), QStringList({"200", "10"}));
    EXPECT_TRUE(rows[0].writable && rows[2].writable && !rows[1].writable);
}

TEST(ParamRow, MoreEntriesThanAGroupHoldsStopAtItsCapacityAndFailTheDescription)
{
    ParamTable t;
    t.beginDescription();
    quint32 bits = 0;
    for (int i = 0; i < 40; ++i)
        bits |= describeText(t, 0, quint16(0x1000 | i), "t" + QByteArray::number(i));
    EXPECT_EQ(t.count(1), 32);
    EXPECT_EQ(t.dropped(1), 8);
    EXPECT_TRUE(bits & 16);
    // The end frame's count is the described one: no second error for the same entries.
    EXPECT_EQ(endDescription(t, 0, 0, 40, 0, 0), 0u);
    EXPECT_EQ(t.describedBy(), 0); // an incomplete description belongs to nobody
    // Channel mapping and rows stay inside the arrays.
    EXPECT_EQ(ParamRow::all(t).size(), 32);
    quint16 code = 1;
    quint8 type = 1;
    t.mapChannel(300, &code, &type);
    EXPECT_EQ(code, 0);

    // A new description starts over and clears pending edits made against the old one.
    t.entry(1, 0).modified = true;
    const quint32 before = t.generation();
    t.beginDescription();
    EXPECT_EQ(t.count(1), 0);
    EXPECT_EQ(t.dropped(1), 0);
    EXPECT_FALSE(t.entry(1, 0).modified);
    EXPECT_NE(t.generation(), before);
}

TEST(ParamRow, ChannelKeysAreSafeUniqueAndOnePerEntryInCodeOrder)
{
    ParamTable t;
    t.beginDescription();
    describeValue(t, 0x2000, "base", U8, 0, 1, 0, 1);
    const QByteArray names[] = {"spd.ref", "", "#3", "_hidden", "vel", "vel", "vel_2", "   "};
    for (int k = 0; k < 8; ++k)
        describeValue(t, quint16(0x2001 + k), names[k], F32, 0, 1, 0, 0);
    describeValue(t, 0x3000, "vel", F32, 0, 1, 0, 0);
    endDescription(t, 0, 0, 0, 9, 1);
    const QStringList keys = ParamRow::channelKeys(t);
    EXPECT_EQ(keys,
        QStringList({"spd_ref", "0X2002", "p#3", "p_hidden", "vel", "vel_2", "vel_2_2", "0X2008", "vel_3"}));
}

TEST(ParamBackup, RoundTripAndDifferencesAgainstTheMotor)
{
    QVector<ParamRow> rows(3);
    rows[0] = {0, 0, 0x0000, "Name", "String", "R/W", "", "", "bench", true};
    rows[1] = {2, 5, 0x2005, "limit_spd", "float", "R/W", "30.00", "0.00", "10.000000", true};
    rows[2] = {3, 0, 0x3000, "VBUS", "float", "RO", "", "", "24.000000", false};
    QTemporaryDir dir;
    const QString path = dir.filePath("b.json");
    QString error;
    ASSERT_TRUE(ParamBackup::fromRows(rows, 0x1234abcdULL, 7, 4).write(path, &error)) << error.toStdString();
    ParamBackup back;
    ASSERT_TRUE(ParamBackup::read(path, &back, &error)) << error.toStdString();
    EXPECT_EQ(back.mcuId, "0x1234abcd");
    EXPECT_EQ(back.canId, 7);
    ASSERT_EQ(back.entries.size(), 3);
    EXPECT_EQ(back.entries[1].code, 0x2005);
    EXPECT_EQ(back.entries[1].max, "30.00");

    // The motor changed a setting and a live value, and renamed a text.
    QVector<ParamRow> now = rows;
    now[1].value = "12.500000";
    now[2].value = "23.900000";
    now[0].name = "Label";
    const QVector<ParamBackup::Difference> d = back.differences(now);
    ASSERT_EQ(d.size(), 2);
    EXPECT_EQ(d[0].motorRow, -1); // no entry of that name at that code
    EXPECT_EQ(d[0].motorValue, "(none)");
    EXPECT_EQ(d[1].motorRow, 1);
    EXPECT_EQ(d[1].file.value, "10.000000");
    EXPECT_EQ(d[1].motorValue, "12.500000");
}

TEST(ParamBackup, BrokenForeignAndHostileFilesAreRefusedWithAReason)
{
    ParamBackup b;
    QString error;
    EXPECT_FALSE(ParamBackup::parse("{", &b, &error));
    EXPECT_FALSE(ParamBackup::parse("[]", &b, &error));
    EXPECT_FALSE(ParamBackup::parse(R"({"format":"other","params":[]})", &b, &error));
    // A code that disagrees with its group would put a value into another group's entry.
    EXPECT_FALSE(ParamBackup::parse(
        R"({"format":"servobench-parameters","params":[{"code":"0X2005","group":0,"value":"1"}]})", &b,
        &error));
    EXPECT_FALSE(ParamBackup::parse(
        R"({"format":"servobench-parameters","params":[{"code":"0x1ffff","group":1}]})", &b, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(ParamBackup::parse(
        R"({"format":"servobench-parameters","params":[{"code":"0x2005","group":2,"value":"1"}]})", &b,
        &error));

    QTemporaryDir dir;
    QFile big(dir.filePath("big.json"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.resize(ParamBackup::MaxFileSize + 1);
    big.close();
    EXPECT_FALSE(ParamBackup::read(big.fileName(), &b, &error));
    EXPECT_TRUE(error.contains("too large"));
    EXPECT_FALSE(ParamBackup::read(dir.filePath("missing.json"), &b, &error));
}
