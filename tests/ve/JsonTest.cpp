// JSON and variant import/export of the data tree and the JSON file functions.
#include "DataManager.h"
#include "LogCapture.h"
#include "TestTree.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QSize>
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

// A small existing tree: a.x = 1, a.y = 2, list = [1, 2, 3]
void fill(TestTree& t)
{
    t.root()->set(nullptr, "a.x", 1.0, true);
    t.root()->set(nullptr, "a.y", 2.0, true);
    t.root()->setList(nullptr, "list", {1.0, 2.0, 3.0}, true);
}

const char* kInput = R"({"a": {"x": 10, "z": 30}, "list": [7], "b": "new"})";

} // namespace

TEST(JsonImport, AddAndOverwriteFlags)
{
    // {add, overwrite}: a.x, whether a.z and b exist, the list
    struct Case
    {
        bool add;
        bool overwrite;
        int x;
        bool created;
        QList<QVariant> list;
    };
    for (const Case& c : {Case {true, true, 10, true, {7.0, 2.0, 3.0}},
             Case {false, true, 10, false, {7.0, 2.0, 3.0}}, Case {true, false, 1, true, {1.0, 2.0, 3.0}}}) {
        TestTree t;
        fill(t);
        QSignalSpy leafSpy(t.root()->rdobj("a.x"), &DataObject::changed);
        t.root()->importFromJson(nullptr, json(kInput), c.add, c.overwrite, false);
        EXPECT_EQ(t.root()->rdobj("a.x")->getInt(), c.x) << c.add << c.overwrite;
        EXPECT_EQ(t.root()->rdobj("a.y")->getInt(), 2);
        EXPECT_EQ(!t.root()->rdobj("a.z")->isEmpty(), c.created);
        EXPECT_EQ(!t.root()->rdobj("b")->isEmpty(), c.created);
        EXPECT_EQ(t.root()->rdobj("list")->getList(), c.list);
        if (!c.overwrite) {
            EXPECT_EQ(leafSpy.size(), 0); // a leaf without overwrite emits nothing
            EXPECT_TRUE(t.root()->rdobj("b")->get().isNull());
        }
    }
}

TEST(JsonImport, RemoveExtraDropsWhatTheJsonLacks)
{
    TestTree t;
    fill(t);
    t.root()->set(nullptr, "b.deep", 1, true);
    t.root()->importFromJson(nullptr, json(kInput), true, true, true);
    EXPECT_EQ(t.root()->cdobjNames(true), (QStringList {"a", "list", "b"}));
    EXPECT_EQ(t.root()->rdobj("a")->cdobjNames(true), (QStringList {"x", "z"}));
    EXPECT_EQ(t.root()->rdobj("list")->getList(), (QList<QVariant> {7.0}));
    EXPECT_EQ(t.root()->rdobj("b")->size(), 0); // a scalar clears the children
    EXPECT_EQ(t.root()->rdobj("b")->getString(), "new");

    // removeExtra without add: surplus goes, nothing is created.
    TestTree u;
    fill(u);
    u.root()->importFromJson(nullptr, json(R"({"list": [5, 6, 7, 8, 9], "q": 1})"), false, true, true);
    EXPECT_EQ(u.root()->cdobjNames(true), QStringList {"list"});
    EXPECT_EQ(u.root()->rdobj("list")->getList(), (QList<QVariant> {5.0, 6.0, 7.0}));
}

TEST(JsonImport, ArraysNumbersAndDottedKeys)
{
    TestTree t;
    DataObject* n = t.make("n");
    n->importFromJson(nullptr, json("[1, 2.5, 3]"));
    ASSERT_EQ(n->size(), 3);
    EXPECT_EQ(n->getList(), (QList<QVariant> {1.0, 2.5, 3.0}));
    EXPECT_EQ(n->c(0)->get().userType(), QMetaType::Double);
    EXPECT_TRUE(n->c(0)->isRelative());

    DataObject* e = t.make("e");
    e->importFromJson(nullptr, json("[]"));
    EXPECT_EQ(e->size(), 0);
    EXPECT_TRUE(e->exportToJson().isNull());

    t.root()->importFromJson(nullptr, json(R"({"p.q": true, "n": {"#1": "second"}})"));
    EXPECT_TRUE(t.root()->rdobj("p.q")->getBool());
    EXPECT_EQ(t.root()->rdobj("n.#1")->getString(), "second");

    // A null scalar with overwrite clears a leaf.
    DataObject* leaf = t.make("leaf");
    leaf->set(nullptr, 3);
    leaf->importFromJson(nullptr, QJsonValue(QJsonValue::Null), true, true, false);
    EXPECT_TRUE(leaf->get().isNull());
}

TEST(JsonImport, BranchEmitsChangedWithItsUnchangedValueWhenFinished)
{
    TestTree t;
    DataObject* branch = t.make("branch");
    branch->set(nullptr, 9);
    t.root()->watch(true, true);
    QSignalSpy changed(branch, &DataObject::changed);
    QSignalSpy rootActivated(t.root(), &DataObject::activated);
    QObject changer;
    branch->importFromJson(&changer, json(R"({"k": 1})"), true, true, false);
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed.at(0).at(0).toInt(), 9);
    EXPECT_EQ(changed.at(0).at(1).toInt(), 9);
    EXPECT_EQ(changed.at(0).at(2).value<QObject*>(), &changer);
    bool sawBranch = false;
    for (const auto& args : rootActivated)
        sawBranch = sawBranch
            || (args.at(0).value<DataObject*>() == branch && args.at(1).toInt() == DataObject::ValueChanged);
    EXPECT_TRUE(sawBranch);
}

TEST(JsonExport, ShapeDecidesAndRoundTripIsLossless)
{
    const QJsonValue input
        = json(R"({"a": {"b": [1, "two", true, null, {"c": [0.5]}]}, "s": "text", "_h": 1})");
    TestTree t;
    t.root()->importFromJson(nullptr, input);
    EXPECT_EQ(t.root()->exportToJson(false), input);
    QJsonObject noHidden = input.toObject();
    noHidden.remove("_h");
    EXPECT_EQ(t.root()->exportToJson(true), QJsonValue(noHidden));

    // A node with value and children exports only its children.
    DataObject* a = t.root()->rdobj("a");
    a->set(nullptr, 5);
    EXPECT_TRUE(a->exportToJson().isObject());
}

TEST(VariantForm, RoundTripKeepsLeafTypes)
{
    TestTree t;
    t.root()->set(nullptr, "size", QSize(640, 480), true);
    t.root()->setList(nullptr, "list", {1, QStringLiteral("x")}, true);
    t.root()->set(nullptr, "_hidden", 1, true);
    const QVariant v = t.root()->exportToVariant(false);
    EXPECT_EQ(v.toMap().value("list").toList(), (QVariantList {1, QStringLiteral("x")}));
    EXPECT_FALSE(t.root()->exportToVariant(true).toMap().contains("_hidden"));

    TestTree u;
    u.root()->set(nullptr, "extra", 1, true);
    u.root()->importFromVariant(nullptr, v, true, true, true);
    EXPECT_EQ(u.root()->rdobj("size")->get(), QVariant(QSize(640, 480)));
    EXPECT_EQ(u.root()->rdobj("list.#1")->getString(), "x");
    EXPECT_TRUE(u.root()->rdobj("extra")->isEmpty());
    EXPECT_EQ(u.root()->exportToVariant(false), v);

    QVariantHash hash;
    hash.insert("h", 2);
    u.root()->importFromVariant(nullptr, hash, true, false, false);
    ASSERT_FALSE(u.root()->rdobj("h")->isEmpty());
    EXPECT_TRUE(u.root()->rdobj("h")->get().isNull());
}

TEST(JsonFiles, ReadWriteAndFailures)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    LogCapture log;
    const QString path = dir.filePath("sub/deeper/data.json");
    const QJsonValue value = json(R"({"k": [1, 2], "s": "中文"})");
    ASSERT_TRUE(ve::DataManager::writeToJson(path, value, true));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("{\n")); // indented, not compact
    file.close();
    EXPECT_EQ(ve::DataManager::readFromJson(path), value);
    EXPECT_EQ(ve::DataManager::readFromJsonAsVariant(path).toMap().value("s").toString(), "中文");

    EXPECT_FALSE(ve::DataManager::writeToJson(dir.filePath("str.json"), QJsonValue("text"), true));
    EXPECT_FALSE(QFile::exists(dir.filePath("str.json")));
    EXPECT_TRUE(
        log.contains("writing json is neither array nor object: \"" + dir.filePath("str.json") + "\""));

    EXPECT_FALSE(ve::DataManager::writeToJson(dir.filePath("nodir/x.json"), value, false));
    EXPECT_TRUE(log.contains("cannot write json file: \"" + dir.filePath("nodir/x.json") + "\""));
    // A directory cannot be made below a regular file.
    EXPECT_FALSE(ve::DataManager::writeToJson(path + "/x.json", value, true));
    EXPECT_TRUE(log.contains("cannot create foler \"" + path + "/x.json\" to write json"));

    EXPECT_TRUE(ve::DataManager::readFromJson(dir.filePath("missing.json")).isNull());
    EXPECT_TRUE(ve::DataManager::readFromJsonAsVariant(dir.filePath("missing.json")).isNull());
    EXPECT_TRUE(log.contains("[E|"));
    EXPECT_TRUE(log.contains("<m><static> cannot read json file: \"" + dir.filePath("missing.json") + "\""));
}

TEST(JsonFiles, GbkFallbackAndInvalidContent)
{
    QTemporaryDir dir;
    LogCapture log;
    QTextCodec* gbk = QTextCodec::codecForName("GBK");
    ASSERT_NE(gbk, nullptr);
    const QString text = QStringLiteral("调试器");
    const QByteArray gbkBytes = gbk->fromUnicode(text);
    ASSERT_NE(gbkBytes, text.toUtf8());
    EXPECT_EQ(ve::DataManager::convertToUtf8(gbkBytes), text);
    EXPECT_EQ(ve::DataManager::convertToUtf8(text.toUtf8()), text);

    QFile file(dir.filePath("gbk.json"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{\"title\": \"" + gbkBytes + "\"}");
    file.close();
    const QJsonValue value = ve::DataManager::readFromJson(file.fileName());
    EXPECT_EQ(value.toObject().value("title").toString(), text);
    EXPECT_FALSE(log.contains("read invalid json"));

    QFile bad(dir.filePath("bad.json"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("{\"a\": ");
    bad.close();
    const QJsonValue broken = ve::DataManager::readFromJson(bad.fileName());
    EXPECT_TRUE(broken.isArray());
    EXPECT_TRUE(broken.toArray().isEmpty());
    EXPECT_TRUE(
        log.contains("<m><static> read invalid json from: \"" + bad.fileName() + "\", parse error: \""));
}
