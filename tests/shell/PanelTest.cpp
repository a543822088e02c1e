#include "ShellTestSupport.h"

#include "Helper.h"
#include "Panel.h"
#include "StatusBar.h"

#include <DataManager.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

namespace {

quint32 lineNumber(const QString& line)
{
    return line.section(' ', 0, 0).toUInt();
}

class PanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dialogs = shelltest::reset();
        panel = std::make_unique<Panel>();
    }

    void post(const char* path, const QString& text)
    {
        ve::d(path)->set(nullptr, text);
        QApplication::processEvents(); // the panel listens queued
    }

    RecordingDialogs* dialogs = nullptr;
    std::unique_ptr<Panel> panel;
};

TEST_F(PanelTest, LogKeepsTheLast2048LinesAndNumbersAcrossClear)
{
    QTextBrowser* log = panel->logBrowser();
    post("wnd.status.msg", "first");
    const quint32 first = lineNumber(log->document()->firstBlock().text());
    EXPECT_TRUE(log->document()->firstBlock().text().endsWith("] first"));

    for (int i = 2; i <= Panel::MaxLines + 1; ++i)
        ve::d("wnd.status.msg")->set(nullptr, QString("line %1").arg(i));
    QApplication::processEvents();
    QTextDocument* doc = log->document();
    EXPECT_EQ(doc->blockCount(), Panel::MaxLines);
    EXPECT_EQ(lineNumber(doc->firstBlock().text()), first + 1); // the oldest line went
    EXPECT_EQ(lineNumber(doc->lastBlock().text()), first + Panel::MaxLines);
    EXPECT_TRUE(doc->lastBlock().text().endsWith(QString("] line %1").arg(Panel::MaxLines + 1)));

    panel->findChild<QPushButton*>("btnClear")->click();
    EXPECT_TRUE(log->toPlainText().isEmpty());
    post("wnd.status.msg", "after clear");
    EXPECT_EQ(log->document()->blockCount(), 1);
    EXPECT_EQ(lineNumber(log->toPlainText()), first + Panel::MaxLines + 1);
}

TEST_F(PanelTest, LinesCarryTimeAndPlainTextAndGoToTheirPage)
{
    post("wnd.status.msg", "<Encoder calibrating> Rotor angle = 1.0000");
    post("output", "[W] 41 54 00 08");
    const QString line = panel->logBrowser()->toPlainText();
    EXPECT_TRUE(QRegularExpression(
        R"(^\d+ \[\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\] <Encoder calibrating> Rotor angle = 1\.0000$)")
                    .match(line)
                    .hasMatch())
        << line.toStdString();
    EXPECT_TRUE(panel->communicationBrowser()->toPlainText().endsWith("] [W] 41 54 00 08"));
    EXPECT_FALSE(panel->logBrowser()->toPlainText().contains("41 54"));

    // Clear empties only the current page.
    panel->findChild<QToolButton*>("tlbtnCommunication")->click();
    panel->findChild<QPushButton*>("btnClear")->click();
    EXPECT_TRUE(panel->communicationBrowser()->toPlainText().isEmpty());
    EXPECT_FALSE(panel->logBrowser()->toPlainText().isEmpty());
}

TEST_F(PanelTest, ExportWritesTheCurrentPageOrSaysWhyNot)
{
    QTemporaryDir dir;
    post("wnd.status.msg", QString::fromUtf8("状态 one"));
    post("wnd.status.msg", "two");
    const QString logPath = dir.filePath("a.log");
    dialogs->answers << logPath;
    panel->findChild<QPushButton*>("btnExport")->click();
    QFile f(logPath);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString written = QString::fromUtf8(f.readAll());
    EXPECT_EQ(written, panel->logBrowser()->toPlainText());
    EXPECT_TRUE(written.contains(QString::fromUtf8("状态 one")));

    panel->findChild<QToolButton*>("tlbtnCommunication")->click();
    panel->findChild<QPushButton*>("btnClear")->click();
    const QString emptyPath = dir.filePath("empty.log");
    dialogs->answers << emptyPath;
    panel->findChild<QPushButton*>("btnExport")->click();
    EXPECT_EQ(dialogs->fileDialogs.last().caption, "Export communication file");
    EXPECT_TRUE(QFileInfo(emptyPath).exists() && QFileInfo(emptyPath).size() == 0);

    panel->findChild<QPushButton*>("btnExport")->click(); // cancelled
    EXPECT_TRUE(dialogs->boxes.isEmpty());

    const QString bad = dir.filePath("missing/dir/x.log");
    dialogs->answers << bad;
    panel->findChild<QPushButton*>("btnExport")->click();
    ASSERT_EQ(dialogs->boxes.size(), 1);
    EXPECT_EQ(dialogs->boxes[0].kind, DialogProvider::Box::Critical);
    EXPECT_EQ(dialogs->boxes[0].text, QString("Cannot write to %1!").arg(bad));
}

TEST(StatusBarTest, AMessageStaysThreeSecondsAfterItsArrival)
{
    shelltest::reset();
    StatusBar bar;
    ve::d("wnd.status.msg")->set(nullptr, "first");
    EXPECT_EQ(bar.label()->text(), "first");
    QTest::qWait(1000);
    Helper::instance()->showStatus("second", "tag");
    EXPECT_EQ(bar.label()->text(), "<tag> second");
    QElapsedTimer since;
    since.start();
    QTest::qWait(2500); // past the first message's three seconds
    EXPECT_EQ(bar.label()->text(), "<tag> second");
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar.label()->text().isEmpty(); }, 5000));
    EXPECT_GE(since.elapsed(), 2700); // a coarse timer may fire up to 5 % early
}

} // namespace
