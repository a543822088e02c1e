#include "CliOptions.h"

#include <gtest/gtest.h>

namespace {
CliStatus parse(const QStringList& args, CliOptions* o)
{
    *o = CliOptions();
    return CliOptions::parse(args, o);
}
} // namespace

TEST(CliOptions, OptionsGoAnywhereAndNegativeNumbersAreValues)
{
    CliOptions o;
    ASSERT_TRUE(parse(
        {"--port", "/dev/pts/3", "set", "jog_speed", "-1.5", "--id=7", "--save", "--timeout", "250"}, &o)
                    .ok());
    EXPECT_EQ(o.command, "set");
    EXPECT_EQ(o.args, QStringList({"jog_speed", "-1.5"}));
    EXPECT_EQ(o.port, "/dev/pts/3");
    EXPECT_EQ(o.canId, 7);
    EXPECT_TRUE(o.save);
    EXPECT_EQ(o.timeoutMs, 250);
}

TEST(CliOptions, MistakesAreUsageErrorsWithOneLine)
{
    CliOptions o;
    const QList<QStringList> bad = {
        {},
        {"frobnicate"},
        {"get"},
        {"set", "x"},
        {"scan", "extra"},
        {"scan", "--id", "128"},
        {"scan", "--id", "seven"},
        {"scan", "--timeout"},
        {"scan", "--bogus"},
        {"params", "--json", "--csv"},
        {"scope", "--channel", "a", "--out", "w.csv", "--csv", "--bogus"},
        {"scope", "--out", "w.txt"},
        {"scope", "--channel", "a", "--freq", "2001", "--out", "w.txt"},
        {"scope", "--channel", "a"},
        {"scope", "--channel", "a,b,c,d,e,f,g,h,i", "--out", "w.txt"},
        {"scope", "--channel", "a", "--duration", "0", "--out", "w.txt"},
    };
    for (const QStringList& args : bad) {
        const CliStatus st = parse(args, &o);
        EXPECT_EQ(st.code, CliStatus::Usage) << args.join(' ').toStdString();
        EXPECT_FALSE(st.message.isEmpty());
        EXPECT_FALSE(st.message.contains('\n'));
    }
}
