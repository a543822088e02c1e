#include "BenchRig.h"

#include "BlockBox.h"
#include "Helper.h"

#include <DataManager.h>

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTranslator>
#include <gtest/gtest.h>

namespace {

TEST(HelperTest, BoxesCarryTheWindowTitleAndTheQuestionAnswers)
{
    RecordingDialogs* dialogs = BenchRig::freshTree();
    Helper* helper = Helper::instance();
    helper->showError("e");
    helper->showInformation("i");
    helper->showWarning("w");
    dialogs->confirm = false;
    EXPECT_FALSE(helper->askConfirm("q"));
    dialogs->confirm = true;
    EXPECT_TRUE(helper->askConfirm("q"));
    const QString title = QString::fromUtf8("Torqlet 调试器");
    QStringList titles;
    for (const auto& box : dialogs->boxes)
        titles << box.title.mid(title.size() + 1);
    EXPECT_TRUE(dialogs->boxes[0].title.startsWith(title + ' '));
    EXPECT_EQ(titles, QStringList({"Error", "Information", "Warning", "Notice", "Notice"}));

    ve::d("wnd.title")->set(nullptr, "Bench");
    helper->showError("x");
    EXPECT_EQ(dialogs->boxes.last().title, "Bench Error");
    ve::d("wnd.title")->set(nullptr, title);
}

TEST(HelperTest, ActiveDeviceAndStatusLine)
{
    RecordingDialogs* dialogs = BenchRig::freshTree();
    Helper* helper = Helper::instance();
    EXPECT_EQ(helper->activeDeviceOrWarn(), nullptr);
    ASSERT_EQ(dialogs->boxes.size(), 1);
    EXPECT_EQ(dialogs->boxes[0].text, "No activated device!");

    QSignalSpy changed(helper, &Helper::currentDeviceDobjChanged);
    ve::d("project.device")->insert(nullptr, "abc", false);
    ve::DataObject* device = ve::d("project.device.abc");
    helper->setCurrentDevice(device);
    helper->setCurrentDevice(device);
    EXPECT_EQ(changed.count(), 1); // only real changes are announced
    EXPECT_EQ(helper->activeDeviceOrWarn(), device);

    // A removed device does not stay current.
    ve::d("project.device")->remove(nullptr, device, true);
    EXPECT_TRUE(helper->currentDevice()->isEmpty());
    EXPECT_EQ(changed.count(), 2);

    // A status line names its sender, so views can tell their own echo.
    QSignalSpy status(ve::d("wnd.status.msg"), &ve::DataObject::changed);
    helper->showStatus("done", "Encoder calibrating");
    ASSERT_EQ(status.count(), 1);
    EXPECT_EQ(status[0][0].toString(), "<Encoder calibrating> done");
    EXPECT_EQ(status[0][2].value<QObject*>(), helper);
}

TEST(HelperTest, FontsAreEmbeddedAndNordsansIsTheApplicationFont)
{
    BenchRig::freshTree();
    const QFont before = QApplication::font();
    Helper::instance()->loadFonts();
    const QFont font = QApplication::font();
    EXPECT_EQ(font.family(), "Nordsans");
    EXPECT_EQ(font.pointSize(), 7);
    EXPECT_EQ(QFontInfo(font).family(), "Open Sans"); // the embedded family answers for the name
    QApplication::setFont(before);
}

class LanguageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        BenchRig::freshTree();
        ASSERT_TRUE(dir.isValid());
        old = QDir::currentPath();
        QDir::setCurrent(dir.path());
    }
    void TearDown() override
    {
        QDir::setCurrent(old);
        ve::d("config.language")->set(nullptr, "zh_CN");
    }
    QString logText() const
    {
        QFile f(dir.filePath("log/global_" + QDate::currentDate().toString("yyyyMMdd") + ".log"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    QTemporaryDir dir;
    QString old;
};

TEST_F(LanguageTest, EnglishNeedsNoFileAndAMissingFileIsReported)
{
    ve::d("config.language")->set(nullptr, "en");
    Helper::instance()->loadLanguage();
    EXPECT_TRUE(logText().isEmpty());

    ve::d("config.language")->set(nullptr, "zh_CN");
    Helper::instance()->loadLanguage();
    EXPECT_TRUE(
        logText().contains(QRegularExpression(R"(^\[E\|[^\]]+\]no language \./i18n/zh_CN\.qm file\n$)")))
        << logText().toStdString();
    EXPECT_EQ(QCoreApplication::translate("Helper", "No activated device!"), "No activated device!");

    QDir().mkpath("i18n");
    QFile broken("i18n/xx.qm");
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a translation");
    broken.close();
    ve::d("config.language")->set(nullptr, "xx");
    Helper::instance()->loadLanguage();
    EXPECT_TRUE(logText().contains("]load language xx failed\n"));
}

TEST_F(LanguageTest, TheChineseTranslationIsBuiltAndLoaded)
{
    QDir().mkpath("i18n");
    ASSERT_TRUE(QFile::copy(QString(SERVOBENCH_I18N_DIR) + "/zh_CN.qm", "i18n/zh_CN.qm"));
    Helper::instance()->loadLanguage();
    EXPECT_TRUE(logText().isEmpty()) << logText().toStdString();
    EXPECT_EQ(QCoreApplication::translate("Helper", "No activated device!"),
        QString::fromUtf8("没有已激活的设备！"));
    for (QTranslator* t : Helper::instance()->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
    EXPECT_EQ(QCoreApplication::translate("Helper", "No activated device!"), "No activated device!");
}

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
