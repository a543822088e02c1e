// Signals of the data tree, their arguments, quiet and watch propagation.
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
    EXPECT_EQ(spy.at(2).at(0).toInt(), 5);
    EXPECT_EQ(spy.at(2).at(2).value<QObject*>(), &button);
    node->trigger();
    EXPECT_EQ(spy.at(3).at(2).value<QObject*>(), nullptr);
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
    QSignalSpy gonnaInsert(list, &DataObject::gonnaInsert);
    QSignalSpy gonnaRemove(list, &DataObject::gonnaRemove);

    auto* element = new DataObject(DataObject::generateId(list));
    ASSERT_TRUE(list->insert(&changer, element, false, 1));
    ASSERT_EQ(added.size(), 1);
    EXPECT_EQ(added.at(0).at(0).toString(), "#1");
    EXPECT_EQ(added.at(0).at(1).value<QObject*>(), &changer);
    ASSERT_EQ(gonnaInsert.size(), 1);
    EXPECT_EQ(gonnaInsert.at(0).at(0).value<DataObject*>(), element);
    EXPECT_EQ(gonnaInsert.at(0).at(1).value<DataObject*>(), list);

    ASSERT_TRUE(list->remove(&changer, list->c(2), true));
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(removed.at(0).at(0).toString(), "#2");
    ASSERT_EQ(gonnaRemove.size(), 1);
    EXPECT_EQ(gonnaRemove.at(0).at(1).value<DataObject*>(), list);

    list->append(nullptr, "named");
    EXPECT_EQ(added.last().at(0).toString(), "named");
    list->remove(nullptr, "named", true);
    EXPECT_EQ(removed.last().at(0).toString(), "named");

    // Reorder by names moves the chain without added/removed.
    const int before = added.size() + removed.size();
    list->append(nullptr, "z");
    ASSERT_TRUE(list->reorder(nullptr, QStringList {"z"}));
    EXPECT_EQ(added.size() + removed.size(), before + 1);
    // Reorder by position is a removal followed by an insertion.
    ASSERT_TRUE(list->reorder(nullptr, 0, 2));
    EXPECT_EQ(removed.last().at(0).toString(), "z");
    EXPECT_EQ(added.last().at(0).toString(), "z");
}

TEST(DataTreeSignals, QuietNodeEmitsNothingButChanges)
{
    TestTree t;
    DataObject* node = t.make("n");
    t.root()->watch(true, true);
    node->quiet(true);
    QSignalSpy changed(node, &DataObject::changed);
    QSignalSpy activated(node, &DataObject::activated);
    QSignalSpy rootActivated(t.root(), &DataObject::activated);
    QSignalSpy added(node, &DataObject::added);
    node->set(nullptr, 4);
    node->append(nullptr, "c");
    EXPECT_EQ(node->getInt(), 4);
    EXPECT_EQ(node->size(), 1);
    EXPECT_EQ(changed.size(), 0);
    EXPECT_EQ(activated.size(), 0);
    EXPECT_EQ(added.size(), 0);
    EXPECT_EQ(rootActivated.size(), 0);
    EXPECT_TRUE(node->isQuiet());
    node->quiet(false);
    node->set(nullptr, 5);
    EXPECT_EQ(changed.size(), 1);
}

TEST(DataTreeSignals, WatchPropagatesActivationToWatchingAncestors)
{
    TestTree t;
    DataObject* leaf = t.make("a.b.leaf");
    DataObject* a = t.root()->rdobj("a");
    DataObject* b = t.root()->rdobj("a.b");
    QSignalSpy rootSpy(t.root(), &DataObject::activated);
    QSignalSpy aSpy(a, &DataObject::activated);
    QSignalSpy bSpy(b, &DataObject::activated);
    QSignalSpy leafSpy(leaf, &DataObject::activated);

    leaf->set(nullptr, 1); // nobody watches
    EXPECT_EQ(leafSpy.size() + bSpy.size(), 0);

    a->watch(true, true); // a, b, leaf watch; the root does not
    EXPECT_TRUE(leaf->isWatching());
    QObject changer;
    leaf->set(&changer, 2);
    ASSERT_EQ(leafSpy.size(), 1);
    ASSERT_EQ(bSpy.size(), 1);
    ASSERT_EQ(aSpy.size(), 1);
    EXPECT_EQ(rootSpy.size(), 0);
    EXPECT_EQ(aSpy.at(0).at(0).value<DataObject*>(), leaf);
    EXPECT_EQ(aSpy.at(0).at(1).toInt(), DataObject::ValueChanged);
    EXPECT_EQ(aSpy.at(0).at(2).value<QObject*>(), &changer);

    // An inserted child takes over the watching flag; insertion is reported.
    DataObject* fresh = b->append(nullptr, "fresh");
    EXPECT_TRUE(fresh->isWatching());
    EXPECT_EQ(aSpy.last().at(0).value<DataObject*>(), fresh);
    EXPECT_EQ(aSpy.last().at(1).toInt(), DataObject::ChildInserted);
    b->remove(nullptr, fresh, true);
    EXPECT_EQ(aSpy.last().at(1).toInt(), DataObject::ChildRemoved);
    b->append(nullptr, "other");
    ASSERT_TRUE(b->reorder(nullptr, QStringList {"other"}));
    EXPECT_EQ(aSpy.last().at(0).value<DataObject*>(), b);
    EXPECT_EQ(aSpy.last().at(1).toInt(), DataObject::ChildrenReordered);

    // A quiet ancestor stops the propagation above it.
    const int aBefore = aSpy.size();
    b->quiet(true);
    leaf->set(nullptr, 3);
    EXPECT_EQ(leafSpy.size(), 2);
    EXPECT_EQ(aSpy.size(), aBefore);
}
