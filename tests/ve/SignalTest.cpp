// Signals of the data tree: editors follow them and ignore their own echo.
#include "DataManager.h"
#include "TestTree.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using ve::DataObject;

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
