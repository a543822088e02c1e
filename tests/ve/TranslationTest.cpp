// Own executable: the manager is built on first use, and the first test
// decides what it finds then.
#include "DataManager.h"
#include "LogCapture.h"
#include "TranslationManager.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>

#include <thread>

namespace {

const QString RealQm = QStringLiteral("/usr/share/qt5/translations/qtbase_de.qm");

TEST(TranslationTest, ConstructionLoadsTheLanguagesFilesByItsOwnName)
{
    ASSERT_TRUE(QFile::exists(RealQm));
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("i18n")));
    ASSERT_TRUE(QFile::copy(RealQm, dir.filePath(QStringLiteral("i18n/bench_cn.qm"))));
    ASSERT_TRUE(QFile::copy(RealQm, dir.filePath(QStringLiteral("i18n/bench_de.qm"))));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    ve::d().rootDobj()->set(nullptr, QStringLiteral("vorn.cfg.common.language"), QStringLiteral("cn"), true);

    LogCapture log;
    ve::TranslationManager* tm = ve::TranslationManager::instance();
    QDir::setCurrent(previous);

    // The base translation maps "cn" to zh_CN; the folder is searched for "cn".
    EXPECT_TRUE(log.contains(QStringLiteral("qm transtor load failed::/vorn/language/qt_zh_CN.qm")));
    EXPECT_TRUE(log.contains(QStringLiteral("<translator> install cn language qm bench_cn succeed")));
    EXPECT_FALSE(log.contains(QStringLiteral("bench_de")));

    const QString installed = dir.filePath(QStringLiteral("i18n/bench_cn.qm"));
    EXPECT_FALSE(tm->installQMTranslator(installed));
    EXPECT_TRUE(tm->removeQMTranslator(installed));
    EXPECT_FALSE(tm->removeQMTranslator(installed));
}

TEST(TranslationTest, TranslatorsAreInstalledOnlyOnTheApplicationThread)
{
    ve::TranslationManager* tm = ve::TranslationManager::instance();
    LogCapture log;
    bool fromThread = true;
    std::thread worker([&] { fromThread = tm->installQMTranslator(RealQm); });
    worker.join();
    EXPECT_FALSE(fromThread);
    EXPECT_TRUE(log.contains(QStringLiteral("qm transtor install failed:") + RealQm));

    // The same file from the right thread works, and the refusal left nothing behind.
    EXPECT_TRUE(tm->installQMTranslator(RealQm));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Open"), QStringLiteral("Öffnen"));
    EXPECT_TRUE(tm->removeQMTranslator(RealQm));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Open"), QStringLiteral("Open"));

    EXPECT_FALSE(tm->installQMTranslator(QStringLiteral("/nonexistent/x.qm")));
}

TEST(TranslationTest, DictionariesTranslateAndRefuseWrongFormats)
{
    ve::TranslationManager* tm = ve::TranslationManager::instance();
    ASSERT_TRUE(tm->installJsonTranslator(QStringLiteral("ui"), QJsonObject {{"Speed", "速度"}}));
    EXPECT_EQ(tm->dtr(QStringLiteral("ui"), QStringLiteral("Speed")), QStringLiteral("速度"));
    EXPECT_EQ(tm->dtr(QStringLiteral("ui"), QStringLiteral("Torque")), QStringLiteral("Torque"));
    // A number among the values, or a missing file: refused, and the earlier
    // dictionary stays.
    EXPECT_FALSE(tm->installJsonTranslator(QStringLiteral("ui"), QJsonObject {{"Speed", 1}}));
    EXPECT_FALSE(tm->installJsonTranslator(QStringLiteral("ui"), QStringLiteral("/nonexistent/ui.json")));
    EXPECT_EQ(tm->dtr(QStringLiteral("ui"), QStringLiteral("Speed")), QStringLiteral("速度"));
}

} // namespace
