// Log lines: header, colours and the daily file.
#include "LogCapture.h"
#include "Logging.h"
#include "TestFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Each test runs in its own empty directory, so "./log" starts missing.
class LogTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(QDir::setCurrent(m_dir.path())); }
    void TearDown() override { QDir::setCurrent(m_saved); }

    static QByteArray todaysFile()
    {
        return readAll(ve::FLog::fileName("./log/global", "log", QDateTime::currentDateTime().date()));
    }

    const QString m_saved = QDir::currentPath();
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(LogTest, LevelsWriteColouredConsoleAndPlainFileLines)
{
    ASSERT_FALSE(QDir("log").exists());
    LogCapture log;
    ve::logError() << "cannot " << QStringLiteral("open") << ' ' << 42 << " 中文";
    ve::logInfo() << "internal version: "
                  << "0.0.4";
    const QStringList lines = log.all();
    ASSERT_EQ(lines.size(), 2);
    const QRegularExpression console(
        R"(^\x1b\[31m\[E\|\d\d/\d\d \d\d:\d\d:\d\d\.\d{3}\]cannot open 42 中文\x1b\[0m$)");
    EXPECT_TRUE(console.match(lines.at(0)).hasMatch()) << lines.at(0).toStdString();
    EXPECT_TRUE(lines.at(1).startsWith("\033[36m[I|"));

    // The day's file, made with its folder by the first line, holds the
    // same lines without colours; the crash report is found by them.
    const QStringList fileLines = QString::fromUtf8(todaysFile()).split('\n');
    ASSERT_EQ(fileLines.size(), 3);
    const QRegularExpression plain(R"(^\[E\|\d\d/\d\d \d\d:\d\d:\d\d\.\d{3}\]cannot open 42 中文$)");
    EXPECT_TRUE(plain.match(fileLines.at(0)).hasMatch()) << fileLines.at(0).toStdString();
    EXPECT_TRUE(fileLines.at(1).endsWith("]internal version: 0.0.4"));
    EXPECT_TRUE(fileLines.at(2).isEmpty());
}

TEST_F(LogTest, UnopenableFileDropsTheFilePartSilently)
{
    // "./log" is a regular file: the directory cannot be made, the file not opened.
    QFile blocker("log");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    LogCapture log;
    {
        ve::FLog fileOnly("[E]", "", "./log/global", "log");
        fileOnly << "dropped";
        EXPECT_FALSE(fileOnly.isOpen());
    }
    ve::logError() << "still "
                   << "shown";
    ASSERT_EQ(log.count(), 1); // no error about the file
    EXPECT_TRUE(log.all().at(0).endsWith("]still shown\033[0m"));
    EXPECT_EQ(QFileInfo("log").size(), 0);
}
