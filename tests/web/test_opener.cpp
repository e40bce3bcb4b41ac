#include "LocalHttpServer.h"
#include "core/QvError.h"
#include "core/XmlDocument.h"
#include "platform/AnsiCodec.h"
#include "web/cltWebPage.h"
#include "web/frmBrowser.h"

#include <QPointer>
#include <QTest>
#include <QUrl>
#include <QWebEnginePage>
#include <gtest/gtest.h>

namespace {

// Text for an XML attribute in single quotes.
QString attr(const QString& text) {
    return text.toHtmlEscaped().replace('\'', "&apos;");
}

// A `par` element with every attribute the get and post methods read.
QString par(const QString& name, const QString& value, const QString& prefix = "") {
    return QStringLiteral("<par name='%1' value='%2' prefix='%3' suffix=''/>")
        .arg(attr(name), attr(value), attr(prefix));
}

} // namespace

class OpenerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start());
        for (const QByteArray path : {"/q", "/plain", "/post", "/first", "/second"})
            server.serve(path, "<html><head><title>ok</title></head><body>ok</body></html>");
        cltWebPage::ReleaseGlobal();
        QObject::connect(cltWebPage::Global(), &cltWebPage::windowCreated,
                         [this](frmBrowser* w) { windows << QPointer<frmBrowser>(w); });
    }
    void TearDown() override {
        cltWebPage::ReleaseGlobal();
        for (const QPointer<frmBrowser>& w : windows)
            delete w.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void open(XmlDocument& doc, const QString& xml) {
        ASSERT_TRUE(doc.loadXML(xml)) << doc.parseError().toStdString();
        cltWebPage::Global()->OpenWebPageAsNode(doc.documentElement());
    }
    QString getLink(const QString& url, const QString& pars) {
        return QStringLiteral("<link openmethod='1' notshowadd='0'><get url='%1'>%2</get></link>")
            .arg(attr(url), pars);
    }
    QString postLink(const QString& pars, const QString& header) {
        return QStringLiteral(
                   "<link openmethod='2' notshowadd='0'><post url='%1' targetframename='' header='%2' "
                   "flags=''>%3</post></link>")
            .arg(attr(server.url("/post")), attr(header), pars);
    }
    // The single request that reached `path`.
    LocalHttpServer::Request onlyRequest(const QByteArray& path) {
        EXPECT_TRUE(server.waitForRequest(path));
        const QList<LocalHttpServer::Request> requests = server.requestsFor(path);
        EXPECT_EQ(requests.size(), 1);
        return requests.value(0);
    }

    LocalHttpServer server;
    QList<QPointer<frmBrowser>> windows;
};

TEST_F(OpenerTest, GetOpensTheAddressWithItsParametersInOneNewWindow) {
    XmlDocument doc;
    open(doc, getLink(server.url("/q"), par("a", "1") + par("b", "2", "x")));
    EXPECT_EQ(onlyRequest("/q").target, "/q?a=1&b=x2");
    EXPECT_EQ(onlyRequest("/q").method, "GET");
    EXPECT_EQ(windows.size(), 1);
}

TEST_F(OpenerTest, GetAddsAnotherQuestionMarkToAnAddressWithAQuery) {
    XmlDocument doc;
    open(doc, getLink(server.url("/q?k=v"), par("a", "1")));
    EXPECT_EQ(onlyRequest("/q").target, "/q?k=v?a=1");
}

TEST_F(OpenerTest, GetWithoutParametersOpensExactlyTheAddress) {
    XmlDocument doc;
    open(doc, getLink(server.url("/plain"), ""));
    EXPECT_EQ(onlyRequest("/plain").target, "/plain");
}

TEST_F(OpenerTest, GetValuesAreNotEscapedByTheOpener) {
    XmlDocument doc;
    open(doc, getLink(server.url("/q"), par("w", "中文 a&b=c")));
    // The engine percent-encodes what a request line cannot carry, but "&" and "=" stay
    // separators: the value was put into the address as it is.
    EXPECT_EQ(QUrl::fromPercentEncoding(onlyRequest("/q").target), QStringLiteral("/q?w=中文 a&b=c"));
}

TEST_F(OpenerTest, PostSendsTheAnsiBodyWithTheDescriptorsHeader) {
    XmlDocument doc;
    open(doc, postLink(par("u", "中文页") + par("sl", "") + par("hl", "zh-CN"),
                       "Content-Type: application/x-www-form-urlencoded"));
    const LocalHttpServer::Request request = onlyRequest("/post");
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.body, AnsiCodec::fromUnicode(QStringLiteral("u=中文页&sl=&hl=zh-CN")));
    EXPECT_EQ(request.headers.value("content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(windows.size(), 1);
}

TEST_F(OpenerTest, PostWithoutParametersStillPostsAnEmptyBody) {
    XmlDocument doc;
    open(doc, postLink("", "Content-Type: text/plain"));
    const LocalHttpServer::Request request = onlyRequest("/post");
    EXPECT_EQ(request.method, "POST");
    EXPECT_TRUE(request.body.isEmpty());
    EXPECT_EQ(request.headers.value("content-type"), "text/plain");
}

TEST_F(OpenerTest, MalformedGetOpensNoWindowAndSendsNothing) {
    XmlDocument doc;
    EXPECT_THROW(open(doc, getLink(server.url("/q"), par("a", "1") + "<par name='b' value='2' prefix=''/>")),
                 QvError);
    QTest::qWait(300);
    EXPECT_TRUE(windows.isEmpty());
    EXPECT_TRUE(server.requestsFor("/q").isEmpty());
}

TEST_F(OpenerTest, FirstAddAfterStartUpUsesThePendingFirstWindow) {
    cltWebPage* opener = cltWebPage::Global();
    frmBrowser* first = opener->CreateFirstWindow();
    EXPECT_TRUE(first->isHidden());
    opener->initialNewWebPage();
    EXPECT_TRUE(first->isFirstLoad);
    EXPECT_FALSE(first->isHidden());
    ASSERT_EQ(windows.size(), 1);

    EXPECT_EQ(opener->Add(server.url("/first")), first);
    EXPECT_EQ(windows.size(), 1);
    EXPECT_EQ(opener->PendingFirstWindow(), nullptr);
    EXPECT_TRUE(server.waitForRequest("/first"));

    frmBrowser* next = opener->Add(server.url("/second"));
    EXPECT_NE(next, first);
    EXPECT_EQ(windows.size(), 2);
    EXPECT_TRUE(server.waitForRequest("/second"));
}

TEST_F(OpenerTest, NewPageWithoutNameOpensANewWindowOnAboutBlank) {
    cltWebPage::Global()->NewPage("");
    ASSERT_EQ(windows.size(), 1);
    frmBrowser* w = windows[0];
    EXPECT_TRUE(
        waitUntil([&] { return w->page()->url() == QUrl("about:blank") && !w->page()->isLoading(); }));
    EXPECT_FALSE(w->isInnerPage());
}
