#include "core/QvError.h"
#include "core/clsCommonData.h"
#include "core/modDataFile.h"
#include "links/clsLinks.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

const char* const kLinks = R"(<links>
  <link id="1" caption="First" tip="tip one" iconno="1201" category="SNS" openmethod="1" notshowadd="0">
    <get url="http://one.example/"><par name="q" value="x" prefix="" suffix=""/></get>
  </link>
  <link id="1" caption="Duplicate" tip="" iconno="" openmethod="1" notshowadd="0"><get url="http://dup.example/"/></link>
  <link id="it's &quot;odd&quot;" caption="Quoted" tip="" iconno="" category="sns" openmethod="1" notshowadd="0">
    <get url="http://quoted.example/"/>
  </link>
  <link id="3" caption="Posted" tip="" iconno="" category="SNS" openmethod="2" notshowadd="0">
    <post url="http://post.example/" targetframename="" header="" flags=""/>
  </link>
  <link id="4" caption="No tip" iconno="" openmethod="1" notshowadd="0"><get url="http://four.example/"/></link>
</links>)";

// A common data store read from an encrypted file, as the program reads it.
std::unique_ptr<clsCommonData> commonData(const QTemporaryDir& dir, const QString& sections) {
    const QString path = dir.filePath("common.dat");
    modDataFile::WriteEncryptedFile(path, "<data>" + sections + "</data>");
    return std::make_unique<clsCommonData>(path);
}

} // namespace

TEST(LinkCatalogue, LooksUpByIdWithQuotesDuplicatesAndMissingIds) {
    QTemporaryDir dir;
    auto common = commonData(dir, kLinks);
    clsLinks* links = LinksOf(common.get());
    ASSERT_NE(links, nullptr);
    EXPECT_EQ(links, LinksOf(common.get())) << "one catalogue per store";
    EXPECT_EQ(links->Parent, common.get());

    // Two links with one id: the first in document order; two look-ups share the element.
    const clsLink first = links->getLinkById("1");
    EXPECT_EQ(first.Caption, "First");
    EXPECT_EQ(first.Tip, "tip one");
    EXPECT_EQ(first.IconNum, "1201");
    EXPECT_EQ(first.DefaultOpenMethod, "1");
    EXPECT_EQ(links->getLinkById("1").XMLNode(), first.XMLNode());

    // An id holding both quote kinds is data, not part of the expression.
    EXPECT_EQ(links->getLinkById("it's \"odd\"").Caption, "Quoted");
    EXPECT_THROW(links->getLinkById("1\"] | //link[@id=\"3"), QvError);

    // A missing id and a link lacking a required attribute are errors for the caller.
    EXPECT_THROW(links->getLinkById("99"), QvError);
    EXPECT_THROW(links->getLinkById("4"), QvError);
}

TEST(LinkCatalogue, CategoriesCompareExactlyInDocumentOrder) {
    QTemporaryDir dir;
    auto common = commonData(dir, kLinks);
    clsLinks* links = LinksOf(common.get());
    const XmlNodeList sns = links->getLinksXMLNodeListByCategory("SNS");
    ASSERT_EQ(sns.length(), 2);
    EXPECT_EQ(sns.item(0).getAttribute("caption"), "First");
    EXPECT_EQ(sns.item(1).getAttribute("caption"), "Posted");
    EXPECT_EQ(links->getLinksXMLNodeListByCategory("sns").length(), 1);
    EXPECT_EQ(links->getLinksXMLNodeListByCategory("music").length(), 0);
    EXPECT_EQ(links->getLinksXMLNodeListByCategory("x' or '1'='1").length(), 0);
}

TEST(LinkCatalogue, PlainAddressWritesThroughAndClonesStayApart) {
    QTemporaryDir dir;
    auto common = commonData(dir, kLinks);
    clsLinks* links = LinksOf(common.get());

    clsLink link = links->getLinkById("1");
    EXPECT_EQ(link.UrlGetNode(), "http://one.example/");
    link.setUrlGetNode("http://changed.example/");
    EXPECT_EQ(links->getLinkById("1").UrlGetNode(), "http://changed.example/");

    clsLink copy = link.Clone();
    EXPECT_TRUE(copy.XMLNode().parentNode().isNull());
    copy.setUrlGetNode("http://clone.example/");
    copy.XMLNode().selectSingleNode("get/par").setAttribute("value", "changed");
    EXPECT_EQ(links->getLinkById("1").UrlGetNode(), "http://changed.example/");
    EXPECT_EQ(links->getLinkById("1").XMLNode().selectSingleNode("get/par").getAttribute("value"), "x");

    // A post link has no plain address.
    const clsLink posted = links->getLinkById("3");
    EXPECT_THROW(posted.UrlGetNode(), QvError);
}

TEST(LinkCatalogue, StoreWithoutSectionOrReloadedStore) {
    QTemporaryDir dir;
    auto bare = commonData(dir, "<global/>");
    clsLinks* empty = LinksOf(bare.get());
    ASSERT_NE(empty, nullptr);
    EXPECT_THROW(empty->getLinkById("1"), QvError);
    EXPECT_THROW(empty->getLinksXMLNodeListByCategory("SNS"), QvError);

    // A reloaded store reads a new document: the catalogue follows it.
    modDataFile::WriteEncryptedFile(dir.filePath("common.dat"),
                                    QStringLiteral("<data>") + kLinks + "</data>");
    bare->Reload();
    EXPECT_EQ(LinksOf(bare.get())->getLinkById("3").Caption, "Posted");
    EXPECT_EQ(LinksOf(nullptr), nullptr);
}
