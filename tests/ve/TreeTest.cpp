// Paths, list elements, structure changes, copying and signals of the data
// tree; editors follow the signals and ignore their own echo.
#include "DataManager.h"
#include "EmptyDataObject.h"
#include "TestTree.h"

#include <QPointer>
#include <QSignalSpy>

#include <gtest/gtest.h>

using ve::DataObject;

namespace {

QStringList names(DataObject* node)
{
    return node->cdobjNames(true);
}

} // namespace

TEST(DataTreePath, MalformedPathsAndPositionsFindNothing)
{
    TestTree t;
    DataObject* leaf = t.make("config.setting.auto_connect");
    ASSERT_FALSE(leaf->isEmpty());
    EXPECT_EQ(t.root()->rdobj("config.setting.auto_connect"), leaf);
    for (const char* bad :
        {"", ".", ".config", "config.", "config..setting", "config.setting.auto_connect.", "nope.setting"})
        EXPECT_EQ(t.root()->rdobj(bad), ve::d().emptyDobj()) << bad;

    EXPECT_EQ(DataObject::indexOfRname("#12"), 12);
    // Digits only: signs and spaces would let "#+1" or "#1 " alias position 1.
    for (const char* notAPosition :
        {"", "#", "3", "#-1", "#ab", "#0x1", "#+1", "# 1", "#1 ", " #1", "#1.0", "#99999999999"})
        EXPECT_EQ(DataObject::indexOfRname(notAPosition), -1) << notAPosition;

    // Writes to the empty node, which every failed lookup returns, are dropped.
    DataObject* empty = ve::d().emptyDobj();
    empty->set(nullptr, 5);
    EXPECT_EQ(empty->append(nullptr, "a"), empty);
    EXPECT_TRUE(empty->get().isNull());
    EXPECT_EQ(empty->size(), 0);
}

TEST(DataTreeStructure, InsertReplaceRemoveAndFailures)
{
    TestTree t;
    DataObject* root = t.root();
    auto* a = new DataObject("a");
    ASSERT_TRUE(root->insert(nullptr, a));
    a->set(nullptr, 1);

    auto* dup = new DataObject("a");
    EXPECT_FALSE(root->insert(nullptr, dup, false));
    EXPECT_EQ(root->cdobj("a")->getInt(), 1);
    QPointer<DataObject> watchOld(a);
    ASSERT_TRUE(root->insert(nullptr, dup, true));
    EXPECT_TRUE(watchOld.isNull());
    EXPECT_EQ(root->cdobj("a"), dup);

    root->append(nullptr, "b");
    ASSERT_TRUE(root->insert(nullptr, new DataObject("first"), false, 0));
    ASSERT_TRUE(root->insert(nullptr, new DataObject("mid"), false, 2));
    ASSERT_TRUE(root->insert(nullptr, new DataObject("end"), false, 99));
    EXPECT_EQ(names(root), (QStringList {"first", "a", "mid", "b", "end"}));

    // A node cannot be linked into its own subtree or into a second parent.
    DataObject* mid = root->cdobj("mid");
    DataObject* deep = t.make("mid.deep");
    EXPECT_FALSE(deep->insert(nullptr, mid));
    EXPECT_FALSE(t.make("b")->insert(nullptr, deep));
    EXPECT_EQ(deep->pdobj(), mid);
    EXPECT_FALSE(root->insert(nullptr, "x..y", false));
    EXPECT_TRUE(root->rdobj("x")->isEmpty());

    DataObject stranger("b");
    EXPECT_FALSE(root->remove(nullptr, &stranger, false)); // same name, other node
    delete root->cdobj("b"); // deleting an inserted node unlinks it
    EXPECT_EQ(names(root), (QStringList {"first", "a", "mid", "end"}));
    mid->set(nullptr, 3);
    mid->clear(nullptr, true, true);
    EXPECT_EQ(mid->size(), 1);
    EXPECT_TRUE(mid->get().isNull());
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

TEST(DataTreeStructure, ReorderByPositionAndNamesAndPutBackOnFailure)
{
    RefusingNode list(QStringLiteral("list"));
    for (const char* n : {"a", "b", "c", "d"})
        list.append(nullptr, n);
    EXPECT_FALSE(list.reorder(nullptr, 9, 0));
    ASSERT_TRUE(list.reorder(nullptr, 0, 2));
    EXPECT_EQ(names(&list), (QStringList {"b", "c", "a", "d"}));
    ASSERT_TRUE(list.reorder(nullptr, QStringList {"#3", "nobody", "#3"}));
    EXPECT_EQ(names(&list), (QStringList {"d", "b", "c", "a"}));
    EXPECT_EQ(list.c("a")->indexInPdobj(), 3);
    EXPECT_FALSE(list.reorder(nullptr, QStringList {"a", "b", "c", "d", "e"}));

    // A child that cannot be re-inserted goes back where it was.
    QPointer<DataObject> b = list.c("b");
    list.refuse = true;
    EXPECT_FALSE(list.reorder(nullptr, 1, 0));
    ASSERT_FALSE(b.isNull());
    EXPECT_EQ(names(&list), (QStringList {"d", "b", "c", "a"}));
    EXPECT_EQ(b->pdobj(), &list);
}

TEST(DataTreeStructure, ParentIsSetOnlyByInsertion)
{
    auto* parent = new DataObject(QStringLiteral("parent"));
    auto* loose = ve::d().create(QStringLiteral("loose"), parent);
    EXPECT_TRUE(loose->pdobj()->isEmpty());
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
    dst->set(nullptr, "extra", 9, true);
    dst->setList(nullptr, "list", {1, 2, 3, 4, 5}, true);
    dst->set(nullptr, 77);

    dst->copyFrom(nullptr, src, false, false);
    EXPECT_TRUE(dst->rdobj("b")->isEmpty());
    EXPECT_EQ(dst->rdobj("extra")->getInt(), 9);
    EXPECT_EQ(dst->rdobj("list")->getList(), (QList<QVariant> {10, 20, 30, 4, 5}));
    EXPECT_TRUE(dst->get().isNull()); // src's null value is copied too

    dst->copyFrom(nullptr, src, true, true);
    EXPECT_EQ(dst->rdobj("a.v")->getInt(), 1);
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

TEST(DataTreeSignals, ChangedOnEverySetWithOldValueAndChanger)
{
    TestTree t;
    DataObject* node = t.make("n");
    QObject changer;
    QSignalSpy spy(node, &DataObject::changed);
    node->set(&changer, 5);
    node->set(&changer, 5);
    ASSERT_EQ(spy.size(), 2);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 5);
    EXPECT_TRUE(spy.at(0).at(1).isNull());
    EXPECT_EQ(spy.at(1).at(0), spy.at(1).at(1)); // equal value still signals
    EXPECT_EQ(spy.at(1).at(2).value<QObject*>(), &changer);

    // trigger() re-sets the value with the invoking object as changer.
    QObject button;
    QObject::connect(&button, &QObject::objectNameChanged, node, &DataObject::trigger);
    button.setObjectName("press");
    ASSERT_EQ(spy.size(), 3);
    EXPECT_EQ(spy.at(2).at(2).value<QObject*>(), &button);
}

TEST(DataTreeSignals, InsertAndRemoveCarryPositionsOfListElements)
{
    TestTree t;
    DataObject* list = t.make("list");
    list->append(nullptr, "");
    list->append(nullptr, "");
    QObject changer;
    QSignalSpy added(list, &DataObject::added);
    QSignalSpy removed(list, &DataObject::removed);

    ASSERT_TRUE(list->insert(&changer, new DataObject(DataObject::generateId(list)), false, 1));
    ASSERT_EQ(added.size(), 1);
    EXPECT_EQ(added.at(0).at(0).toString(), "#1");
    EXPECT_EQ(added.at(0).at(1).value<QObject*>(), &changer);
    ASSERT_TRUE(list->remove(&changer, list->c(2), true));
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(removed.at(0).at(0).toString(), "#2");

    // Reorder by position is a removal followed by an insertion.
    list->append(nullptr, "z");
    ASSERT_TRUE(list->reorder(nullptr, 2, 0));
    EXPECT_EQ(removed.last().at(0).toString(), "z");
    EXPECT_EQ(added.last().at(0).toString(), "z");
}

TEST(DataTreeSignals, WatchPropagatesToWatchingAncestorsAndQuietStopsIt)
{
    TestTree t;
    DataObject* leaf = t.make("a.b.leaf");
    DataObject* a = t.root()->rdobj("a");
    DataObject* b = t.root()->rdobj("a.b");
    QSignalSpy rootSpy(t.root(), &DataObject::activated);
    QSignalSpy aSpy(a, &DataObject::activated);
    QSignalSpy leafSpy(leaf, &DataObject::activated);

    a->watch(true, true); // a, b, leaf watch; the root does not
    QObject changer;
    leaf->set(&changer, 2);
    ASSERT_EQ(leafSpy.size(), 1);
    ASSERT_EQ(aSpy.size(), 1);
    EXPECT_EQ(rootSpy.size(), 0);
    EXPECT_EQ(aSpy.at(0).at(0).value<DataObject*>(), leaf);
    EXPECT_EQ(aSpy.at(0).at(1).toInt(), DataObject::ValueChanged);
    EXPECT_EQ(aSpy.at(0).at(2).value<QObject*>(), &changer);

    // An inserted child takes over the watching flag; changes of the chain are reported.
    DataObject* fresh = b->append(nullptr, "fresh");
    EXPECT_TRUE(fresh->isWatching());
    EXPECT_EQ(aSpy.last().at(1).toInt(), DataObject::ChildInserted);
    ASSERT_TRUE(b->reorder(nullptr, QStringList {"fresh"}));
    EXPECT_EQ(aSpy.last().at(1).toInt(), DataObject::ChildrenReordered);
    b->remove(nullptr, fresh, true);
    EXPECT_EQ(aSpy.last().at(1).toInt(), DataObject::ChildRemoved);

    // A quiet node changes but emits nothing, and stops the propagation.
    const int aBefore = aSpy.size();
    QSignalSpy bChanged(b, &DataObject::changed);
    b->quiet(true);
    b->set(nullptr, 4);
    b->append(nullptr, "c");
    leaf->set(nullptr, 3);
    EXPECT_EQ(b->getInt(), 4);
    EXPECT_EQ(bChanged.size(), 0);
    EXPECT_EQ(leafSpy.size(), 2);
    EXPECT_EQ(aSpy.size(), aBefore);
}
