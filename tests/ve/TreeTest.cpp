// Paths, list elements, structure changes and copying of the data tree.
#include "DataManager.h"
#include "EmptyDataObject.h"
#include "TestTree.h"

#include <QPointer>
#include <QRegExp>

#include <gtest/gtest.h>

using ve::DataObject;

namespace {

QStringList names(DataObject* node)
{
    return node->cdobjNames(true);
}

} // namespace

TEST(DataTreePath, LookupFindsNestedNodesAndRejectsMalformedPaths)
{
    TestTree t;
    DataObject* leaf = t.make("config.setting.auto_connect");
    ASSERT_FALSE(leaf->isEmpty());
    EXPECT_EQ(t.root()->rdobj("config.setting.auto_connect"), leaf);
    EXPECT_EQ(t.root()->r("config")->r("setting")->c("auto_connect"), leaf);
    for (const QString& bad : {QString(), QStringLiteral("."), QStringLiteral(".config"),
             QStringLiteral("config."), QStringLiteral("config.."), QStringLiteral("config..setting"),
             QStringLiteral("config.setting.auto_connect."), QStringLiteral("nope.setting")}) {
        EXPECT_TRUE(t.root()->rdobj(bad)->isEmpty()) << bad.toStdString();
        EXPECT_FALSE(t.root()->hasRdobj(bad)) << bad.toStdString();
    }
    EXPECT_EQ(t.root()->rdobj("nope"), ve::d().emptyDobj());
}

TEST(DataTreePath, IndexOfRname)
{
    EXPECT_EQ(DataObject::indexOfRname("#0"), 0);
    EXPECT_EQ(DataObject::indexOfRname("#12"), 12);
    // Digits only: signs and spaces would let "#+1" or "#1 " alias position 1.
    for (const char* notAPosition :
        {"", "#", "3", "#-1", "#ab", "#0x1", "#+1", "# 1", "#1 ", " #1", "#1.0", "#99999999999"})
        EXPECT_EQ(DataObject::indexOfRname(notAPosition), -1) << notAPosition;

    // A part that is no position is looked up as an ordinary name.
    TestTree t;
    DataObject* odd = t.make("#-1");
    ASSERT_FALSE(odd->isEmpty());
    EXPECT_EQ(t.root()->rdobj("#-1"), odd);
    EXPECT_EQ(t.root()->rdobj("#0"), odd);
}

TEST(DataTreeList, PositionInsertionAppendsGeneratedChildren)
{
    TestTree t;
    DataObject* list = t.make("list");
    list->append(nullptr, "");
    ASSERT_EQ(list->size(), 1);
    ASSERT_TRUE(list->insert(nullptr, "#3", false));
    ASSERT_EQ(list->size(), 4);
    for (int i = 0; i < 4; ++i) {
        DataObject* element = list->rdobj(QStringLiteral("#%1").arg(i));
        ASSERT_FALSE(element->isEmpty());
        EXPECT_TRUE(element->isRelative());
        EXPECT_EQ(element->rname(), QStringLiteral("#%1").arg(i));
        EXPECT_EQ(element->indexInPdobj(), i);
        // "#{8-4-4-4-12}"
        EXPECT_TRUE(QRegExp("#\\{[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\}")
                        .exactMatch(element->name()))
            << element->name().toStdString();
        EXPECT_EQ(element->fullName(t.root()), QStringLiteral("list.#%1").arg(i));
    }
    EXPECT_TRUE(list->hasCdobj("#3"));
    EXPECT_FALSE(list->hasCdobj("#4"));
    EXPECT_TRUE(list->hasCdobj(""));
    EXPECT_TRUE(list->insert(nullptr, "#1", false)); // exists: unchanged
    EXPECT_EQ(list->size(), 4);
    // A nested path through positions creates both levels.
    ASSERT_TRUE(t.root()->insert(nullptr, "rows.#1.cells.#2", false));
    EXPECT_EQ(t.root()->rdobj("rows")->size(), 2);
    EXPECT_EQ(t.root()->rdobj("rows.#1.cells")->size(), 3);
    EXPECT_EQ(t.root()->rdobj("rows.#1.cells.#2")->fullName(t.root()), "rows.#1.cells.#2");
}

TEST(DataTreeValues, SetByPathAndLists)
{
    TestTree t;
    DataObject* root = t.root();
    EXPECT_EQ(root->set(nullptr, "x.y", 3, false), root);
    EXPECT_TRUE(root->rdobj("x.y")->isEmpty());
    EXPECT_EQ(root->set(nullptr, "x.y", 3, true), root);
    EXPECT_EQ(root->rdobj("x.y")->getInt(), 3);

    DataObject* list = t.make("list");
    list->setList(nullptr, {1, 2, 3}, true);
    EXPECT_EQ(list->getList(), (QList<QVariant> {1, 2, 3}));
    list->setList(nullptr, {9}, true);
    EXPECT_EQ(list->getList(), (QList<QVariant> {9, 2, 3}));
    root->setList(nullptr, "other", {4, 5}, true);
    EXPECT_EQ(root->rdobj("other")->getList(), (QList<QVariant> {4, 5}));

    // Writes to the empty node are dropped.
    DataObject* empty = ve::d().emptyDobj();
    EXPECT_EQ(empty->set(nullptr, 5), empty);
    EXPECT_TRUE(empty->get().isNull());
    EXPECT_EQ(empty->append(nullptr, "a"), empty);
    EXPECT_FALSE(empty->insert(nullptr, "a", false));
    EXPECT_FALSE(empty->remove(nullptr, "a", true));
    EXPECT_TRUE(empty->exportToJson().isNull());
    EXPECT_TRUE(empty->exportToBin().isEmpty());
    EXPECT_EQ(empty->size(), 0);
}

TEST(DataTreeStructure, InsertReplaceIndexAndFailures)
{
    TestTree t;
    DataObject* root = t.root();
    EXPECT_FALSE(root->insert(nullptr, static_cast<DataObject*>(nullptr)));
    EXPECT_FALSE(root->insert(nullptr, ve::d().emptyDobj()));
    auto* a = new DataObject("a");
    ASSERT_TRUE(root->insert(nullptr, a));
    a->set(nullptr, 1);
    a->append(nullptr, "sub");

    auto* dup = new DataObject("a");
    EXPECT_FALSE(root->insert(nullptr, dup, false));
    EXPECT_EQ(root->cdobj("a"), a);
    EXPECT_EQ(root->cdobj("a")->getInt(), 1);

    QPointer<DataObject> watchOld(a);
    dup->set(nullptr, 2);
    ASSERT_TRUE(root->insert(nullptr, dup, true));
    EXPECT_TRUE(watchOld.isNull()); // old child destroyed
    EXPECT_EQ(root->cdobj("a"), dup);
    EXPECT_EQ(root->size(), 1);

    root->append(nullptr, "b");
    root->append(nullptr, "c");
    ASSERT_TRUE(root->insert(nullptr, new DataObject("first"), false, 0));
    ASSERT_TRUE(root->insert(nullptr, new DataObject("mid"), false, 2));
    ASSERT_TRUE(root->insert(nullptr, new DataObject("end"), false, 99));
    EXPECT_EQ(names(root), (QStringList {"first", "a", "mid", "b", "c", "end"}));

    // A node cannot be linked into its own subtree or into a second parent.
    DataObject* mid = root->cdobj("mid");
    DataObject* deep = t.make("mid.deep");
    EXPECT_FALSE(deep->insert(nullptr, mid));
    EXPECT_FALSE(t.make("b")->insert(nullptr, deep));
    EXPECT_EQ(deep->pdobj(), mid);

    // Empty path parts are refused without creating anything.
    EXPECT_FALSE(root->insert(nullptr, "x..y", false));
    EXPECT_FALSE(root->insert(nullptr, "", false));
    EXPECT_TRUE(root->rdobj("x")->isEmpty());

    // Deleting an inserted node directly unlinks it.
    delete root->cdobj("b");
    EXPECT_EQ(names(root), (QStringList {"first", "a", "mid", "c", "end"}));
}

TEST(DataTreeStructure, RemoveAndClear)
{
    TestTree t;
    DataObject* root = t.root();
    t.make("a.x");
    t.make("a.y")->set(nullptr, 5);
    DataObject* b = t.make("b");
    EXPECT_FALSE(root->remove(nullptr, "nope", true));
    EXPECT_FALSE(root->remove(nullptr, static_cast<DataObject*>(nullptr)));
    DataObject stranger("b");
    EXPECT_FALSE(root->remove(nullptr, &stranger, false)); // same name, other node
    ASSERT_TRUE(root->remove(nullptr, b, false));
    EXPECT_TRUE(b->pdobj()->isEmpty());
    EXPECT_EQ(names(root), QStringList {"a"});
    delete b;

    DataObject* a = root->cdobj("a");
    a->set(nullptr, 3);
    a->clear(nullptr, true, true);
    EXPECT_EQ(a->size(), 2);
    EXPECT_TRUE(a->get().isNull());
    EXPECT_TRUE(a->c("y")->get().isNull());
    a->clear(nullptr, true, false);
    EXPECT_EQ(a->size(), 0);
}

TEST(DataTreeStructure, ReorderByPositionAndNames)
{
    TestTree t;
    DataObject* single = t.make("single.one");
    EXPECT_FALSE(single->pdobj()->reorder(nullptr, 0, 1));
    DataObject* list = t.make("list");
    for (const char* n : {"a", "b", "c", "d"})
        list->append(nullptr, n);
    EXPECT_FALSE(list->reorder(nullptr, 1, 1));
    EXPECT_FALSE(list->reorder(nullptr, 9, 0));
    ASSERT_TRUE(list->reorder(nullptr, 0, 2));
    EXPECT_EQ(names(list), (QStringList {"b", "c", "a", "d"}));
    ASSERT_TRUE(list->reorder(nullptr, 3, 0));
    EXPECT_EQ(names(list), (QStringList {"d", "b", "c", "a"}));

    DataObject* three = t.make("three");
    for (const char* n : {"x", "y", "z"})
        three->append(nullptr, n);
    ASSERT_TRUE(three->reorder(nullptr, QStringList {"#2", "nobody", "#2"}));
    EXPECT_EQ(names(three), (QStringList {"z", "x", "y"}));
    EXPECT_EQ(three->c("z")->indexInPdobj(), 0);
    EXPECT_EQ(three->last()->name(), "y");
    EXPECT_EQ(three->c(2)->prevBdobj()->name(), "x");
    ASSERT_TRUE(three->reorder(nullptr, QStringList {"y", "x"}));
    EXPECT_EQ(names(three), (QStringList {"y", "x", "z"}));
    EXPECT_FALSE(three->reorder(nullptr, QStringList {}));
    EXPECT_FALSE(three->reorder(nullptr, QStringList {"a", "b", "c", "d"}));
}

namespace {

// A node whose insertions can be refused, as a subclass may do.
class RefusingNode : public DataObject
{
public:
    using DataObject::DataObject;
    using DataObject::insert;
    bool insert(QObject* changer, DataObject* child, bool replace, int index) override
    {
        return !refuse && DataObject::insert(changer, child, replace, index);
    }
    bool refuse = false;
};

} // namespace

TEST(DataTreeStructure, ReorderThatCannotReinsertPutsTheChildBack)
{
    RefusingNode list(QStringLiteral("list"));
    for (const char* n : {"a", "b", "c"})
        list.append(nullptr, n);
    QPointer<DataObject> b = list.c("b");
    list.refuse = true;
    EXPECT_FALSE(list.reorder(nullptr, 1, 0));
    ASSERT_FALSE(b.isNull());
    EXPECT_EQ(names(&list), (QStringList {"a", "b", "c"}));
    EXPECT_EQ(b->pdobj(), &list);
}

TEST(DataTreeStructure, ParentIsSetOnlyByInsertion)
{
    auto* parent = new DataObject(QStringLiteral("parent"));
    auto* loose = ve::d().create(QStringLiteral("loose"), parent);
    EXPECT_TRUE(loose->pdobj()->isEmpty());
    EXPECT_EQ(loose->indexInPdobj(), -1);
    EXPECT_EQ(loose->fullName(), "loose");
    // Destroying the would-be parent first must not leave the node pointing at it.
    delete parent;
    delete loose;
}

TEST(DataTreeCopy, CopyFromWithAddAndRemoveExtra)
{
    TestTree t;
    DataObject* src = t.make("src");
    src->set(nullptr, "a.v", 1, true);
    src->set(nullptr, "b", 2, true);
    src->setList(nullptr, "list", {10, 20, 30}, true);
    DataObject* dst = t.make("dst");
    dst->set(nullptr, "a.v", 0, true);
    dst->set(nullptr, "extra", 9, true);
    dst->setList(nullptr, "list", {1, 2, 3, 4, 5}, true);
    dst->set(nullptr, 77);

    dst->copyFrom(nullptr, src, false, false);
    EXPECT_EQ(dst->rdobj("a.v")->getInt(), 1);
    EXPECT_TRUE(dst->rdobj("b")->isEmpty());
    EXPECT_EQ(dst->rdobj("extra")->getInt(), 9);
    EXPECT_EQ(dst->rdobj("list")->getList(), (QList<QVariant> {10, 20, 30, 4, 5}));
    EXPECT_TRUE(dst->get().isNull()); // src's null value is copied too

    dst->copyFrom(nullptr, src, true, true);
    EXPECT_EQ(dst->rdobj("b")->getInt(), 2);
    EXPECT_TRUE(dst->rdobj("extra")->isEmpty());
    EXPECT_EQ(dst->rdobj("list")->getList(), (QList<QVariant> {10, 20, 30}));

    // Copying into one's own descendant terminates.
    DataObject* inner = t.make("src.inner");
    inner->copyFrom(nullptr, src, true, false);
    EXPECT_EQ(inner->rdobj("b")->getInt(), 2);
    EXPECT_TRUE(inner->rdobj("inner.inner")->isEmpty());

    // Copying a descendant with removeExtra removes the source itself on the
    // way: the copy must come from a snapshot.
    DataObject* outer = t.make("outer");
    outer->set(nullptr, "keep.x", 1, true);
    outer->set(nullptr, "keep.y", 2, true);
    outer->set(nullptr, "drop", 3, true);
    outer->copyFrom(nullptr, outer->c("keep"), true, true);
    EXPECT_EQ(names(outer), (QStringList {"x", "y"}));
    EXPECT_EQ(outer->rdobj("y")->getInt(), 2);
}
