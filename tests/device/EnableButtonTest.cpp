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

bool settled(EnableButton& b)
{
    return QTest::qWaitFor([&] { return b.animation()->state() == QAbstractAnimation::Stopped; }, 1000);
}
} // namespace

TEST(EnableButton, ClicksFlipPaintAndReverseMidwaySettersStayQuiet)
{
    EnableButton b;
    b.resize(40, 20);
    b.show();
    EXPECT_EQ(at(b, 10, 10), EnableButton::KnobOff); // knob on the left

    QSignalSpy spy(&b, &EnableButton::enabled);
    QTest::mouseClick(&b, Qt::LeftButton);
    ASSERT_TRUE(settled(b));
    EXPECT_TRUE(b.isEnable());
    EXPECT_EQ(at(b, 30, 10), EnableButton::KnobOn);
    QTest::mouseClick(&b, Qt::RightButton); // other buttons do nothing
    EXPECT_EQ(spy.count(), 1);

    // A second click during the travel turns it back: two signals, and it rests on again.
    QTest::mouseClick(&b, Qt::LeftButton);
    QTest::qWait(80);
    QTest::mouseClick(&b, Qt::LeftButton);
    ASSERT_TRUE(settled(b));
    EXPECT_EQ(spy.count(), 3);
    EXPECT_TRUE(spy.at(2).at(0).toBool());
    EXPECT_EQ(b.knobPosition(), 20);

    // Set from the model: moves only on a change and never signals.
    b.setEnable(true);
    EXPECT_EQ(b.animation()->state(), QAbstractAnimation::Stopped);
    b.setEnable(false);
    ASSERT_TRUE(settled(b));
    EXPECT_EQ(b.knobPosition(), 0);
    EXPECT_EQ(spy.count(), 3);
}
