#include "SearchFixture.h"
#include "core/QvError.h"
#include "platform/AnsiCodec.h"
#include "search/clsSearch.h"
#include "search/clsSearchBaiduImage.h"
#include "search/clsSearchBaiduImageNews.h"
#include "search/clsSearchBaiduWeb.h"
#include "search/clsSearchGoogleWeb.h"
#include "search/modSearchQuery.h"

#include <gtest/gtest.h>

using modSearchQuery::WebKeywords;

namespace {

struct ComposeCase {
    const char* what;
    WebKeywords keywords;
    QString baidu;
    QString google;
};

WebKeywords words(const QString& all, const QString& full, const QString& any, const QString& exclude,
                  int location = 0, int type = 0, const QString& site = QString()) {
    WebKeywords k;
    k.KeywordAll = all;
    k.KeywordFull = full;
    k.KeywordAny = any;
    k.KeywordExclude = exclude;
    k.KeywordLocation = location;
    k.FileType = type;
    k.inSite = site;
    return k;
}

} // namespace

TEST(SearchCompose, BaiduAndGoogleWriteTheirOwnGrammar) {
    const ComposeCase cases[] = {
        {"worked example", words("a  b", "", "e f", "g", 1, 2, "docs"),
         "filetype:pdf title: (a b (e | f) -(g))", "allintitle: a  b e OR f -g filetype:pdf site:docs"},
        {"any-words alone keep their separator", words("", "", "x y", ""), " (x | y)", " x OR y"},
        {"excluded word alone keeps its separator", words("", "", "", "x"), " -(x)", " -x"},
        {"location wraps, type prefix outside", words("report", "", "", "", 1, 3),
         "filetype:doc title: (report)", "allintitle: report filetype:doc"},
        {"address location", words("a", "", "", "", 2), "inurl: (a)", "allinurl: a"},
        {"type 1 is a clause for Baidu only", words("a", "", "", "", 0, 1), "filetype:all a", "a"},
        {"codes outside the table add nothing", words("a", "", "", "", 0, 8), "a", "a"},
        {"phrase before any-words for Baidu, after for Google", words("", "p q", "x y", ""),
         " \"p q\" (x | y)", " x OR y \"p q\""},
        {"Google keeps inner blanks and the phrase as typed", words("  a   b ", " exact  phrase ", "", ""),
         "a b \"exact phrase\"", "a   b \" exact  phrase \""},
        {"blank fields add nothing, a blank site no clause", words("   ", " ", "", "  ", 0, 0, "  "), "", ""},
        {"Baidu has no site clause", words("a", "", "", "", 0, 0, "docs"), "a", "a site:docs"},
        {"runs of blanks between words become one", words("", "", " e   f  g ", "h   i"),
         " (e | f | g) -(h | i)", " e OR f OR g -h -i"},
    };
    for (const ComposeCase& c : cases) {
        EXPECT_EQ(modSearchQuery::BaiduWebQuery(c.keywords), c.baidu) << c.what;
        EXPECT_EQ(modSearchQuery::GoogleWebQuery(c.keywords), c.google) << c.what;
    }
}

TEST(SearchCompose, PictureQueriesAddCustomSizeAndSite) {
    // Only the custom size (-1) writes a clause; the size numbers are those the pane could read.
    EXPECT_EQ(modSearchQuery::BaiduImageQuery(" 猫 ", -1, 0, 0, ""), "猫 size:0_0");
    EXPECT_EQ(modSearchQuery::BaiduImageQuery("cat", -1, 800, 600, " news.cn "),
              "cat size:800_600 siteid:news.cn");
    EXPECT_EQ(modSearchQuery::BaiduImageQuery("cat", 3, 800, 600, ""), "cat");
    EXPECT_EQ(modSearchQuery::BaiduImageQuery("", 0, 0, 0, "s"), " siteid:s");
    EXPECT_EQ(modSearchQuery::BaiduImageNewsQuery(" x ", "s"), "x siteid:s");
}

TEST(SearchEncode, ValuesStayWholeInTheCharsetTheDescriptorNames) {
    using modSearchQuery::Charset;
    // One search, not "C" plus a stray parameter; GBK gives %HH pairs for each Chinese character.
    EXPECT_EQ(modSearchQuery::EncodeValue("C&A 外套", Charset::Utf8), "C%26A%20%E5%A4%96%E5%A5%97");
    EXPECT_EQ(modSearchQuery::EncodeValue("C&A 外套", Charset::Ansi), "C%26A%20%CD%E2%CC%D7");
    EXPECT_EQ(modSearchQuery::EncodeValue("a#b+c%d=e", Charset::Ansi), "a%23b%2Bc%25d%3De");
    EXPECT_EQ(modSearchQuery::EncodeValue("Az09-._~", Charset::Utf8), "Az09-._~");

    XmlDocument doc;
    const auto charsetOf = [&doc](const QString& pars) {
        EXPECT_TRUE(
            doc.loadXML("<e openmethod='1' notshowadd='0'><post url='x'><par name='ie' value='utf-8'/>"
                        "</post><get url='u'>" +
                        pars + "</get></e>"));
        return modSearchQuery::RequestCharset(doc.documentElement());
    };
    // Read from the method element the opener uses, not from another one.
    EXPECT_EQ(charsetOf("<par name='IE' value='UTF-8'/>"), Charset::Utf8);
    EXPECT_EQ(charsetOf("<par name='ie' value='utf8'/>"), Charset::Utf8);
    EXPECT_EQ(charsetOf("<par name='ie' value='gbk'/>"), Charset::Ansi);
    EXPECT_EQ(charsetOf("<par name='q' value=''/>"), Charset::Ansi);
}

// Searches against the real common data, with the page opener replaced by a recorder that notes
// each opened descriptor and the parameter values it held at that moment.
class SearchSubmit : public SearchDataFixture {
protected:
    struct Opened {
        XmlNode descriptor;
        QString xml;
    };
    void SetUp() override {
        loadData("http://127.0.0.1:9");
        modSearchQuery::SetPageOpener([this](const XmlNode& d) { opened.append({d, d.xml()}); });
    }
    void TearDown() override {
        modSearchQuery::SetPageOpener({});
        SearchDataFixture::TearDown();
    }
    // A parameter's value in the descriptor as it was opened.
    static QString openedValue(const Opened& o, const QString& name) {
        XmlDocument doc;
        EXPECT_TRUE(doc.loadXML(o.xml));
        return value(doc.documentElement(), name);
    }
    QList<Opened> opened;
};

TEST_F(SearchSubmit, WebEnginesWriteTheEncodedQueryIntoTheirKeywordAndOpenIt) {
    clsSearch quick;
    quick.KeywordAll = "C&A 外套";
    quick.Submit();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].descriptor, engine("baidu"));
    // The Baidu descriptor asks for UTF-8.
    EXPECT_EQ(value(engine("baidu"), "wd"), "C%26A%20%E5%A4%96%E5%A5%97");

    clsSearch taobao;
    taobao.EngineType = 2;
    taobao.Content = " 100% 棉 ";
    taobao.KeywordAll = "ignored";
    taobao.Submit();
    EXPECT_EQ(taobao.SearchEngine(), engine("taobao"));
    EXPECT_EQ(decoded(value(engine("taobao"), "q")), " 100% 棉 ");

    // Type code 0 of clsSearch is no clause, while the engine objects start at 1 ("all files").
    clsSearch advanced;
    advanced.BaiduWeb()->KeywordAll = "a";
    advanced.BaiduWeb()->Submit();
    EXPECT_EQ(decoded(value(engine("baidu"), "wd")), "filetype:all a");
    advanced.GoogleWeb()->KeywordAll = "a";
    advanced.GoogleWeb()->inSite = "docs";
    advanced.GoogleWeb()->Submit();
    EXPECT_EQ(decoded(value(engine("google"), "q")), "a site:docs");
    EXPECT_EQ(advanced.BaiduWeb(), advanced.BaiduWeb());
    EXPECT_EQ(advanced.BaiduImage(), advanced.BaiduImage());
    EXPECT_EQ(opened.size(), 4);
}

TEST_F(SearchSubmit, TwoSearchesWithOneEngineShareItsDescriptor) {
    for (const QString& text : {QStringLiteral("first"), QStringLiteral("second")}) {
        clsSearch search;
        search.EngineType = 1;
        search.KeywordAll = text;
        search.Submit();
    }
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0].descriptor, opened[1].descriptor);
    EXPECT_EQ(openedValue(opened[0], "q"), "first");
    EXPECT_EQ(openedValue(opened[1], "q"), "second");
    EXPECT_EQ(value(engine("google"), "q"), "second");
}

TEST_F(SearchSubmit, PictureSearchesFillTheirParametersInGbk) {
    clsSearch search;
    clsSearchBaiduImage* image = search.BaiduImage();
    image->KeywordAll = " 外套 ";
    image->ImageSize = -1; // custom, with boxes the pane could not read
    image->ImageColor = 512;
    image->ImageExt = 3;
    image->inSite = "news.cn";
    image->Submit();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].descriptor, engine("baiduimage"));
    EXPECT_EQ(value(engine("baiduimage"), "ic"), "512");
    EXPECT_EQ(value(engine("baiduimage"), "lm"), "3");
    EXPECT_EQ(value(engine("baiduimage"), "word"), "%CD%E2%CC%D7%20size%3A0_0%20siteid%3Anews.cn");

    clsSearchBaiduImageNews* news = search.BaiduImageNews();
    news->KeywordAll = "猫 & 狗";
    news->Submit();
    EXPECT_EQ(opened.last().descriptor, engine("baiduimagenews"));
    EXPECT_EQ(AnsiCodec::toUnicode(
                  QByteArray::fromPercentEncoding(value(engine("baiduimagenews"), "word").toLatin1())),
              "猫 & 狗");
}

TEST_F(SearchSubmit, MissingEnginesAndUnknownTypesFailWithoutOpening) {
    // An engine name with both quote kinds is looked up as itself, not as broken XPath.
    XmlNode engines = modInitial::gData->CommonData()->XMLNode.selectSingleNode("searchengines");
    EXPECT_THROW(modSearchQuery::SearchEngine(engines, "it's \"x\""), QvError);
    XmlNode odd = engine("taobao").cloneNode(true);
    odd.setAttribute("name", "it's \"x\"");
    engines.appendChild(odd);
    EXPECT_EQ(modSearchQuery::SearchEngine(engines, "it's \"x\""), odd);

    engines.removeChild(engine("taobao"));
    clsSearch taobao;
    taobao.EngineType = 2;
    EXPECT_THROW(taobao.Submit(), QvError);
    clsSearch unknown;
    unknown.EngineType = 3;
    EXPECT_THROW(unknown.Submit(), QvError);
    XmlNode keyword = engine("google").selectSingleNode("get/par[@name='q']");
    keyword.removeAttribute("caption");
    clsSearch google;
    google.EngineType = 1;
    EXPECT_THROW(google.Submit(), QvError);
    EXPECT_TRUE(opened.isEmpty());
}
