#include "CaptionBar.h"
#include "CaptionButton.h"
#include "CaptionWidget.h"
#include "FramelessWindow.h"
#include "UiResources.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        servobench::initUiResources();
        window.resize(900, 500);
        caption = window.captionWidget();
        bar = caption->captionBar();
    }

    FramelessWindow window;
    CaptionWidget* caption = nullptr;
    CaptionBar* bar = nullptr;
};

TEST_F(WindowTest, SlotsSitWhereTheAlignmentSays)
{
    auto* left = new QLabel("left strip with tabs");
    auto* right = new QLabel("gear");
    auto* title = new QLabel("Title");
    caption->setLeftWidget(left);
    caption->setRightWidget(right);
    caption->setCenterWidget(title);
    caption->setTitleAlignment(Qt::AlignCenter);
    window.show();
    QApplication::processEvents();
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(caption->leftWidget(), left);
    EXPECT_EQ(left->geometry().left(), 0);
    // Centred on the whole bar, not on the space between the slots.
    EXPECT_NEAR(title->geometry().center().x(), bar->width() / 2, 2);
    EXPECT_NEAR(title->geometry().center().y(), bar->height() / 2, 1);
    // The right slot ends where the three caption buttons begin.
    EXPECT_EQ(right->geometry().right() + 1, bar->minimizeButton()->geometry().left());
    EXPECT_EQ(bar->closeButton()->geometry().right() + 1, bar->width());
}

TEST_F(WindowTest, CaptionButtonsAndDoubleClickDriveTheWindowState)
{
    window.show();
    QApplication::processEvents();
    EXPECT_EQ(bar->maximizeButton()->kind(), CaptionButton::Maximize);
    bar->maximizeButton()->click();
    QApplication::processEvents();
    EXPECT_TRUE(window.isMaximized());
    EXPECT_EQ(bar->maximizeButton()->kind(), CaptionButton::Restore);

    QTest::mouseDClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(bar->width() / 2, 10));
    QApplication::processEvents();
    EXPECT_FALSE(window.isMaximized());
    EXPECT_EQ(bar->maximizeButton()->kind(), CaptionButton::Maximize);

    bar->closeButton()->click();
    EXPECT_FALSE(window.isVisible());
}

} // namespace
