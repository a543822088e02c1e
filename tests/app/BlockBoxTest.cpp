#include "BenchRig.h"

#include "BlockBox.h"
#include "Helper.h"

#include <DataManager.h>

#include <QApplication>
#include <QLabel>
#include <gtest/gtest.h>

namespace {

int visibleBlockBoxes()
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<BlockBox*>(w) && w->isVisible())
            ++n;
    return n;
}

TEST(BlockBoxTest, ATextShowsTheBoxOnceAndNullOrEmptyCloseIt)
{
    BenchRig::freshTree();
    QWidget window;
    window.resize(800, 600);
    window.move(100, 50);
    window.show();
    Helper::instance()->setMainWindow(&window);
    Helper::instance()->createBlockBox();
    BlockBox* box = Helper::instance()->blockBox();
    ASSERT_NE(box, nullptr);

    ve::DataObject* block = ve::d("trigger.block");
    block->set(nullptr, "Exporting...");
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->label()->text(), "Exporting...");
    EXPECT_EQ(box->frameGeometry().center(), window.frameGeometry().center());

    block->set(nullptr, "Writing <motor> table");
    EXPECT_EQ(visibleBlockBoxes(), 1);
    EXPECT_EQ(box->label()->text(), "Writing <motor> table");

    block->set(nullptr, QVariant());
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(box->result(), QDialog::Accepted);

    block->set(nullptr, "again");
    EXPECT_TRUE(box->isVisible());
    block->set(nullptr, QString());
    EXPECT_FALSE(box->isVisible());

    Helper::instance()->setMainWindow(nullptr);
    delete box;
}

} // namespace
