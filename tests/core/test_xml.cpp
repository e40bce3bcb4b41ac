#include "core/QvError.h"
#include "core/XmlDocument.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "common/TestSupport.h"

namespace {

XmlDocument parse(const QString& text) {
    XmlDocument doc;
    EXPECT_TRUE(doc.loadXML(text)) << doc.parseError().toStdString();
    return doc;
}

QStringList attrs(const XmlNodeList& list, const QString& name) {
    QStringList out;
    for (const XmlNode& n : list)
        out << n.getAttribute(name);
    return out;
}

} // namespace

TEST(XmlLoad, DecryptedTextWithTrailingNulsAndForeignDeclarationParses) {
    // A decrypted data file carries up to 7 NUL characters of padding, and old files may
    // declare an 8-bit encoding although the text is already decoded.
    QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"gb2312\"?><data><a t=\"中文\"/></data>");
    text.append(QString(7, QChar(0)));
    XmlDocument doc = parse(text);
    EXPECT_EQ(doc.selectSingleNode("data/a/@t").text(), QStringLiteral("中文"));
}

TEST(XmlLoad, FailedParseLeavesAnEmptyDocumentThatSelectsNothing) {
    XmlDocument doc;
    ASSERT_TRUE(doc.loadXML("<data><ok/></data>"));
    EXPECT_FALSE(doc.loadXML("<data><unclosed></data>"));
    EXPECT_TRUE(doc.isEmpty());
    EXPECT_FALSE(doc.parseError().isEmpty());
    EXPECT_TRUE(doc.selectSingleNode("data").isNull());
    EXPECT_EQ(doc.selectNodes("//*").length(), 0);
    EXPECT_TRUE(doc.documentElement().isNull());
    // A text of NULs only (what an undecryptable file gives) is a failed parse, not a crash.
    EXPECT_FALSE(doc.loadXML(QString(8, QChar(0))));
}

TEST(XmlLoad, WhitespaceBetweenElementsIsNotAChild) {
    XmlDocument doc = parse("<data>\n  <a/>\n  <b> x </b>\n</data>");
    XmlNode data = doc.documentElement();
    EXPECT_EQ(data.childNodes().length(), 2);
    EXPECT_EQ(data.firstChild().nodeName(), "a");
    EXPECT_EQ(doc.selectSingleNode("data/b").text(), " x ");
}

TEST(XmlSerialise, XmlParsesAgainToTheSameTree) {
    XmlDocument doc = parse("<data><n a=\"1 &amp; 2\" b='&quot;q&quot;'>x &lt; y<c/></n></data>");
    XmlNode n = doc.selectSingleNode("data/n");
    n.setAttribute("z", "<&>\"'");
    n.setAttribute("a", "changed & kept");
    XmlDocument again = parse(doc.xml());
    XmlNode m = again.selectSingleNode("data/n");
    EXPECT_EQ(m.getAttribute("a"), "changed & kept");
    EXPECT_EQ(m.getAttribute("b"), "\"q\"");
    EXPECT_EQ(m.getAttribute("z"), "<&>\"'");
    EXPECT_EQ(m.text(), "x < y");
    // Serialising twice gives the same text: saves of unchanged data write the same file.
    EXPECT_EQ(doc.xml(), again.xml());
    // A node's xml is its subtree only.
    EXPECT_TRUE(m.selectSingleNode("c").xml().startsWith("<c"));
}

TEST(XmlSerialise, SaveWritesAPlainFileThatLoadsAgain) {
    QTemporaryDir dir;
    XmlDocument doc = parse("<list><f n=\"文档\"/></list>");
    const QString path = dir.filePath("filelist.xml");
    doc.save(path);
    XmlDocument back;
    ASSERT_TRUE(back.loadXMLUtf8(qvtest::readFile(path)));
    EXPECT_EQ(back.selectSingleNode("list/f/@n").text(), QStringLiteral("文档"));
    EXPECT_THROW(doc.save(dir.filePath("no/such/folder/x.xml")), QvError);
}

TEST(XPath, FunctionsAndComparisonsTheStoresUse) {
    XmlDocument doc = parse("<r>"
                            "<f name=\"a.doc\" timeserial=\"100\" type=\"doc\"/>"
                            "<f name=\"b.xls\" timeserial=\"250\" type=\"xls\"/>"
                            "<f name=\"c.doc\" timeserial=\"90\" type=\"doc\"/>"
                            "<f name=\"d.ppt\" timeserial=\"1000\" type=\"ppt\"/>"
                            "</r>");
    XmlNode r = doc.documentElement();
    // Numeric comparison of attribute text, not string comparison ("1000" > "250").
    EXPECT_EQ(attrs(r.selectNodes("f[@timeserial>200]"), "name"), QStringList({"b.xls", "d.ppt"}));
    EXPECT_EQ(r.selectSingleNode("f[last()]").getAttribute("name"), "d.ppt");
    EXPECT_EQ(r.selectSingleNode("f[position()=2]").getAttribute("name"), "b.xls");
    EXPECT_EQ(attrs(r.selectNodes("f[contains(@name,'.doc')]"), "name"), QStringList({"a.doc", "c.doc"}));
    EXPECT_EQ(attrs(r.selectNodes("f[@type='doc' or @type='ppt']"), "name"),
              QStringList({"a.doc", "c.doc", "d.ppt"}));
    EXPECT_EQ(attrs(r.selectNodes("f[@type!='doc' and @timeserial<500]"), "name"), QStringList({"b.xls"}));
    // Unquoted keys compare as numbers, so "0100" finds the record of 100.
    EXPECT_EQ(r.selectSingleNode("f[@timeserial=0100]").getAttribute("name"), "a.doc");
    // A word as unquoted key never matches (it is a path, not a number).
    EXPECT_TRUE(r.selectSingleNode("f[@timeserial=abc]").isNull());
    // Double-quoted values and attributes as results.
    EXPECT_EQ(r.selectSingleNode("f[@name=\"b.xls\"]/@timeserial").text(), "250");
    EXPECT_EQ(r.selectNodes("*").length(), 4);
}

TEST(XPath, SelectionsAreRelativeToTheNodeAndInDocumentOrder) {
    XmlDocument doc =
        parse("<data><links><link id=\"1\"><get><par name=\"a\"/></get></link>"
              "<link id=\"2\"><post><par caption=\"内容\" name=\"q\"/></post></link></links></data>");
    XmlNode links = doc.selectSingleNode("data/links");
    XmlNode second = links.selectSingleNode("link[@id=\"2\"]");
    EXPECT_EQ(second.selectSingleNode("*/par[@caption='内容']").getAttribute("name"), "q");
    EXPECT_TRUE(second.selectSingleNode("get").isNull());
    EXPECT_EQ(attrs(doc.selectNodes("//par"), "name"), QStringList({"a", "q"}));
    EXPECT_EQ(second.parentNode(), links);
}

TEST(XPath, InvalidExpressionRaisesAnError) {
    XmlDocument doc = parse("<data/>");
    EXPECT_THROW(doc.selectSingleNode("data[@a='x"), QvError);
    EXPECT_THROW(doc.selectNodes("count(data)"), QvError);
    EXPECT_THROW(XmlNode().selectSingleNode("data"), QvError);
}

TEST(XPath, LiteralQuotesAnyValue) {
    XmlDocument doc = parse("<r><p u=\"it's\"/><p u='say \"hi\"'/><p u=\"it's &quot;x&quot;\"/></r>");
    XmlNode r = doc.documentElement();
    for (const QString& v :
         {QStringLiteral("it's"), QStringLiteral("say \"hi\""), QStringLiteral("it's \"x\"")}) {
        XmlNode found = r.selectSingleNode("p[@u=" + XPathLiteral(v) + "]");
        ASSERT_FALSE(found.isNull()) << v.toStdString();
        EXPECT_EQ(found.getAttribute("u"), v);
    }
    EXPECT_EQ(XPathLiteral("plain"), "'plain'");
}

TEST(XmlEdit, AttributesAreCreatedReadAndAbsentIsNothing) {
    XmlDocument doc = parse("<data><e a=\"1\"/></data>");
    XmlNode e = doc.selectSingleNode("data/e");
    EXPECT_FALSE(e.attribute("b").has_value());
    EXPECT_EQ(e.getAttribute("b"), "");
    EXPECT_THROW(e.requiredAttribute("b"), QvError);
    e.setAttribute("b", "");
    ASSERT_TRUE(e.attribute("b").has_value());
    EXPECT_EQ(*e.attribute("b"), "");
    EXPECT_EQ(e.attributeNames(), QStringList({"a", "b"}));
    e.removeAttribute("a");
    EXPECT_FALSE(e.hasAttribute("a"));
}

TEST(XmlEdit, AppendInsertReplaceRemoveKeepOrderAndNodesStayUsable) {
    XmlDocument doc = parse("<list><r k=\"1\"/><r k=\"2\"/></list>");
    XmlNode list = doc.documentElement();
    XmlNode fresh = doc.createElement("r");
    fresh.setAttribute("k", "0");
    list.insertBefore(fresh, list.firstChild());
    XmlNode last = doc.createElement("r");
    last.setAttribute("k", "3");
    list.appendChild(last);
    EXPECT_EQ(attrs(list.selectNodes("r"), "k"), QStringList({"0", "1", "2", "3"}));

    XmlNode removed = list.removeChild(list.selectSingleNode("r[@k='1']"));
    EXPECT_TRUE(removed.parentNode().isNull());
    EXPECT_EQ(removed.getAttribute("k"), "1");
    // A removed node can come back.
    list.appendChild(removed);
    EXPECT_EQ(attrs(list.selectNodes("r"), "k"), QStringList({"0", "2", "3", "1"}));

    XmlNode swap = doc.createElement("s");
    XmlNode old = list.replaceChild(swap, list.selectSingleNode("r[@k='2']"));
    EXPECT_EQ(old.getAttribute("k"), "2");
    EXPECT_EQ(list.childNodes().item(1).nodeName(), "s");
    EXPECT_TRUE(list.childNodes().item(99).isNull());

    // Moving an existing child appends it last without duplicating it.
    list.appendChild(list.firstChild());
    EXPECT_EQ(list.childNodes().length(), 4);
    EXPECT_EQ(list.lastChild().getAttribute("k"), "0");
    EXPECT_THROW(list.firstChild().appendChild(list), QvError);
    EXPECT_THROW(list.removeChild(doc.createElement("x")), QvError);
}

TEST(XmlEdit, DeepCloneIsIndependentOfItsSource) {
    XmlDocument doc = parse("<m><post url=\"u\"><par name=\"user\" value=\"\"/></post></m>");
    XmlNode source = doc.documentElement();
    XmlNode copy = source.cloneNode(true);
    copy.selectSingleNode("post/par").setAttribute("value", "alice");
    EXPECT_EQ(source.selectSingleNode("post/par").getAttribute("value"), "");
    EXPECT_EQ(copy.selectSingleNode("post/par").getAttribute("value"), "alice");
    EXPECT_TRUE(copy.parentNode().isNull());
    EXPECT_FALSE(source.cloneNode(false).hasChildNodes());
}

TEST(XmlEdit, NodesOfAnotherDocumentAreCopiedIn) {
    XmlDocument target = parse("<data><localsofts><old/></localsofts></data>");
    XmlNode section;
    {
        XmlDocument incoming = parse("<localsofts><localsoft lsid=\"w\"/></localsofts>");
        section = incoming.documentElement();
    }
    XmlNode data = target.documentElement();
    data.replaceChild(section, data.selectSingleNode("localsofts"));
    EXPECT_EQ(target.selectSingleNode("data/localsofts/localsoft/@lsid").text(), "w");
    EXPECT_TRUE(target.selectSingleNode("data/localsofts/old").isNull());
}

TEST(XmlEdit, NodeHandlesOutliveReloadAndTheirDocumentHandle) {
    XmlNode kept;
    {
        XmlDocument doc = parse("<data><keep v=\"1\"/></data>");
        kept = doc.selectSingleNode("data/keep");
        doc.loadXML("<other/>");
        EXPECT_EQ(doc.documentElement().nodeName(), "other");
    }
    EXPECT_EQ(kept.getAttribute("v"), "1");
    EXPECT_EQ(kept.ownerDocument().documentElement().nodeName(), "data");
}

TEST(Xslt, TransformSortsRecordsIntoTheResultDocument) {
    XmlDocument data =
        parse("<files><f n=\"b\" t=\"20\"/><f n=\"a\" t=\"3\"/><f n=\"c\" t=\"100\"/></files>");
    XmlDocument sheet =
        parse("<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
              "<xsl:template match=\"/files\"><files><xsl:for-each select=\"f\">"
              "<xsl:sort select=\"@t\" data-type=\"number\" order=\"descending\"/><xsl:copy-of select=\".\"/>"
              "</xsl:for-each></files></xsl:template></xsl:stylesheet>");
    XmlDocument result;
    data.transformNodeToObject(sheet, result);
    EXPECT_EQ(attrs(result.selectNodes("files/f"), "n"), QStringList({"c", "b", "a"}));
    // The stylesheet document is not consumed: it can be used again.
    XmlDocument again;
    data.transformNodeToObject(sheet, again);
    EXPECT_EQ(again.selectNodes("files/f").length(), 3);
    XmlDocument notASheet = parse("<x/>");
    EXPECT_THROW(data.transformNodeToObject(notASheet, result), QvError);
}

TEST(XmlEdit, CharactersXmlCannotHoldAreDroppedSoTheDocumentStaysReadable) {
    XmlDocument doc = parse("<data><rcp/></data>");
    XmlNode rcp = doc.selectSingleNode("data/rcp");
    QString hostile =
        QStringLiteral("a") + QChar(0xFFFF) + QChar(0x1) + QChar(0xD800) + QStringLiteral("b\t😀");
    rcp.setAttribute("caption", hostile);
    rcp.setText(hostile);
    XmlDocument again;
    ASSERT_TRUE(again.loadXML(doc.xml())) << again.parseError().toStdString();
    EXPECT_EQ(again.selectSingleNode("data/rcp/@caption").text(), QStringLiteral("ab\t😀"));
    EXPECT_EQ(again.selectSingleNode("data/rcp").text(), QStringLiteral("ab\t😀"));
}
