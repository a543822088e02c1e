#include "ParamCell.h"

#include <ParamTable.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {
constexpr int U8 = 0, I8 = 1, U16 = 2, I32 = 5, F32 = 6, U64 = 7, F64 = 9;
} // namespace

TEST(ParamCell, LimitsAreInclusiveAndOneBeyondIsOutOfRange)
{
    EXPECT_EQ(ParamCell::checkNumber(1, "127", U8, 1, 127, "5").verdict, ParamCell::Modified);
    EXPECT_EQ(ParamCell::checkNumber(1, "1", U8, 1, 127, "5").verdict, ParamCell::Modified);
    const ParamCell::Result over = ParamCell::checkNumber(1, "128", U8, 1, 127, "5");
    EXPECT_EQ(over.verdict, ParamCell::Rejected);
    EXPECT_EQ(over.note, "Value out of range");
    EXPECT_EQ(ParamCell::checkNumber(1, "0", U8, 1, 127, "5").note, "Value out of range");
    EXPECT_EQ(ParamCell::checkNumber(1, "30.01", F32, 0, 30, "1.000000").note, "Value out of range");
}

TEST(ParamCell, TextThatDoesNotParseAsTheTypeIsRejectedAsNotAscii)
{
    // A negative number for an unsigned type and a fraction for an integer do not parse.
    EXPECT_EQ(ParamCell::checkNumber(0, "-1", U16, 0, 60000, "0").note, "Please input ASCII charaters");
    EXPECT_EQ(ParamCell::checkNumber(0, "1.5", I32, -100, 100, "0").note, "Please input ASCII charaters");
    EXPECT_EQ(ParamCell::checkNumber(0, "abc", F32, -1, 1, "0.000000").note, "Please input ASCII charaters");
    EXPECT_EQ(ParamCell::checkNumber(0, "", I8, -1, 1, "0").note, "Please input ASCII charaters");
    // NaN passes both limit comparisons; it must not reach the motor.
    EXPECT_EQ(ParamCell::checkNumber(0, "nan", F32, -1, 1, "0.000000").verdict, ParamCell::Rejected);
    EXPECT_EQ(ParamCell::checkNumber(0, "inf", F64, -1e9, 1e9, "0.0").verdict, ParamCell::Rejected);
    // A type the table cannot edit (text of group 2) never parses.
    EXPECT_EQ(ParamCell::checkNumber(0, "1", 10, 0, 10, "").verdict, ParamCell::Rejected);
}

TEST(ParamCell, ValuesAreConvertedIntoTheTypeAndCompareAsFormattedText)
{
    const ParamCell::Result f = ParamCell::checkNumber(0x18, "12.5", F32, 0, 30, "10.000000");
    ASSERT_EQ(f.verdict, ParamCell::Modified);
    EXPECT_EQ(f.note, "Addr[0x0018] modified");
    EXPECT_EQ(f.text, "12.500000");
    float stored = 0;
    std::memcpy(&stored, f.bytes, 4);
    EXPECT_FLOAT_EQ(stored, 12.5f);
    // The stored value typed again (in another spelling) is no change.
    EXPECT_EQ(ParamCell::checkNumber(0, "10", F32, 0, 30, "10.000000").verdict, ParamCell::Unchanged);
    EXPECT_EQ(ParamCell::checkNumber(0, "-1", I8, -1, 1, "-1").verdict, ParamCell::Unchanged);
    const ParamCell::Result big = ParamCell::checkNumber(0, "30000000", U64, 0, 3e7f, "0");
    ASSERT_EQ(big.verdict, ParamCell::Modified);
    quint64 v = 0;
    std::memcpy(&v, big.bytes, 8);
    EXPECT_EQ(v, 30000000u);
}

TEST(ParamCell, StringsMustBeAsciiAndOnlySixteenBytesTravel)
{
    const ParamCell::Result r = ParamCell::checkString(2, "abcdefghijklmnopqrst", "old");
    ASSERT_EQ(r.verdict, ParamCell::Modified);
    EXPECT_EQ(r.note, "Addr[0x0002] modified");
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(r.bytes)), QByteArray("abcdefghijklmnop"));
    EXPECT_EQ(r.text, "abcdefghijklmnop");
    EXPECT_EQ(ParamCell::checkString(0, QString::fromUtf8("mot\xc3\xb6r"), "x").note,
        "Please input ASCII charaters");
    EXPECT_EQ(ParamCell::checkString(0, "same", "same").verdict, ParamCell::Unchanged);
}

TEST(ParamCell, OnlyStringsAndFlaggedSettingsAboveTheChannelBaseAreEditable)
{
    EXPECT_TRUE(ParamCell::editable(0, 3, 18, 0));
    EXPECT_FALSE(ParamCell::editable(1, 0, 18, 7));
    EXPECT_FALSE(ParamCell::editable(2, 17, 18, 1)); // configuration
    EXPECT_TRUE(ParamCell::editable(2, 18, 18, 1));
    EXPECT_FALSE(ParamCell::editable(2, 19, 18, 0)); // live set-point without flags
    EXPECT_FALSE(ParamCell::editable(3, 0, 18, 1));
    EXPECT_EQ(ParamCell::property(2, 17, 18, 1), "Config");
    EXPECT_EQ(ParamCell::property(2, 18, 18, 1), "R/W");
    EXPECT_EQ(ParamCell::property(2, 19, 18, 0), "Setting");
    EXPECT_EQ(ParamCell::property(1, 0, 18, 0), "RO");
}
