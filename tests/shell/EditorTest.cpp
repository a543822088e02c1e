#include "ShellTestSupport.h"

#include "Editor.h"
#include "Helper.h"
#include "TitleWidget.h"
#include "WebPage.h"

#include <DataManager.h>

#include <QDir>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWebEngineView>
#include <gtest/gtest.h>

#include <memory>

namespace {

class EditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dialogs = shelltest::reset();
        editor = std::make_unique<Editor>();
        shelltest::registerTestPages();
    }

    QStringList tabTexts() const
    {
        QStringList texts;
        for (int i = 0; i < editor->count(); ++i)
            texts << editor->tabAt(i)->text();
        return texts;
    }

    void fire(const char* trigger) { ve::d(trigger)->trigger(); }

    RecordingDialogs* dialogs = nullptr;
    std::unique_ptr<Editor> editor;
};

TEST_F(EditorTest, TabTextNamesTheDeviceWithTwoDevicesAndTheCurrentPageIsPublished)
{
    ve::DataObject* a = shelltest::addDevice("1111", 1);
    Helper::instance()->setCurrentDevice(a);
    QSignalSpy spy(Helper::instance(), &Helper::editDevieDobjChanged);
    fire("trigger.configure.param.new");
    ASSERT_EQ(tabTexts(), QStringList({"Param Table"}));
    EXPECT_EQ(spy.last().at(0).toString(), "param_table");
    EXPECT_EQ(Helper::instance()->editDevice(), a);
    EXPECT_EQ(Helper::instance()->editorType(), "param_table");

    ve::DataObject* b = shelltest::addDevice("2222", 2);
    Helper::instance()->setCurrentDevice(b);
    fire("trigger.configure.param.new");
    EXPECT_EQ(tabTexts(), QStringList({"Param Table", "R58 Motor 2 - Param Table"}));
    EXPECT_EQ(Helper::instance()->editDevice(), b);
    EXPECT_TRUE(dialogs->boxes.isEmpty());

    editor->closePage(1);
    editor->closePage(0);
    EXPECT_EQ(spy.last().at(0).toString(), "");
    EXPECT_TRUE(Helper::instance()->editDevice()->isEmpty());
    EXPECT_EQ(Helper::instance()->editorType(), "");
}

TEST_F(EditorTest, PagesNeedAnActiveDeviceAndTheOscilloscopeItsTable)
{
    fire("trigger.device.info.new");
    fire("trigger.configure.param.new");
    fire("trigger.analyze.oscilloscope.new");
    EXPECT_EQ(editor->count(), 0);
    EXPECT_EQ(dialogs->texts(DialogProvider::Box::Critical),
        QStringList({"No activated device!", "No activated device!", "No activated device!"}));

    fire("trigger.help.instruction");
    fire("trigger.help.instruction");
    ASSERT_EQ(tabTexts(), QStringList({"Instruction"}));
    EXPECT_NE(dynamic_cast<WebPage*>(editor->pageAt(0)), nullptr);

    // The oscilloscope wants the device's parameter table first, and is selected when open.
    ve::DataObject* a = shelltest::addDevice("1111", 1);
    Helper::instance()->setCurrentDevice(a);
    fire("trigger.analyze.oscilloscope.new");
    EXPECT_EQ(dialogs->texts(DialogProvider::Box::Warning),
        QStringList({"Please open param table of R58 Motor 1 first!"}));
    a->set(nullptr, "param.p0", 1.0, true);
    fire("trigger.analyze.oscilloscope.new");
    editor->selectPage(0);
    fire("trigger.analyze.oscilloscope.new");
    EXPECT_EQ(tabTexts(), QStringList({"Instruction", "Oscilloscope"}));
    EXPECT_EQ(editor->currentIndex(), 1);
}

TEST_F(EditorTest, ParamTableReopensAtTheEndWhileOtherKindsAreSelected)
{
    ve::DataObject* a = shelltest::addDevice("1111", 1);
    Helper::instance()->setCurrentDevice(a);
    fire("trigger.configure.param.new");
    QWidget* firstParam = editor->pageAt(0);
    fire("trigger.device.info.new");
    ASSERT_EQ(tabTexts(), QStringList({"Param Table", "Device Info"}));

    fire("trigger.configure.param.new");
    EXPECT_EQ(tabTexts(), QStringList({"Device Info", "Param Table"}));
    EXPECT_NE(editor->pageAt(1), firstParam); // a new page, not the old one moved
    EXPECT_EQ(editor->currentIndex(), 1);

    fire("trigger.device.info.new"); // exists: selected, not duplicated
    EXPECT_EQ(editor->count(), 2);
    EXPECT_EQ(editor->currentIndex(), 0);
    EXPECT_TRUE(editor->tabAt(0)->textButton()->isChecked());
    EXPECT_FALSE(editor->tabAt(1)->textButton()->isChecked());
}

TEST_F(EditorTest, ClosingAMiddleTabSelectsItsRightNeighbourAndKeepsTabsAndPagesInStep)
{
    ve::DataObject* a = shelltest::addDevice("1111", 1);
    a->set(nullptr, "param.p0", 1.0, true);
    Helper::instance()->setCurrentDevice(a);
    fire("trigger.device.info.new");
    fire("trigger.configure.param.new");
    fire("trigger.analyze.oscilloscope.new");
    QWidget* scope = editor->pageAt(2);
    editor->selectPage(0);

    editor->tabAt(1)->closeButton()->click();
    EXPECT_EQ(tabTexts(), QStringList({"Device Info", "Oscilloscope"}));
    EXPECT_EQ(editor->stack()->count(), 2);
    EXPECT_EQ(editor->stack()->currentWidget(), scope);
    EXPECT_TRUE(editor->tabAt(1)->textButton()->isChecked());
    EXPECT_FALSE(editor->tabAt(0)->textButton()->isChecked());
    for (int i = 0; i < editor->count(); ++i)
        EXPECT_EQ(editor->stack()->widget(i), editor->pageAt(i));

    editor->tabAt(1)->closeButton()->click(); // the last tab
    EXPECT_EQ(tabTexts(), QStringList({"Device Info"}));
    EXPECT_EQ(editor->stack()->count(), 1);
}

TEST_F(EditorTest, RemovingADeviceClosesEveryPageOfIt)
{
    ve::DataObject* a = shelltest::addDevice("1111", 1);
    ve::DataObject* b = shelltest::addDevice("2222", 2);
    Helper::instance()->setCurrentDevice(a);
    fire("trigger.device.info.new");
    fire("trigger.configure.param.new");
    Helper::instance()->setCurrentDevice(b);
    fire("trigger.device.info.new");
    fire("trigger.help.instruction");
    ASSERT_EQ(editor->count(), 4);

    Helper::instance()->setCurrentDevice(b);
    ve::d("project.device")->remove(nullptr, a, true);
    EXPECT_EQ(tabTexts(), QStringList({"R58 Motor 2 - Device Info", "R58 Motor 2 - Instruction"}));
    EXPECT_EQ(editor->stack()->count(), 2);
}

TEST(WebPageTest, ShowsTheManualOfTheWorkingDirectoryAndHidesTheBarWhenLoaded)
{
    shelltest::reset();
    QTemporaryDir dir;
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path()); // no instruction.pdf here
    WebPage page;
    const QUrl url = WebPage::instructionUrl();
    QDir::setCurrent(old);

    EXPECT_EQ(url.toString(), "file://" + dir.filePath("instruction.pdf")); // three slashes, not four
    EXPECT_EQ(url.toLocalFile(), dir.filePath("instruction.pdf"));

    QSignalSpy finished(page.view(), &QWebEngineView::loadFinished);
    ASSERT_TRUE(finished.wait(30000) || finished.count() > 0);
    EXPECT_FALSE(finished.last().at(0).toBool()); // the engine shows its own error page
    EXPECT_TRUE(page.progressBar()->isHidden());
}

} // namespace
