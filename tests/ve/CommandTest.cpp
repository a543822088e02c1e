// The command registry and "convert". That every input ends in one output or
// one error is the convert fuzzer's check; these pin what the user is told.
#include "CommandManager.h"
#include "ConvertCommand.h"
#include "DataManager.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

namespace {

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

TEST(CommandTest, FormsConvertBothWaysAndDataStayData)
{
    const Outcome bin = convert(QStringLiteral("JSON BIN -data={\"speed\": 12.5}"));
    ASSERT_EQ(bin.outputs.size(), 1);
    ve::DataObject expected {QString()};
    expected.set(nullptr, QStringLiteral("speed"), 12.5, true);
    EXPECT_EQ(bin.outputs.first(), QString::fromLatin1(qCompress(expected.exportToBin()).toHex(' ')));
    EXPECT_EQ(jsonOf(convert(QStringLiteral("BIN JSON -data=") + bin.outputs.first())),
        QJsonObject({{QStringLiteral("speed"), 12.5}}));
    const Outcome xml = convert(QStringLiteral("JSON XML -data={\"a\": {\"b\": \"x y\"}}"));
    ASSERT_EQ(xml.outputs.size(), 1);
    EXPECT_EQ(jsonOf(convert(QStringLiteral("XML JSON -data=") + xml.outputs.first())).value("a").toObject(),
        QJsonObject({{QStringLiteral("b"), QStringLiteral("x y")}}));

    // Data that merely contain "-path=" are not read as a file name.
    QTemporaryDir dir;
    const QString secret = dir.filePath(QStringLiteral("secret.json"));
    {
        QFile f(secret);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("{\"secret\": \"from the file\"}");
    }
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
