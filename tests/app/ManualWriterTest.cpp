#include "ManualWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(ManualWriterTest, TheManualHasEveryChapterAndBecomesAPdf)
{
    ManualWriter writer(SERVOBENCH_DOCS_DIR);
    const QString html = writer.html();
    const QStringList chapters
        = QDir(QString(SERVOBENCH_DOCS_DIR) + "/manual").entryList({"*.html"}, QDir::Files);
    ASSERT_GE(chapters.size(), 8);
    // The first and last English chapters, then the Chinese ones.
    const int first = html.indexOf("1. Getting started"), last = html.indexOf("8. Troubleshooting");
    EXPECT_GE(first, 0);
    EXPECT_GT(last, first);
    EXPECT_GT(html.indexOf(QString::fromUtf8("servobench 使用说明（中文）")), last);

    QTemporaryDir dir;
    const QString pdf = dir.filePath("instruction.pdf");
    ASSERT_TRUE(writer.writePdf(pdf)) << writer.error().toStdString();
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray data = f.readAll();
    EXPECT_TRUE(data.startsWith("%PDF-"));
    EXPECT_GT(data.size(), 100000); // the screenshots are in it
}

TEST(ManualWriterTest, AMissingScreenshotOrChapterIsAnError)
{
    QTemporaryDir dir;
    ManualWriter empty(dir.path());
    EXPECT_FALSE(empty.writePdf(dir.filePath("a.pdf")));
    EXPECT_TRUE(empty.error().contains("no chapters"));

    QDir(dir.path()).mkpath("manual");
    QFile chapter(dir.filePath("manual/01.html"));
    ASSERT_TRUE(chapter.open(QIODevice::WriteOnly));
    chapter.write("<h1>One</h1><p><img src=\"images/gone.png\"></p>");
    chapter.close();
    ManualWriter writer(dir.path());
    EXPECT_FALSE(writer.writePdf(dir.filePath("b.pdf")));
    EXPECT_EQ(writer.error(), "cannot read image images/gone.png");
    EXPECT_FALSE(QFile::exists(dir.filePath("b.pdf")));
}

} // namespace
