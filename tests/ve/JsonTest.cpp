// JSON and variant import flags, and the JSON file functions. Round trips of
// arbitrary documents are the tree_json fuzzer's job.
#include "DataManager.h"
#include "LogCapture.h"
#include "TestTree.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextCodec>

#include <gtest/gtest.h>

using ve::DataObject;

namespace {

QJsonValue json(const char* text)
{
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray(text));
    return doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(doc.array());
}

void writeAll(const QString& path, const QByteArray& data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

} // namespace

TEST(JsonImport, AddOverwriteAndRemoveExtraFlags)
{
    // A project merged into the tree must neither create, change nor drop
    // what its flags forbid.
    struct Case
    {
        bool add, overwrite, removeExtra;
        const char* expected;
    };
    const Case cases[] {
        {true, true, false, R"({"a": {"x": 10, "y": 2, "z": 30}, "list": [7, 2, 3], "b": "new"})"},
        {false, true, false, R"({"a": {"x": 10, "y": 2}, "list": [7, 2, 3]})"},
        {true, false, false, R"({"a": {"x": 1, "y": 2, "z": null}, "list": [1, 2, 3], "b": null})"},
        {true, true, true, R"({"a": {"x": 10, "z": 30}, "list": [7], "b": "new"})"},
        {false, true, true, R"({"a": {"x": 10}, "list": [7]})"},
    };
    for (const Case& c : cases) {
        TestTree t;
        t.root()->importFromJson(nullptr, json(R"({"a": {"x": 1, "y": 2}, "list": [1, 2, 3]})"));
        t.root()->set(nullptr, "b.deep", 1, c.add && c.removeExtra); // a scalar replaces its children
        QSignalSpy leafSpy(t.root()->rdobj("a.x"), &DataObject::changed);
        t.root()->importFromJson(nullptr, json(R"({"a": {"x": 10, "z": 30}, "list": [7], "b": "new"})"),
            c.add, c.overwrite, c.removeExtra);
        EXPECT_EQ(t.root()->exportToJson(false), json(c.expected)) << c.add << c.overwrite << c.removeExtra;
        EXPECT_EQ(leafSpy.size(), c.overwrite ? 1 : 0);
    }
}

TEST(JsonFiles, WritesReadsAndReportsEveryFailure)
{
    QTemporaryDir dir;
    LogCapture log;
    const QString path = dir.filePath("sub/deeper/data.json");
    const QJsonValue value = json(R"({"k": [1, 2], "s": "中文"})");
    ASSERT_TRUE(ve::DataManager::writeToJson(path, value, true));
    EXPECT_EQ(ve::DataManager::readFromJson(path), value);
    EXPECT_EQ(ve::DataManager::readFromJsonAsVariant(path).toMap().value("s").toString(), "中文");

    EXPECT_FALSE(ve::DataManager::writeToJson(dir.filePath("str.json"), QJsonValue("text"), true));
    EXPECT_FALSE(QFile::exists(dir.filePath("str.json")));
    EXPECT_FALSE(ve::DataManager::writeToJson(dir.filePath("nodir/x.json"), value, false));
    EXPECT_FALSE(ve::DataManager::writeToJson(path + "/x.json", value, true));
    EXPECT_TRUE(log.contains("cannot create foler \"" + path + "/x.json\" to write json"));
    EXPECT_TRUE(ve::DataManager::readFromJson(dir.filePath("missing.json")).isNull());
    EXPECT_TRUE(log.contains("<m><static> cannot read json file: \"" + dir.filePath("missing.json") + "\""));

    // Files saved by older tools in the local code page still read.
    QTextCodec* gbk = QTextCodec::codecForName("GBK");
    ASSERT_NE(gbk, nullptr);
    const QString text = QStringLiteral("调试器");
    writeAll(dir.filePath("gbk.json"), "{\"title\": \"" + gbk->fromUnicode(text) + "\"}");
    EXPECT_EQ(
        ve::DataManager::readFromJson(dir.filePath("gbk.json")).toObject().value("title").toString(), text);
    EXPECT_EQ(ve::DataManager::convertToUtf8(text.toUtf8()), text);

    writeAll(dir.filePath("bad.json"), "{\"a\": ");
    EXPECT_EQ(ve::DataManager::readFromJson(dir.filePath("bad.json")), QJsonValue(QJsonArray()));
    EXPECT_TRUE(log.contains(
        "<m><static> read invalid json from: \"" + dir.filePath("bad.json") + "\", parse error: \""));
}
