#include "ShellTestSupport.h"

#include "WebPage.h"

#include <QDir>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <gtest/gtest.h>

namespace {

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
