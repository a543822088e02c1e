#include "EnableButton.h"

#include <QSignalSpy>
#include <QTest>
#include <QVariantAnimation>

#include <gtest/gtest.h>

namespace {
QColor at(EnableButton& b, int x, int y)
{
    return b.grab().toImage().pixelColor(x, y);
}
} // namespace

TEST(EnableButton, ClickFlipsAnimatesAndPaintsTheStateColours)
{
    EnableButton b;
    b.resize(40, 20);
    b.show();
    EXPECT_FALSE(b.isEnable());
    EXPECT_EQ(b.animation()->currentValue().toInt(), 25); // at rest from the start
    EXPECT_EQ(at(b, 10, 10), EnableButton::KnobOff); // knob on the left
    EXPECT_EQ(at(b, 30, 10), EnableButton::TrackOff);

    QSignalSpy spy(&b, &EnableButton::enabled);
    QTest::mouseClick(&b, Qt::LeftButton);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_TRUE(spy.at(0).at(0).toBool());
    EXPECT_TRUE(QTest::qWaitFor([&] { return b.animation()->state() == QAbstractAnimation::Stopped; }, 1000));
    EXPECT_EQ(b.knobPosition(), 20);
    EXPECT_EQ(at(b, 30, 10), EnableButton::KnobOn);
    EXPECT_EQ(at(b, 8, 10), EnableButton::TrackOn);

    // Other buttons do nothing.
    QTest::mouseClick(&b, Qt::RightButton);
    EXPECT_EQ(spy.count(), 1);
}

TEST(EnableButton, TwoClicksWithin200MsReverseTheTravelAndEmitTwice)
{
    EnableButton b;
    b.resize(40, 20);
    b.show();
    QSignalSpy spy(&b, &EnableButton::enabled);
    QTest::mouseClick(&b, Qt::LeftButton);
    QTest::qWait(80);
    const int midway = b.knobPosition();
    EXPECT_GT(midway, 0);
    EXPECT_LT(midway, 20);
    QTest::mouseClick(&b, Qt::LeftButton);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_TRUE(spy.at(0).at(0).toBool());
    EXPECT_FALSE(spy.at(1).at(0).toBool());
    // Now heading left again: positions only fall until it rests at 0.
    int prev = b.knobPosition();
    while (b.animation()->state() == QAbstractAnimation::Running) {
        QTest::qWait(10);
        EXPECT_LE(b.knobPosition(), prev);
        prev = b.knobPosition();
    }
    EXPECT_EQ(b.knobPosition(), 0);
    EXPECT_FALSE(b.isEnable());
}

TEST(EnableButton, SetterOnlyMovesOnChangeOrWhenForced)
{
    EnableButton b;
    b.resize(40, 20);
    QSignalSpy spy(&b, &EnableButton::enabled);
    b.setEnable(false);
    EXPECT_EQ(b.animation()->state(), QAbstractAnimation::Stopped);
    b.setEnable(false, true);
    EXPECT_EQ(b.animation()->state(), QAbstractAnimation::Running);
    b.setEnable(true);
    EXPECT_TRUE(b.isEnable());
    EXPECT_TRUE(QTest::qWaitFor([&] { return b.animation()->state() == QAbstractAnimation::Stopped; }, 1000));
    EXPECT_EQ(b.knobPosition(), 20);
    EXPECT_EQ(spy.count(), 0); // only user toggles signal
}
