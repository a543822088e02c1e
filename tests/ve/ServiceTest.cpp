// The state manager's links and the command registry with "convert". That
// every convert input ends in one output or one error is the convert fuzzer's
// check; these pin what the user is told.
#include "CommandManager.h"
#include "ConvertCommand.h"
#include "DataManager.h"
#include "StateManager.h"
#include "StateWatcher.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

using ve::StateObject;

namespace {

ve::StateManager* sm()
{
    return ve::state();
}

TEST(StateTest, RingsChainsAndUnknownNamesWithSignalsInOrder)
{
    QObject ring;
    ASSERT_TRUE(
        sm()->regist(&ring, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, true, 2));
    StateObject* a = sm()->get(&ring, QStringLiteral("a"));
    StateObject* c = sm()->get(&ring, QStringLiteral("c"));
    EXPECT_EQ(sm()->current(&ring), a);
    QStringList order;
    QObject::connect(a, &StateObject::raus, [&](StateObject* to) { order << "raus a->" + to->name(); });
    QObject::connect(c, &StateObject::rein, [&](StateObject* from) { order << "rein c<-" + from->name(); });
    QObject::connect(sm()->watcher(&ring), &ve::StateWatcher::changed,
        [&](StateObject* from, StateObject* to) { order << "changed " + from->name() + "->" + to->name(); });
    sm()->toPrevious(&ring);
    EXPECT_EQ(order, QStringList({"raus a->c", "rein c<-a", "changed a->c"}));
    sm()->toNext(&ring);
    EXPECT_EQ(sm()->current(&ring), a) << "the ring closes from the last to the first";
    // An unknown name leaves the current state, with the signals of a change.
    sm()->change(&ring, QStringLiteral("nope"));
    EXPECT_TRUE(sm()->current(&ring)->isEmptyState());
    EXPECT_EQ(order.last(), "changed a->");

    QObject chain;
    sm()->regist(&chain, {QStringLiteral("x"), QStringLiteral("y")}, false, 1);
    sm()->change(&chain, QStringLiteral("y"));
    sm()->toNext(&chain);
    EXPECT_TRUE(sm()->current(&chain)->isEmptyState()) << "stepping off a chain's end";
}

// Cancelling a state that others still point at must leave no dangling link,
// current entry or watcher.
TEST(StateTest, CancelledStateLeavesNoDanglingLinkOrCurrent)
{
    QObject owner;
    QObject other;
    sm()->regist(&owner, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, true, 2);
    StateObject* a = sm()->get(&owner, QStringLiteral("a"));
    QPointer<StateObject> b = sm()->get(&owner, QStringLiteral("b"));
    sm()->change(&other, b);

    ASSERT_TRUE(sm()->cancel(&owner, QStringLiteral("b")));
    EXPECT_TRUE(b.isNull());
    EXPECT_TRUE(a->nextState()->isEmptyState());
    EXPECT_TRUE(sm()->current(&other)->isEmptyState());
    sm()->toNext(&owner);
    EXPECT_TRUE(sm()->current(&owner)->isEmptyState());
    sm()->toNext(&other);

    // A slot that cancels every state during a change.
    QPointer<ve::StateWatcher> watcher = sm()->watcher(&owner);
    sm()->change(&owner, a);
    QObject::connect(a, &StateObject::raus, [&owner] { ve::state()->cancel(&owner, QString()); });
    sm()->toPrevious(&owner);
    EXPECT_TRUE(sm()->current(&owner)->isEmptyState());
    EXPECT_TRUE(watcher.isNull());
    EXPECT_EQ(sm()->watcher(&owner), sm()->emptyWatcher());
    EXPECT_FALSE(sm()->cancel(&owner, QStringLiteral("a")));
}

TEST(StateTest, DestroyedOwnerTakesItsStatesAlong)
{
    auto owner = std::make_unique<QObject>();
    QObject* address = owner.get();
    QPointer<StateObject> s = sm()->regist(address, QStringLiteral("run"), true);
    QPointer<ve::StateWatcher> watcher = sm()->watcher(address);
    owner.reset();
    EXPECT_TRUE(s.isNull());
    EXPECT_TRUE(watcher.isNull());
    // A new object at that address starts clean.
    EXPECT_TRUE(sm()->current(address)->isEmptyState());
    EXPECT_TRUE(sm()->get(address, QStringLiteral("run"))->isEmptyState());
}

struct Outcome
{
    QStringList outputs;
    QStringList errors;
    int finished = 0;
};

Outcome convert(const QString& text)
{
    ve::BaseCommand* cmd = ve::command()->get(QStringLiteral("convert"));
    Outcome o;
    if (!cmd) {
        ADD_FAILURE() << "convert is not registered";
        return o;
    }
    QObject scope;
    QObject::connect(cmd, &ve::BaseCommand::output, &scope, [&o](const QString& t) { o.outputs << t; });
    QObject::connect(cmd, &ve::BaseCommand::error, &scope, [&o](const QString& t) { o.errors << t; });
    QObject::connect(cmd, &ve::BaseCommand::finished, &scope, [&o] { ++o.finished; });
    cmd->exec(ve::d().rootDobj(), text);
    return o;
}

QJsonObject jsonOf(const Outcome& o)
{
    return o.outputs.size() == 1 ? QJsonDocument::fromJson(o.outputs.first().toUtf8()).object()
                                 : QJsonObject();
}

TEST(CommandTest, RegistryKeepsTheFirstAndForgetsDeletedCommands)
{
    ve::d();
    ve::BaseCommand* convert = ve::command()->get(QStringLiteral("convert"));
    ASSERT_NE(convert, nullptr);
    ve::ConvertCommand second;
    EXPECT_FALSE(ve::command()->regist(&second));
    EXPECT_EQ(ve::command()->get(QStringLiteral("convert")), convert);

    auto* temp = new ve::BaseCommand(QStringLiteral("temp"));
    ASSERT_TRUE(ve::command()->regist(temp));
    delete temp;
    EXPECT_EQ(ve::command()->get(QStringLiteral("temp")), nullptr);
}

TEST(CommandTest, FormsConvertAndDataStayData)
{
    const Outcome bin = convert(QStringLiteral("JSON BIN -data={\"speed\": 12.5}"));
    ASSERT_EQ(bin.outputs.size(), 1);
    EXPECT_EQ(jsonOf(convert(QStringLiteral("BIN JSON -data=") + bin.outputs.first())),
        QJsonObject({{QStringLiteral("speed"), 12.5}}));

    // Data that merely contain "-path=" are not read as a file name.
    QTemporaryDir dir;
    const QString secret = dir.filePath(QStringLiteral("secret.json"));
    ASSERT_TRUE(writeAll(secret, "{\"secret\": \"from the file\"}"));
    const Outcome data = convert(QStringLiteral("JSON JSON2 -data={\"note\": \"see -path=") + secret + "\"}");
    ASSERT_EQ(data.outputs.size(), 1) << data.errors.join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(data.outputs.first().contains(QStringLiteral("from the file")));
    EXPECT_TRUE(
        convert(QStringLiteral("JSON XML -path=") + secret).outputs.value(0).contains("from the file"));
}

TEST(CommandTest, BadOptionsAndBrokenInputAreOneErrorWithoutOutput)
{
    // Expands far beyond what it claims and beyond the bound.
    QByteArray bomb = qCompress(QByteArray(ve::ConvertCommand::MaxDataSize + 1024, '\0'), 9);
    bomb[0] = 0;
    bomb[1] = 0;
    bomb[2] = 0;
    bomb[3] = 16;
    QByteArray out;
    EXPECT_FALSE(ve::ConvertCommand::uncompressBounded(bomb, out));
    EXPECT_TRUE(out.isEmpty());

    const QList<QPair<QString, QString>> cases {
        {"JSON JSON -data={}", "origin type is same with target type"},
        {"JSON XML --data={}", "unknown option: --data={}"},
        {"YAML XML -data=a: 1", "unknown origin type: YAML"},
        {"JSON CSV -data={}", "unknown target type: CSV"},
        {"JSON XML -path=/nonexistent/x.json", "cannot read file"},
        {"JSON XML -data={\"a\": ", "invalid json"},
        {"XML JSON -data=<m><c name=\"a\">", "invalid xml"},
        {"BIN JSON -data=zz 01", "invalid hexadecimal data"},
        {"BIN JSON -data=0 01", "invalid hexadecimal data"},
        {"BIN JSON -data=00 00 00 10 78 9c", "invalid binary data"},
        // A size field that asks for 4 GiB.
        {"BIN JSON -data=ff ff ff ff 78 9c 03 00 00 00 00 01", "invalid binary data"},
        {"BIN JSON -data=" + QString::fromLatin1(bomb.toHex()), "invalid binary data"},
    };
    for (const auto& c : cases) {
        const Outcome o = convert(c.first);
        const std::string command = c.first.left(60).toStdString();
        EXPECT_TRUE(o.outputs.isEmpty()) << command;
        ASSERT_EQ(o.errors.size(), 1) << command;
        EXPECT_TRUE(o.errors.first().startsWith(c.second))
            << command << ": " << o.errors.first().toStdString();
        EXPECT_EQ(o.finished, 1) << command;
    }
}

} // namespace
