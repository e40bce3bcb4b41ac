#include "core/QvError.h"
#include "core/XmlDocument.h"
#include "web/cltWebPage.h"
#include "web/frmBrowser.h"
#include "web/modOpenPageParameter.h"

#include <gtest/gtest.h>

using namespace modOpenPageParameter;

namespace {

// The descriptor element of a whole document text.
XmlNode load(XmlDocument& doc, const QString& xml) {
    if (!doc.loadXML(xml))
        throw std::runtime_error(doc.parseError().toStdString());
    return doc.documentElement();
}

// Runs `call` and returns the QvError it raised; fails the test when it raised none.
template <class F> QvError raised(F call) {
    try {
        call();
    } catch (const QvError& e) {
        return e;
    }
    ADD_FAILURE() << "no QvError raised";
    return QvError(0, QString());
}

} // namespace

TEST(ParameterString, NoParGivesEmptyText) {
    XmlDocument doc;
    const XmlNode get =
        load(doc, "<get url='http://a/'><other name='x' value='1' prefix='' suffix=''/></get>");
    EXPECT_EQ(BuildParameterString(get), QString());
}

TEST(ParameterString, JoinsNamePrefixValueSuffixInDocumentOrder) {
    XmlDocument doc;
    const XmlNode get = load(doc, "<get url='u'>"
                                  "<par name='a' value='1' prefix='' suffix=''/>"
                                  "<par name='b' value='2' prefix='x' suffix=''/>"
                                  "<par name='c' value='' prefix='' suffix='z' caption='内容'/>"
                                  "</get>");
    EXPECT_EQ(BuildParameterString(get), QStringLiteral("a=1&b=x2&c=z"));
}

TEST(ParameterString, ValuesPassUnescaped) {
    XmlDocument doc;
    const XmlNode post = load(doc, "<post><par name='q' value='中文 a&amp;b=c' prefix='%20' suffix=''/>"
                                   "<par name='e' value='' prefix='' suffix=''/></post>");
    EXPECT_EQ(BuildParameterString(post), QStringLiteral("q=%20中文 a&b=c&e="));
}

TEST(ParameterString, ParWithoutARequiredAttributeRaisesNamingIt) {
    for (const QString missing : {"name", "value", "prefix", "suffix"}) {
        XmlDocument doc;
        const XmlNode get = load(doc, "<get url='u'><par name='a' value='1' prefix='' suffix=''/></get>");
        get.firstChild().removeAttribute(missing);
        const QvError e = raised([&] { BuildParameterString(get); });
        EXPECT_TRUE(e.description().contains("par")) << e.description().toStdString();
        EXPECT_TRUE(e.description().contains(missing)) << e.description().toStdString();
    }
}

TEST(MethodElement, TakesTheFirstChildNamedByOpenmethod) {
    XmlDocument doc;
    XmlNode link = load(doc, "<link openmethod='2' notshowadd='0'><get url='g'/><post url='p1'/>"
                             "<post url='p2'/><middle url='m'/></link>");
    EXPECT_EQ(MethodElement(link).getAttribute("url"), QStringLiteral("p1"));
    link.setAttribute("openmethod", "3");
    EXPECT_EQ(MethodElement(link).getAttribute("url"), QStringLiteral("m"));
}

TEST(MethodElement, MissingChildOrUnknownMethodRaises) {
    XmlDocument doc;
    XmlNode link = load(doc, "<link openmethod='1' notshowadd='0'><post url='p'/></link>");
    EXPECT_TRUE(raised([&] { MethodElement(link); }).description().contains("get"));
    link.setAttribute("openmethod", " 1");
    EXPECT_TRUE(raised([&] { MethodElement(link); }).description().contains("openmethod"));
}

TEST(ReadBoolean, AcceptsNumbersAndTrueFalseInAnyCase) {
    EXPECT_FALSE(ReadBoolean("0"));
    EXPECT_TRUE(ReadBoolean("1"));
    EXPECT_TRUE(ReadBoolean("-2.5"));
    EXPECT_TRUE(ReadBoolean("TRUE"));
    EXPECT_FALSE(ReadBoolean("fAlse"));
}

TEST(ReadBoolean, OtherTextIsATypeMismatch) {
    for (const QString text : {"", "yes", "1x"})
        EXPECT_EQ(raised([&] { ReadBoolean(text); }).number(), QvErrors::TypeMismatch) << text.toStdString();
}

TEST(SetPageParameter, WritesTheFirstParOfThatNameInTheChosenMethod) {
    XmlDocument doc;
    const XmlNode link = load(doc, "<link openmethod='2' notshowadd='0'>"
                                   "<get url='g'><par name='u' value='get' prefix='' suffix=''/></get>"
                                   "<post url='p'><par name='x' value='1' prefix='' suffix=''/>"
                                   "<par name='u' value='old' prefix='' suffix=''/>"
                                   "<par name='u' value='second' prefix='' suffix=''/></post></link>");
    EXPECT_TRUE(SetPageParameter("u", "new", link));
    EXPECT_EQ(BuildParameterString(MethodElement(link)), QStringLiteral("x=1&u=new&u=second"));
    EXPECT_EQ(link.selectSingleNode("get/par").getAttribute("value"), QStringLiteral("get"));
}

TEST(SetPageParameter, NamesWithQuotesMatchExactly) {
    XmlDocument doc;
    const XmlNode link = load(doc, "<link openmethod='1' notshowadd='0'><get url='g'>"
                                   "<par name='a&quot;b' value='' prefix='' suffix=''/>"
                                   "<par name='it&apos;s' value='' prefix='' suffix=''/>"
                                   "<par name='a' value='' prefix='' suffix=''/></get></link>");
    SetPageParameter("a\"b", "1", link);
    SetPageParameter("it's", "2", link);
    EXPECT_EQ(BuildParameterString(MethodElement(link)), QStringLiteral("a\"b=1&it's=2&a="));
}

TEST(SetPageParameter, UnknownNameOrMethodRaises) {
    XmlDocument doc;
    XmlNode link =
        load(doc, "<link openmethod='1' notshowadd='0'><get url='g'><par name='a' value='1' prefix='' "
                  "suffix=''/></get></link>");
    EXPECT_TRUE(raised([&] { SetPageParameter("b", "x", link); }).description().contains("\"b\""));
    link.setAttribute("openmethod", "4");
    raised([&] { SetPageParameter("a", "x", link); });
    EXPECT_EQ(link.selectSingleNode("get/par").getAttribute("value"), QStringLiteral("1"));
}

// The opener reads a descriptor completely before it opens anything; these descriptors never get
// as far as a window.
class DescriptorOpenTest : public ::testing::Test {
protected:
    void SetUp() override {
        cltWebPage::ReleaseGlobal();
        QObject::connect(cltWebPage::Global(), &cltWebPage::windowCreated, [this] { ++windows; });
    }
    void TearDown() override { cltWebPage::ReleaseGlobal(); }
    int windows = 0;
};

TEST_F(DescriptorOpenTest, MissingNotshowaddFailsEvenForGet) {
    XmlDocument doc;
    const XmlNode link = load(doc, "<link openmethod='1'><get url='about:blank'/></link>");
    EXPECT_TRUE(
        raised([&] { cltWebPage::Global()->OpenWebPageAsNode(link); }).description().contains("notshowadd"));
    EXPECT_EQ(windows, 0);
}

TEST_F(DescriptorOpenTest, NotshowaddThatIsNoBooleanIsATypeMismatchBeforeTheMethodIsRead) {
    XmlDocument doc;
    const XmlNode link = load(doc, "<link notshowadd='maybe'/>");
    const QvError e = raised([&] { cltWebPage::Global()->OpenWebPageAsNode(link); });
    EXPECT_EQ(e.number(), QvErrors::TypeMismatch);
    EXPECT_TRUE(e.description().contains("notshowadd"));
}

TEST_F(DescriptorOpenTest, OtherOpenmethodOpensNothingAndRaisesNothing) {
    for (const QString method : {"4", "", "01"}) {
        XmlDocument doc;
        XmlNode link = load(doc, "<link notshowadd='1'><get url='about:blank'/></link>");
        link.setAttribute("openmethod", method);
        EXPECT_NO_THROW(cltWebPage::Global()->OpenWebPageAsNode(link));
    }
    EXPECT_EQ(windows, 0);
    EXPECT_EQ(cltWebPage::Global()->MiddlePage(), nullptr);
}

TEST_F(DescriptorOpenTest, MalformedGetOrPostOpensNoWindow) {
    const QStringList broken = {
        "<link openmethod='1' notshowadd='0'/>",
        "<link openmethod='1' notshowadd='0'><get/></link>",
        "<link openmethod='1' notshowadd='0'><get url='about:blank'><par name='a' value='1' "
        "suffix=''/></get></link>",
        "<link openmethod='2' notshowadd='0'><post url='about:blank' targetframename='' header=''/></link>",
        "<link openmethod='2' notshowadd='0'><post url='about:blank' targetframename='' flags=''>"
        "<par name='a' value='1' prefix='' suffix=''/></post></link>",
    };
    for (const QString& xml : broken) {
        XmlDocument doc;
        const XmlNode link = load(doc, xml);
        raised([&] { cltWebPage::Global()->OpenWebPageAsNode(link); });
    }
    EXPECT_EQ(windows, 0);
}
