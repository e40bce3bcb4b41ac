#include "LocalHttpServer.h"
#include "TestSupport.h"
#include "core/QvError.h"
#include "core/XmlDocument.h"
#include "core/modInitial.h"
#include "platform/AnsiCodec.h"
#include "web/cltWebPage.h"
#include "web/frmBrowser.h"
#include "web/frmMiddle.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>
#include <QWebEnginePage>
#include <gtest/gtest.h>

namespace {

const QByteArray kAnswer = "<html><head><title>Answer</title></head><body>welcome</body></html>";

// Two forms: the first lacks the password field, the second has every field and its own target.
const QByteArray kTwoForms = R"(<html><head><title>Login</title></head><body>
<form name="search" action="/wrong" method="post"><input name="user"><input type="submit" value="Go"></form>
<form name="login" action="/login" method="post" target="_self">
  <input name="user"><input name="pass" type="password"><input type="hidden" name="token" value="t1">
  <input type="submit" name="other" value="B"><input type="submit" name="enter" value="A">
</form></body></html>)";

// Text for an XML attribute in single quotes.
QString attr(const QString& text) {
    return text.toHtmlEscaped().replace('\'', "&apos;");
}

// The form fields of a urlencoded body.
QUrlQuery formFields(const QByteArray& body) {
    return QUrlQuery(QString::fromUtf8(QByteArray(body).replace('+', ' ')));
}

QString field(const QUrlQuery& q, const QString& name) {
    return q.queryItemValue(name, QUrl::FullyDecoded);
}

} // namespace

class MiddlePageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start());
        server.serve("/twoforms", kTwoForms);
        server.serve("/login", kAnswer);
        mOldAppPath = modInitial::AppPath();
        cltWebPage::ReleaseGlobal();
        QObject::connect(cltWebPage::Global(), &cltWebPage::windowCreated,
                         [this](frmBrowser* w) { windows << QPointer<frmBrowser>(w); });
    }
    void TearDown() override {
        cltWebPage::ReleaseGlobal();
        for (const QPointer<frmBrowser>& w : windows)
            delete w.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        modInitial::SetAppPath(mOldAppPath);
    }

    // A middle descriptor for `url` with the given extra attributes and parameters.
    QString link(const QString& url, const QList<QPair<QString, QString>>& pars, const QString& formName = "",
                 const QString& submitName = "", const QString& extra = "urlgotype='1'") {
        QString xml =
            QStringLiteral("<link openmethod='3' notshowadd='1'><middle formname='%1' submitname='%2' "
                           "url='%3' %4>")
                .arg(attr(formName), attr(submitName), attr(url), extra);
        for (const auto& [name, value] : pars)
            xml += QStringLiteral("<par name='%1' value='%2'/>").arg(attr(name), attr(value));
        return xml + "</middle></link>";
    }

    // Opens the descriptor and waits for the middle page's end: "success", "error" or "" (none).
    QString openAndWait(XmlDocument& doc, const QString& xml) {
        EXPECT_TRUE(doc.loadXML(xml)) << doc.parseError().toStdString();
        cltWebPage::Global()->OpenWebPageAsNode(doc.documentElement());
        return waitForEnd();
    }
    QString waitForEnd() {
        QPointer<frmMiddle> middle = cltWebPage::Global()->MiddlePage();
        if (!middle)
            return "no middle page";
        QString end;
        QObject::connect(middle, &frmMiddle::MiddleOpenSuccess, [&] { end = "success"; });
        QObject::connect(middle, &frmMiddle::MiddleOpenError, [&] { end = "error"; });
        waitUntil([&] { return !end.isEmpty(); }, 20000);
        // The opener lets the page go right after the event.
        waitUntil([&] { return middle.isNull(); }, 5000);
        return end;
    }
    bool titleShown(frmBrowser* w, const QString& title) {
        return waitUntil([&] { return w && w->page() && w->page()->title() == title; }, 20000);
    }

    LocalHttpServer server;
    QList<QPointer<frmBrowser>> windows;
    QString mOldAppPath;
};

TEST_F(MiddlePageTest, FormFoundByItsFieldsIsFilledAndItsAnswerOpensInANewWindow) {
    XmlDocument doc;
    // Values that would break a script if they were spliced into one.
    const QString pass = QStringLiteral("密码 \"'\\</script>&x=1");
    EXPECT_EQ(openAndWait(doc, link(server.url("/twoforms"), {{"user", "alice"}, {"pass", pass}})),
              "success");

    EXPECT_TRUE(server.waitForRequest("/login"));
    EXPECT_TRUE(server.requestsFor("/wrong").isEmpty());
    const QList<LocalHttpServer::Request> posts = server.requestsFor("/login");
    ASSERT_EQ(posts.size(), 1);
    EXPECT_EQ(posts[0].method, "POST");
    const QUrlQuery fields = formFields(posts[0].body);
    EXPECT_EQ(field(fields, "user"), "alice");
    EXPECT_EQ(field(fields, "pass"), pass);
    EXPECT_EQ(field(fields, "token"), "t1");
    // Without a submit name every submit input is clicked; the submission carries a button, and
    // it went to one new window although the form named a target of its own.
    EXPECT_TRUE(fields.hasQueryItem("other") || fields.hasQueryItem("enter"));

    ASSERT_EQ(windows.size(), 1);
    EXPECT_TRUE(titleShown(windows[0], "Answer"));
    EXPECT_EQ(cltWebPage::Global()->MiddlePage(), nullptr);
}

TEST_F(MiddlePageTest, SubmitNameChoosesTheFormHoldingItAndClicksOnlyThatElement) {
    XmlDocument doc;
    EXPECT_EQ(openAndWait(doc, link(server.url("/twoforms"), {{"user", "bob"}}, "", "enter")), "success");
    EXPECT_TRUE(server.waitForRequest("/login"));
    ASSERT_EQ(server.requestsFor("/login").size(), 1);
    const QUrlQuery fields = formFields(server.requestsFor("/login")[0].body);
    EXPECT_EQ(field(fields, "user"), "bob");
    EXPECT_EQ(field(fields, "enter"), "A");
    EXPECT_FALSE(fields.hasQueryItem("other"));
    ASSERT_EQ(windows.size(), 1);
    EXPECT_TRUE(titleShown(windows[0], "Answer"));
}

TEST_F(MiddlePageTest, PageWithoutQualifyingFormEndsWithErrorAndAnEmptyWindow) {
    XmlDocument doc;
    // No form has a field "code"; a form name that no form carries chooses nothing either.
    EXPECT_EQ(openAndWait(doc, link(server.url("/twoforms"), {{"user", "u"}, {"code", "1"}})), "error");
    EXPECT_EQ(openAndWait(doc, link(server.url("/twoforms"), {{"user", "u"}}, "nosuchform")), "error");

    EXPECT_TRUE(server.requestsFor("/login").isEmpty());
    EXPECT_TRUE(server.requestsFor("/wrong").isEmpty());
    ASSERT_EQ(windows.size(), 2);
    for (const QPointer<frmBrowser>& w : windows) {
        ASSERT_TRUE(w && w->page());
        EXPECT_NE(w->page()->url().host(), "127.0.0.1");
    }
}

TEST_F(MiddlePageTest, SubmissionThatNeverAsksForAWindowEndsWithErrorAfterAWhile) {
    // The page's own submit handler cancels every submission, so no new window ever comes.
    server.serve("/cancels", R"(<html><body><form action="/login" method="post" onsubmit="return false">
        <input name="user"><input type="submit" value="Go"></form></body></html>)");
    XmlDocument doc;
    EXPECT_EQ(openAndWait(doc, link(server.url("/cancels"), {{"user", "u"}})), "error");
    EXPECT_TRUE(server.requestsFor("/login").isEmpty());
    EXPECT_EQ(windows.size(), 1);
}

TEST_F(MiddlePageTest, TwoOpensInQuickSuccessionShareOneMiddlePageAndTheSecondWins) {
    XmlDocument first, second;
    ASSERT_TRUE(first.loadXML(link(server.url("/twoforms"), {{"user", "first"}, {"pass", "1"}})));
    ASSERT_TRUE(second.loadXML(link(server.url("/twoforms"), {{"user", "second"}, {"pass", "2"}})));
    cltWebPage::Global()->OpenWebPageAsNode(first.documentElement());
    QPointer<frmMiddle> middle = cltWebPage::Global()->MiddlePage();
    cltWebPage::Global()->OpenWebPageAsNode(second.documentElement());
    EXPECT_EQ(cltWebPage::Global()->MiddlePage(), middle.data());
    EXPECT_EQ(waitForEnd(), "success");
    QTest::qWait(500);

    const QList<LocalHttpServer::Request> posts = server.requestsFor("/login");
    ASSERT_EQ(posts.size(), 1);
    EXPECT_EQ(field(formFields(posts[0].body), "user"), "second");
    EXPECT_EQ(windows.size(), 1);
}

TEST_F(MiddlePageTest, MissingAttributeRaisesAndTheMiddlePageStaysForTheNextOpen) {
    XmlDocument bad, good;
    ASSERT_TRUE(bad.loadXML(link(server.url("/twoforms"), {{"user", "x"}}, "", "", "")));
    try {
        cltWebPage::Global()->OpenWebPageAsNode(bad.documentElement());
        ADD_FAILURE() << "no error for a middle element without urlgotype";
    } catch (const QvError& e) {
        EXPECT_TRUE(e.description().contains("urlgotype")) << e.description().toStdString();
    }
    QPointer<frmMiddle> idle = cltWebPage::Global()->MiddlePage();
    ASSERT_TRUE(idle);
    ASSERT_TRUE(good.loadXML(link(server.url("/twoforms"), {{"user", "y"}, {"pass", "p"}})));
    cltWebPage::Global()->OpenWebPageAsNode(good.documentElement());
    EXPECT_EQ(cltWebPage::Global()->MiddlePage(), idle.data());
    EXPECT_EQ(waitForEnd(), "success");
    EXPECT_EQ(windows.size(), 1);
}

TEST_F(MiddlePageTest, LocalPageIsWrittenAsAnsiUnderDataAndRemovedOnUnload) {
    QTemporaryDir program;
    ASSERT_TRUE(program.isValid());
    modInitial::SetAppPath(program.path());
    const QString html = QStringLiteral("<html><head><title>本地登录</title></head><body>"
                                        "<form action='%1' method='post'><input name='user'>"
                                        "<input type='submit' name='go' value='A'></form></body></html>")
                             .arg(server.url("/login"));
    XmlDocument doc;
    ASSERT_TRUE(doc.loadXML(
        link("", {{"user", "carol"}}, "", "",
             QStringLiteral("urlgotype='2' localname='mid.html' htmlcontent='%1'").arg(attr(html)))));
    cltWebPage::Global()->OpenWebPageAsNode(doc.documentElement());

    const QString path = program.path() + "/Data/mid.html";
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_EQ(qvtest::readFile(path), AnsiCodec::fromUnicode(html));
    EXPECT_EQ(waitForEnd(), "success");
    EXPECT_TRUE(server.waitForRequest("/login"));
    ASSERT_EQ(server.requestsFor("/login").size(), 1);
    EXPECT_EQ(field(formFields(server.requestsFor("/login")[0].body), "user"), "carol");
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(MiddlePageTest, LocalNameWithAPathIsRefusedBeforeAnythingIsWritten) {
    QTemporaryDir program;
    ASSERT_TRUE(program.isValid());
    modInitial::SetAppPath(program.path() + "/app");
    QDir().mkpath(program.path() + "/app/Data");
    for (const QString name : {"../x.html", "sub/x.html", "..\\x.html", "..", ""}) {
        XmlDocument doc;
        ASSERT_TRUE(doc.loadXML(
            link("", {}, "", "",
                 QStringLiteral("urlgotype='2' localname='%1' htmlcontent='&lt;p&gt;'").arg(attr(name)))));
        try {
            cltWebPage::Global()->OpenWebPageAsNode(doc.documentElement());
            ADD_FAILURE() << "local name accepted: " << name.toStdString();
        } catch (const QvError& e) {
            EXPECT_TRUE(e.description().contains("localname")) << e.description().toStdString();
        }
    }
    EXPECT_FALSE(QFile::exists(program.path() + "/app/x.html"));
    EXPECT_FALSE(QFile::exists(program.path() + "/x.html"));
    EXPECT_TRUE(QDir(program.path() + "/app/Data").isEmpty());
    EXPECT_TRUE(windows.isEmpty());
}

TEST_F(MiddlePageTest, FormsSentByButtonsOrFoundInFramesAnswerInATab) {
    // Login forms as sites write them today: a <button type=submit>, a <button> without a type
    // in a form inside a frame of the same origin, and a form without any button.
    server.serve("/button", R"(<html><body><form action="/login" method="post"><input name="user">
        <button type="submit" name="go" value="B">登录</button></form></body></html>)");
    server.serve("/framed",
                 R"(<html><body><p>frame page</p><form name="search" action="/wrong"><input name="q"></form>
        <iframe src="/inner"></iframe></body></html>)");
    server.serve("/inner", R"(<html><body><form action="/login" method="post"><input name="user">
        <input name="pass" type="password"><button>登录</button></form></body></html>)");
    server.serve("/buttonless", R"(<html><body><form action="/login" method="post"><input name="user">
        </form></body></html>)");
    struct Case {
        const char* path;
        QList<QPair<QString, QString>> pars;
        QByteArray button;
    };
    const QList<Case> cases = {{"/button", {{"user", "ann"}}, "go=B"},
                               {"/framed", {{"user", "ben"}, {"pass", "p"}}, ""},
                               {"/buttonless", {{"user", "cy"}}, ""}};
    for (int i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.path);
        XmlDocument doc;
        EXPECT_EQ(openAndWait(doc, link(server.url(c.path), c.pars)), "success");
        ASSERT_TRUE(waitUntil([&] { return server.requestsFor("/login").size() == i + 1; }));
        const LocalHttpServer::Request post = server.requestsFor("/login").last();
        EXPECT_EQ(field(formFields(post.body), "user"), c.pars.first().second);
        if (!c.button.isEmpty()) {
            EXPECT_TRUE(post.body.contains(c.button)) << post.body.toStdString();
        }
        ASSERT_EQ(windows.size(), i + 1);
        EXPECT_TRUE(titleShown(windows.last(), "Answer"));
    }
    EXPECT_TRUE(server.requestsFor("/wrong").isEmpty());
}

TEST_F(MiddlePageTest, LocalNameOfAFileThatIsThereAlreadyIsRefusedAndTheFileKept) {
    QTemporaryDir program;
    ASSERT_TRUE(program.isValid());
    modInitial::SetAppPath(program.path());
    QDir().mkpath(program.path() + "/Data");
    const QString data = program.path() + "/Data/";
    qvtest::writeFile(data + "User.dat", "user data");
    qvtest::writeFile(data + "common.dat", "common data");
    qvtest::writeFile(data + "icon.dat", "icons");
    QDir().mkpath(data + "folder");
    // A link whose target does not exist yet would otherwise be written through.
    ASSERT_TRUE(QFile::link(program.path() + "/elsewhere.txt", data + "link.html"));
    const auto open = [&](const QString& name) {
        XmlDocument doc;
        EXPECT_TRUE(
            doc.loadXML(link("", {{"user", "u"}}, "", "",
                             QStringLiteral("urlgotype='2' localname='%1' htmlcontent='&lt;form "
                                            "action=&quot;%2&quot;&gt;&lt;input name=user&gt;&lt;/form&gt;'")
                                 .arg(attr(name), attr(server.url("/login"))))));
        cltWebPage::Global()->OpenWebPageAsNode(doc.documentElement());
    };
    for (const QString name : {"User.dat", "common.dat", "icon.dat", "folder", "link.html"}) {
        SCOPED_TRACE(name.toStdString());
        try {
            open(name);
            ADD_FAILURE() << "a name that is taken was accepted";
        } catch (const QvError& e) {
            EXPECT_TRUE(e.description().contains("localname")) << e.description().toStdString();
        }
    }
    cltWebPage::ReleaseGlobal();
    EXPECT_EQ(qvtest::readFile(data + "User.dat"), "user data");
    EXPECT_EQ(qvtest::readFile(data + "common.dat"), "common data");
    EXPECT_EQ(qvtest::readFile(data + "icon.dat"), "icons");
    EXPECT_FALSE(QFileInfo::exists(program.path() + "/elsewhere.txt"));
    EXPECT_TRUE(windows.isEmpty());

    // The page's own file may be written again by the next open of the same middle page.
    open("mine.html");
    EXPECT_NO_THROW(open("mine.html"));
    EXPECT_EQ(waitForEnd(), "success");
    EXPECT_FALSE(QFileInfo::exists(data + "mine.html"));
}

TEST_F(MiddlePageTest, FormIsFilledOnlyOnTheSiteTheDescriptorNames) {
    // The descriptor names this server; its page sends the middle page on to another site (an
    // origin of its own: another port) that serves the same login form.
    LocalHttpServer other;
    ASSERT_TRUE(other.start());
    other.serve("/twoforms", kTwoForms);
    other.serve("/login", kAnswer);
    const auto redirectTo = [](const QString& location) {
        return [location](const LocalHttpServer::Request&) {
            LocalHttpServer::Response response;
            response.status = 302;
            response.extraHeaders << qMakePair(QByteArray("Location"), location.toUtf8());
            return response;
        };
    };
    server.serve("/elsewhere", redirectTo(other.url("/twoforms")));
    server.serve("/sameSite", redirectTo("/twoforms"));

    XmlDocument away;
    EXPECT_EQ(openAndWait(away, link(server.url("/elsewhere"), {{"user", "u"}, {"pass", "secret"}})), "error");
    EXPECT_EQ(other.requestsFor("/twoforms").size(), 1);
    EXPECT_TRUE(other.requestsFor("/login").isEmpty());
    EXPECT_TRUE(server.requestsFor("/login").isEmpty());

    // A move within the same site is still the page the descriptor names.
    XmlDocument same;
    EXPECT_EQ(openAndWait(same, link(server.url("/sameSite"), {{"user", "v"}, {"pass", "p"}})), "success");
    EXPECT_TRUE(server.waitForRequest("/login"));
    EXPECT_EQ(field(formFields(server.requestsFor("/login")[0].body), "user"), "v");
    EXPECT_TRUE(other.requestsFor("/login").isEmpty());
}

TEST_F(MiddlePageTest, APageThatLoadsAgainAfterTheSubmissionIsNotFilledAgain) {
    // The page's submit handler sends the typed name to the server itself and reloads the same
    // form; filling every new document would send it again and again.
    server.serve("/again", R"(<html><body><form action="/login" method="post"
        onsubmit="location.href = '/again?user=' + encodeURIComponent(this.user.value); return false;">
        <input name="user"><input type="submit" value="Go"></form></body></html>)");
    XmlDocument doc;
    EXPECT_EQ(openAndWait(doc, link(server.url("/again"), {{"user", "dora"}})), "error");
    const QList<LocalHttpServer::Request> loads = server.requestsFor("/again");
    ASSERT_EQ(loads.size(), 2);
    EXPECT_EQ(loads[1].query(), "user=dora");
    EXPECT_TRUE(server.requestsFor("/login").isEmpty());
}
