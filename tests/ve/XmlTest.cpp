// The XML dialect of the data tree: attributes, types, flags and warnings.
#include "DataManager.h"
#include "LogCapture.h"
#include "TestTree.h"

#include <QPointF>
#include <QRect>
#include <QSignalSpy>
#include <QSize>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

using ve::DataObject;

namespace {

QString doc(const char* body)
{
    return QStringLiteral("<?xml version=\"1.0\"?>") + body;
}

} // namespace

TEST(XmlExport, ElementsAttributesAndValueTexts)
{
    TestTree t;
    DataObject* r = t.root();
    r->set(nullptr, "flag", true, true);
    r->set(nullptr, "size", QSize(640, 480), true);
    r->set(nullptr, "point", QPointF(1.5, -0.25), true);
    r->set(nullptr, "rect", QRect(1, 2, 3, 4), true);
    r->setList(nullptr, "split", {200.0, 400.5}, true);
    r->set(nullptr, "_hidden", 1, true);
    r->set(nullptr, "empty", QVariant(), true);
    const QString xml = r->exportToXmlStr(0, true);
    EXPECT_EQ(xml,
        doc("<m>"
            "<c name=\"flag\" type=\"1\" value=\"true\"/>"
            "<c name=\"size\" type=\"21\" value=\"640,480\"/>"
            "<c name=\"point\" type=\"26\" value=\"1.5,-0.25\"/>"
            "<c name=\"rect\" type=\"19\"/>"
            "<c name=\"split\"><l type=\"6\" value=\"200\"/><l type=\"6\" value=\"400.5\"/></c>"
            "<c name=\"empty\"/>"
            "</m>\n"));
    EXPECT_TRUE(r->exportToXmlStr(0, false).contains("<c name=\"_hidden\" type=\"2\" value=\"1\"/>"));
    EXPECT_TRUE(r->exportToXmlStr(4, true).contains("\n    <c name=\"flag\""));
    EXPECT_FALSE(ve::d().emptyDobj()->exportToXmlStr(0, false).contains("<m"));
}

TEST(XmlImport, RoundTripIntoFreshTreeKeepsTypes)
{
    TestTree src;
    DataObject* s = src.root();
    s->set(nullptr, "flag", true, true);
    s->set(nullptr, "ratio", 0.1, true);
    s->set(nullptr, "count", 7, true);
    s->set(nullptr, "text", QStringLiteral("调试 <&>\""), true);
    s->set(nullptr, "size", QSize(640, 480), true);
    s->set(nullptr, "sizef", QSizeF(1.25, 2), true);
    s->set(nullptr, "point", QPoint(-3, 4), true);
    s->set(nullptr, "pointf", QPointF(1.5, -0.25), true);
    s->set(nullptr, "rect", QRect(1, 2, 3, 4), true);
    s->setList(nullptr, "wnd.h_splitter", {200.0, 400.0, 200.0}, true);

    TestTree dst;
    DataObject* d = dst.root();
    d->set(nullptr, "flag", false, true);
    d->set(nullptr, "rect", QRect(9, 9, 9, 9), true);
    d->set(nullptr, "kept", 5, true);
    d->setList(nullptr, "wnd.h_splitter", {1.0, 2.0, 3.0}, true);
    d->importFromXmlStr(nullptr, s->exportToXmlStr(4, false), true, true, true);

    for (const char* path : {"flag", "ratio", "count", "text", "size", "sizef", "point", "pointf"}) {
        const QVariant expected = s->rdobj(path)->get();
        const QVariant actual = d->rdobj(path)->get();
        EXPECT_EQ(actual.userType(), expected.userType()) << path;
        EXPECT_EQ(actual, expected) << path;
    }
    EXPECT_TRUE(d->rdobj("rect")->get().isNull()); // type without value reads back null
    EXPECT_EQ(d->rdobj("kept")->getInt(), 5);
    EXPECT_EQ(d->rdobj("wnd.h_splitter")->getList(), (QList<QVariant> {200.0, 400.0, 200.0}));
    EXPECT_EQ(d->rdobj("wnd.h_splitter")->size(), 3);
}

TEST(XmlImport, FlagsAddOverwriteStrict)
{
    const QString xml = doc("<m><c name=\"a\" type=\"6\" value=\"2\"/><c name=\"b\" value=\"x\"/>"
                            "<odd value=\"o\"/></m>");
    {
        TestTree t;
        t.root()->set(nullptr, "a", 1.0, true);
        LogCapture log;
        t.root()->importFromXmlStr(nullptr, xml, false, true, true);
        EXPECT_EQ(t.root()->rdobj("a")->getDouble(), 2.0);
        EXPECT_TRUE(t.root()->rdobj("b")->isEmpty());
        EXPECT_TRUE(log.contains("[W|"));
        EXPECT_TRUE(log.contains("<m><QObject(0x0)> importing xml element not exist: \"b\""));
        EXPECT_TRUE(log.contains("<m><QObject(0x0)> non-standard xml element: \"odd\""));
        EXPECT_TRUE(t.root()->rdobj("odd")->isEmpty());
    }
    {
        TestTree t;
        t.root()->set(nullptr, "a", 1.0, true);
        QSignalSpy spy(t.root()->rdobj("a"), &DataObject::changed);
        t.root()->importFromXmlStr(nullptr, xml, true, false, false);
        EXPECT_EQ(t.root()->rdobj("a")->getDouble(), 1.0);
        EXPECT_EQ(spy.size(), 0);
        ASSERT_FALSE(t.root()->rdobj("b")->isEmpty());
        EXPECT_TRUE(t.root()->rdobj("b")->get().isNull());
        ASSERT_FALSE(t.root()->rdobj("odd")->isEmpty()); // not strict: a child named after the element
    }
    {
        TestTree t;
        t.root()->importFromXmlStr(nullptr, xml, true, true, false);
        EXPECT_EQ(t.root()->rdobj("b")->get(), QVariant(QStringLiteral("x")));
        EXPECT_EQ(t.root()->rdobj("odd")->getString(), "o");
    }
}

TEST(XmlImport, ListElementsBeyondTheEndAppend)
{
    TestTree t;
    DataObject* list = t.make("list");
    list->append(nullptr, "");
    t.root()->importFromXmlStr(nullptr,
        doc("<m><c name=\"list\"><l type=\"6\" value=\"1\"/><l type=\"6\" value=\"2\"/>"
            "<l type=\"6\" value=\"3\"/></c></m>"),
        true, true, true);
    EXPECT_EQ(list->getList(), (QList<QVariant> {1.0, 2.0, 3.0}));
    EXPECT_TRUE(list->c(2)->isRelative());
}

TEST(XmlImport, WarningsCarryLineAndColumnAndSkipContent)
{
    TestTree t;
    LogCapture log;
    t.root()->importFromXmlStr(nullptr,
        doc("<m>\n"
            "  <c type=\"2\" value=\"1\"><c name=\"inner\" value=\"1\"/></c>\n"
            "  <c name=\"size\" type=\"21\" value=\"abc\"/>\n"
            "  <c name=\"after\" value=\"ok\"/>\n"
            "</m>"),
        true, true, true);
    EXPECT_TRUE(log.contains("<m><QObject(0x0)> no name specified in xml: (2, 24)"))
        << log.all().join('\n').toStdString();
    EXPECT_TRUE(t.root()->rdobj("inner")->isEmpty());
    EXPECT_TRUE(log.contains("<m><QObject(0x0)> cannot convert in xml: (3, 40)"))
        << log.all().join('\n').toStdString();
    const QVariant size = t.root()->rdobj("size")->get(QVariant(1));
    EXPECT_EQ(t.root()->rdobj("size")->get().userType(), QMetaType::QSize);
    EXPECT_EQ(t.root()->rdobj("after")->getString(), "ok");
}

TEST(XmlImport, RootElementValueAndFinishingSignal)
{
    TestTree t;
    QSignalSpy spy(t.root(), &DataObject::changed);
    QObject changer;
    t.root()->importFromXmlStr(&changer, doc("<m type=\"6\" value=\"2.5\"></m>"), true, true, true);
    EXPECT_EQ(t.root()->get(), QVariant(2.5));
    // The value set at the end element, then the finishing signal.
    ASSERT_EQ(spy.size(), 2);
    EXPECT_EQ(spy.at(1).at(0), QVariant(2.5));
    EXPECT_EQ(spy.at(1).at(1), QVariant(2.5));
    EXPECT_EQ(spy.at(1).at(2).value<QObject*>(), &changer);
}
