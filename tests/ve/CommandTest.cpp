#include "CommandManager.h"
#include "ConvertCommand.h"
#include "DataManager.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

struct Outcome
{
    QStringList outputs;
    QStringList errors;
    QStringList unknown;
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
    QObject::connect(cmd, &ve::BaseCommand::unknown, &scope, [&o](const QString& t) { o.unknown << t; });
    QObject::connect(cmd, &ve::BaseCommand::finished, &scope, [&o] { ++o.finished; });
    cmd->exec(ve::d().rootDobj(), text);
    return o;
}

// A failure is one error, no output, and still the end of the command.
void expectFailure(const Outcome& o, const QString& errorStart)
{
    EXPECT_TRUE(o.outputs.isEmpty()) << o.outputs.join(QLatin1Char('|')).toStdString();
    ASSERT_EQ(o.errors.size(), 1);
    EXPECT_TRUE(o.errors.first().startsWith(errorStart)) << o.errors.first().toStdString();
    EXPECT_EQ(o.finished, 1);
}

TEST(CommandTest, ConvertIsRegisteredOnceByTheDataManager)
{
    ve::d();
    ve::BaseCommand* convert = ve::command()->get(QStringLiteral("convert"));
    ASSERT_NE(convert, nullptr);

    ve::ConvertCommand second;
    EXPECT_FALSE(ve::command()->regist(&second));
    EXPECT_EQ(ve::command()->get(QStringLiteral("convert")), convert);

    // Cancelling does not delete; a deleted command reads as absent.
    auto* temp = new ve::BaseCommand(QStringLiteral("temp"));
    QSignalSpy removed(ve::command(), &ve::CommandManager::commandRemoved);
    ASSERT_TRUE(ve::command()->regist(temp));
    EXPECT_TRUE(ve::command()->cancel(QStringLiteral("temp")));
    EXPECT_EQ(removed.count(), 1);
    EXPECT_FALSE(ve::command()->cancel(QStringLiteral("temp")));
    ASSERT_TRUE(ve::command()->regist(temp));
    delete temp;
    EXPECT_EQ(ve::command()->get(QStringLiteral("temp")), nullptr);
    EXPECT_TRUE(ve::command()->cancel(QStringLiteral("temp")));
}

TEST(CommandTest, JsonToBinAndBackAndXml)
{
    const Outcome bin = convert(QStringLiteral("JSON BIN -data={\"speed\": 12.5}"));
    ASSERT_EQ(bin.outputs.size(), 1);
    EXPECT_TRUE(bin.errors.isEmpty());
    ve::DataObject expected {QString()};
    expected.set(nullptr, QStringLiteral("speed"), 12.5, true);
    EXPECT_EQ(bin.outputs.first(), QString::fromLatin1(qCompress(expected.exportToBin()).toHex(' ')));

    const Outcome json = convert(QStringLiteral("BIN JSON -data=") + bin.outputs.first());
    ASSERT_EQ(json.outputs.size(), 1) << json.errors.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(json.outputs.first().toUtf8()).object(),
        QJsonObject({{QStringLiteral("speed"), 12.5}}));

    const Outcome xml = convert(QStringLiteral("JSON XML -data={\"a\": {\"b\": \"x y\"}}"));
    ASSERT_EQ(xml.outputs.size(), 1);
    const Outcome back = convert(QStringLiteral("XML JSON -data=") + xml.outputs.first());
    ASSERT_EQ(back.outputs.size(), 1) << back.errors.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(
        QJsonDocument::fromJson(back.outputs.first().toUtf8()).object().value(QStringLiteral("a")).toObject(),
        QJsonObject({{QStringLiteral("b"), QStringLiteral("x y")}}));

    // Nothing to read converts the empty node.
    EXPECT_EQ(convert(QStringLiteral("JSON XML")).outputs.size(), 1);
}

TEST(CommandTest, OptionsAreReadStrictly)
{
    QTemporaryDir dir;
    const QString secret = dir.filePath(QStringLiteral("secret.json"));
    {
        QFile f(secret);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("{\"secret\": \"from the file\"}");
    }
    // Data that merely contain "-path=" stay data.
    const Outcome data = convert(QStringLiteral("JSON JSON2 -data={\"note\": \"see -path=") + secret + "\"}");
    ASSERT_EQ(data.outputs.size(), 1) << data.errors.join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(data.outputs.first().contains(QStringLiteral("from the file")));
    EXPECT_TRUE(data.outputs.first().contains(QStringLiteral("see -path=")));

    const Outcome file = convert(QStringLiteral("JSON XML -path=") + secret);
    ASSERT_EQ(file.outputs.size(), 1);
    EXPECT_TRUE(file.outputs.first().contains(QStringLiteral("from the file")));

    const Outcome same = convert(QStringLiteral("JSON JSON -data={}"));
    expectFailure(same, QStringLiteral("origin type is same with target type"));

    const Outcome option = convert(QStringLiteral("JSON XML --data={}"));
    expectFailure(option, QStringLiteral("unknown option: --data={}"));
    EXPECT_EQ(option.unknown, QStringList({QStringLiteral("--data={}")}));
    expectFailure(
        convert(QStringLiteral("YAML XML -data=a: 1")), QStringLiteral("unknown origin type: YAML"));
    expectFailure(convert(QStringLiteral("JSON CSV -data={}")), QStringLiteral("unknown target type: CSV"));
}

TEST(CommandTest, BrokenInputIsAnErrorWithoutOutput)
{
    expectFailure(
        convert(QStringLiteral("JSON XML -path=/nonexistent/x.json")), QStringLiteral("cannot read file"));
    expectFailure(convert(QStringLiteral("JSON XML -data={\"a\": ")), QStringLiteral("invalid json"));
    expectFailure(convert(QStringLiteral("XML JSON -data=<m><c name=\"a\">")), QStringLiteral("invalid xml"));
    expectFailure(
        convert(QStringLiteral("BIN JSON -data=zz 01")), QStringLiteral("invalid hexadecimal data"));
    expectFailure(convert(QStringLiteral("BIN JSON -data=0 01")), QStringLiteral("invalid hexadecimal data"));
    expectFailure(
        convert(QStringLiteral("BIN JSON -data=00 00 00 10 78 9c")), QStringLiteral("invalid binary data"));
    // A size field that asks for 4 GiB.
    expectFailure(convert(QStringLiteral("BIN JSON -data=ff ff ff ff 78 9c 03 00 00 00 00 01")),
        QStringLiteral("invalid binary data"));

    // Expands far beyond what it claims and beyond the bound.
    QByteArray bomb = qCompress(QByteArray(ve::ConvertCommand::MaxDataSize + 1024, '\0'), 9);
    bomb[0] = 0;
    bomb[1] = 0;
    bomb[2] = 0;
    bomb[3] = 16;
    QByteArray out;
    EXPECT_FALSE(ve::ConvertCommand::uncompressBounded(bomb, out));
    EXPECT_TRUE(out.isEmpty());
    expectFailure(convert(QStringLiteral("BIN JSON -data=") + QString::fromLatin1(bomb.toHex())),
        QStringLiteral("invalid binary data"));
}

} // namespace
