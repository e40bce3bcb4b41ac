#include "LocalHttpServer.h"
#include "ModalDriver.h"
#include "TestSupport.h"
#include "controls/CommandBars.h"
#include "controls/StatusBar.h"
#include "controls/TabbedWorkspace.h"
#include "controls/TaskDialog.h"
#include "core/QvIds.h"
#include "core/clsCommonData.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "platform/AnsiCodec.h"
#include "platform/PlainMessage.h"
#include "platform/RegistryView.h"
#include "web/BrowserExternal.h"
#include "web/BrowserPage.h"
#include "web/InnerPages.h"
#include "web/cWebBrowser.h"
#include "web/clsActStatus.h"
#include "web/clsRecentClosedPages.h"
#include "web/cltWebPage.h"
#include "web/frmBrowser.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

// Reaches the window's closing flag, which is otherwise only set for the moment of a close.
class frmBrowserPrivateAccess {
public:
    static void setClosing(frmBrowser* window, bool closing) { window->mClosing = closing; }
};

namespace {

QByteArray page(const QByteArray& title, const QByteArray& body = "<p>page</p>") {
    return "<!DOCTYPE html><html><head><meta charset='utf-8'><title>" + title + "</title></head><body>" +
           body + "</body></html>";
}

// Runs a script in the page's main world and waits for its value.
QVariant evalJs(QWebEnginePage* page, const QString& script) {
    QVariant result;
    bool done = false;
    page->runJavaScript(script, [&](const QVariant& value) {
        result = value;
        done = true;
    });
    waitUntil([&] { return done; }, 10000);
    return result;
}

// What the page's own scripts can see of the host: the transport, the channel's script and the
// host object; "undefined undefined undefined" when nothing.
QString hostSeenByPage(QWebEnginePage* page) {
    return evalJs(page, "[typeof qt, typeof QWebChannel,"
                        " typeof (window.external && window.external.GetHostAppPath)].join(' ')")
        .toString();
}

// Has the page's main world build a channel and keep `external` and the recently closed pages
// as window.ext and window.pages; true once they are there.
bool connectChannel(QWebEnginePage* page) {
    evalJs(page,
           "new QWebChannel(qt.webChannelTransport, function (c) {"
           "  window.ext = c.objects.external; window.pages = window.ext.RecentlyClosedPages; }); true");
    return waitUntil([&] { return evalJs(page, "typeof window.pages === 'object'").toBool(); }, 10000);
}

// The program folder as the page's channel answers it (empty when no answer came).
QString appPathThroughChannel(QWebEnginePage* page) {
    evalJs(page, "window.answered = undefined;"
                 "ext.GetHostAppPath(function (path) { window.answered = path; }); true");
    waitUntil([&] { return evalJs(page, "typeof window.answered === 'string'").toBool(); }, 10000);
    return evalJs(page, "window.answered || ''").toString();
}

// Makes the engine itself navigate the page, as DevTools does: no navigation request reaches
// the window first.
void navigateByDevTools(QWebEnginePage* page, const QString& url) {
    QWebEnginePage devTools(page->profile());
    page->setDevToolsPage(&devTools);
    // The tools' own page has loaded and connected to the page before it takes commands.
    ASSERT_TRUE(waitUntil(
        [&] {
            return !devTools.isLoading() && devTools.url().scheme() == "devtools" &&
                   evalJs(&devTools, "typeof InspectorFrontendHost").toString() == "object";
        },
        20000));
    evalJs(&devTools, QStringLiteral("InspectorFrontendHost.sendMessageToBackend(JSON.stringify("
                                     "{id: 900001, method: 'Page.navigate', params: {url: '%1'}})); true")
                          .arg(url));
    EXPECT_TRUE(waitUntil([&] { return page->url() == QUrl(url) && !page->isLoading(); }));
    page->setDevToolsPage(nullptr);
}

// The record attributes of the recently closed list, newest first.
struct Record {
    QString url, caption, thumbnail, key;
};

} // namespace

// Browser windows over a program folder of their own (common data with the real "rcp" page, an
// empty user data store), pages from a local server.
class BrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        modInitial::SetAppPath(dir.path());
        QDir(dir.path()).mkpath("Data");
        const QByteArray common = qvtest::readFile(qvtest::sourceDir() + "/data/common.xml");
        ASSERT_FALSE(common.isEmpty());
        modDataFile::WriteEncryptedFile(dir.filePath("Data/common.dat"), QString::fromUtf8(common));
        modDataFile::WriteEncryptedFile(dir.filePath("Data/User.dat"), clsUserData::InitialDocument());
        modInitial::gData = new clsData;
        ASSERT_FALSE(modInitial::gData->CommonData()->XMLNode.isNull());
        RegistryView::instance().setTypedUrlsFile(dir.filePath("TypedURLs.txt"));
        RegistryView::instance().setRegistryFile(HKEY_CURRENT_USER, dir.filePath("none.reg"));

        ASSERT_TRUE(server.start());
        server.serve("/titled",
                     page("Hello 标题", "<div style='position:fixed;inset:0;background:#00b000'></div>"));
        server.serve("/other", page("Other page"));
        server.serve("/popup", page("Popup"));
        server.serve("/post", page("Posted"));
        server.serve("/typed", page("Typed"));
        server.serve("/links", page("Links", "<a id='blank' href='/popup' target='_blank'>new</a>"));
        server.serve("/closing",
                     page("Closing", "<script>setTimeout(function(){window.close();}, 100);</script>"));

        cltWebPage::ReleaseGlobal();
        QObject::connect(cltWebPage::Global(), &cltWebPage::windowCreated,
                         [this](frmBrowser* window) { created << QPointer<frmBrowser>(window); });
    }

    void TearDown() override {
        for (frmBrowser* window : frmBrowser::AllWindows())
            delete window;
        cltWebPage::ReleaseGlobal();
        modInitial::gWorkspace = nullptr;
        mainWindow.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete modInitial::gData;
        modInitial::gData = nullptr;
        RegistryView::instance().setTypedUrlsFile(QString());
        RegistryView::instance().setRegistryFile(HKEY_CURRENT_USER, QString());
    }

    // A main window whose tabbed area is the program's workspace.
    void openMainWindow() {
        mainWindow = std::make_unique<QMainWindow>();
        auto* area = new QMdiArea;
        mainWindow->setCentralWidget(area);
        mainWindow->resize(1000, 700);
        workspace = new TabbedWorkspace(area);
        modInitial::gWorkspace = workspace;
        mainWindow->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(mainWindow.get()));
    }

    // A window as the opener makes it: a tab of the workspace, or a window of its own.
    frmBrowser* newWindow() {
        frmBrowser* window = cltWebPage::Global()->Add(QString());
        if (!modInitial::gWorkspace)
            window->resize(900, 600);
        return window;
    }

    static bool loaded(frmBrowser* window, const QString& url) {
        return window && window->page() && window->page()->url() == QUrl(url) && !window->page()->isLoading();
    }

    frmBrowser* openPage(const QString& path) {
        frmBrowser* window = newWindow();
        window->goURL(server.url(path));
        EXPECT_TRUE(waitUntil([&] { return loaded(window, server.url(path)); }));
        return window;
    }

    static bool showsInnerPage(frmBrowser* window) {
        return window && window->isInnerPage() && window->page() && !window->page()->isLoading() &&
               window->page()->url() == QUrl("qv://rcp/") &&
               window->Caption() == QStringLiteral("最近关闭的网页");
    }

    clsRecentClosedPages* closedPages() {
        return ActStatusOf(modInitial::gData->UserData())->RecentlyClosedPages();
    }

    QList<Record> records() {
        QList<Record> list;
        for (const XmlNode& node : closedPages()->XMLNode.selectNodes("rcp")) {
            list << Record{node.getAttribute("url"), node.getAttribute("caption"),
                           node.getAttribute("ThumbnailName"), node.getAttribute("rindex")};
        }
        return list;
    }

    QTemporaryDir dir;
    LocalHttpServer server;
    QList<QPointer<frmBrowser>> created;
    std::unique_ptr<QMainWindow> mainWindow;
    TabbedWorkspace* workspace = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Caption, navigation requests

TEST_F(BrowserTest, CaptionFollowsThePageTitleAndBlankIsANewPage) {
    openMainWindow();
    frmBrowser* window = openPage("/titled");
    EXPECT_TRUE(waitUntil([&] { return window->Caption() == QStringLiteral("Hello 标题"); }));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Hello 标题"));
    // The tool bar, the status bar and the page are on show inside the tab.
    EXPECT_TRUE(
        window->commandBars()->ToolBarByTitle(QStringLiteral("浏览器基本功能"))->toolBar()->isVisible());
    EXPECT_TRUE(window->commandBars()->statusBar()->bar()->isVisible());
    EXPECT_TRUE(window->WebBrowser()->isVisible());
    EXPECT_GT(window->WebBrowser()->height(), 300);
    QMdiSubWindow* frame = qobject_cast<QMdiSubWindow*>(window->parentWidget());
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Hello 标题"));

    window->goURL("about:blank");
    EXPECT_TRUE(waitUntil([&] { return window->Caption() == QStringLiteral("新页面"); }));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("新页面"));
}

TEST_F(BrowserTest, PostSendsTheGbkBodyAndEveryHeaderLine) {
    frmBrowser* window = newWindow();
    NavigateOptions options;
    options.PostData = QStringLiteral("name=张三&city=北京");
    options.Headers = QStringLiteral("Content-Type: application/x-www-form-urlencoded\r\nX-Quorvel: 是");
    window->goURL(server.url("/post"), options);
    ASSERT_TRUE(server.waitForRequest("/post"));
    const LocalHttpServer::Request request = server.requestsFor("/post").first();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.body, AnsiCodec::fromUnicode(QStringLiteral("name=张三&city=北京")));
    EXPECT_EQ(request.headers.value("content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(request.headers.value("x-quorvel"), AnsiCodec::fromUnicode(QStringLiteral("是")));
}

TEST_F(BrowserTest, PlainNavigationIsAGetEvenWithHeaders) {
    frmBrowser* window = newWindow();
    NavigateOptions options;
    options.Headers = QStringLiteral("X-Dropped: 1");
    window->goURL(server.url("/other"), options);
    ASSERT_TRUE(server.waitForRequest("/other"));
    const LocalHttpServer::Request request = server.requestsFor("/other").first();
    EXPECT_EQ(request.method, "GET");
    EXPECT_FALSE(request.headers.contains("x-dropped"));
}

// ---------------------------------------------------------------------------------------------
// Pop-ups and the page's own close

TEST_F(BrowserTest, PopUpsOpenInNewTabsThroughTheOpener) {
    openMainWindow();
    frmBrowser* window = openPage("/links");
    const int before = int(created.size());

    evalJs(window->page(), "document.getElementById('blank').click()");
    ASSERT_TRUE(waitUntil([&] { return created.size() == before + 1; }));
    frmBrowser* fromLink = created.last();
    EXPECT_TRUE(waitUntil([&] { return loaded(fromLink, server.url("/popup")); }));

    evalJs(window->page(), "window.open('/other'); true");
    ASSERT_TRUE(waitUntil([&] { return created.size() == before + 2; }));
    frmBrowser* fromScript = created.last();
    EXPECT_TRUE(waitUntil([&] { return loaded(fromScript, server.url("/other")); }));
    EXPECT_EQ(workspace->TabCount(), 3);
    EXPECT_GE(workspace->TabIndexOf(fromScript), 0);
}

TEST_F(BrowserTest, AClosingWindowRefusesPopUps) {
    frmBrowser* window = openPage("/links");
    const int before = int(created.size());
    frmBrowserPrivateAccess::setClosing(window, true);
    evalJs(window->page(), "window.open('/popup'); true");
    QTest::qWait(500);
    EXPECT_EQ(created.size(), before);
    EXPECT_TRUE(server.requestsFor("/popup").isEmpty());
    frmBrowserPrivateAccess::setClosing(window, false);
}

TEST_F(BrowserTest, ThePagesOwnWindowCloseClosesItsTab) {
    openMainWindow();
    frmBrowser* window = openPage("/links");
    // Pages may close only windows they opened themselves.
    evalJs(window->page(), "window.open('/closing'); true");
    ASSERT_TRUE(waitUntil([&] { return workspace->TabCount() == 2; }));
    QPointer<frmBrowser> popup = created.last();
    EXPECT_TRUE(waitUntil([&] { return popup.isNull(); }));
    EXPECT_TRUE(waitUntil([&] { return workspace->TabCount() == 1; }));
    EXPECT_EQ(workspace->ActiveWindow(), window);
}

// ---------------------------------------------------------------------------------------------
// Closing: the recently closed record and the last tab

TEST_F(BrowserTest, ClosingAPageRecordsItWithA210PixelThumbnail) {
    frmBrowser* window = openPage("/titled");
    ASSERT_TRUE(waitUntil([&] { return window->Caption() == QStringLiteral("Hello 标题"); }));
    // Closed once the page is on screen, as a user closes it.
    ASSERT_TRUE(waitUntil([&] {
        const QImage shown = window->WebBrowser()->grab().toImage();
        return !shown.isNull() && shown.pixelColor(shown.width() / 2, shown.height() / 2).red() < 60;
    }));
    const QSize view = window->WebBrowser()->size();
    const QString handle = cWebBrowser::WindowHandle(window);
    // What the user typed but never went to is no page that was closed.
    QTest::keyClicks(window->commandBars()->FindControl(Cmd::Address)->comboBox()->lineEdit(), "/junk");
    QPointer<frmBrowser> alive(window);

    EXPECT_TRUE(window->RequestClose());
    EXPECT_TRUE(waitUntil([&] { return alive.isNull(); }));

    const QList<Record> list = records();
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].url, server.url("/titled"));
    EXPECT_EQ(list[0].caption, QStringLiteral("Hello 标题"));
    EXPECT_TRUE(list[0].key.endsWith(handle));
    EXPECT_EQ(list[0].thumbnail, modInitial::AppPath() + "/Cache/" + list[0].key + ".bmp");
    QImage thumbnail;
    ASSERT_TRUE(thumbnail.load(list[0].thumbnail, "BMP"));
    EXPECT_EQ(thumbnail.width(), 210);
    EXPECT_EQ(thumbnail.height(), int(std::lround(view.height() * 210.0 / view.width())));
    // A picture of the page, not of an empty window.
    const QColor middle = thumbnail.pixelColor(105, thumbnail.height() / 2);
    EXPECT_GT(middle.green(), 150);
    EXPECT_LT(middle.red(), 60);
    EXPECT_FALSE(cWebBrowser::gBrowserHosts().contains(handle));
}

TEST_F(BrowserTest, BlankAndInnerPagesAreNotRecorded) {
    frmBrowser* blank = newWindow();
    blank->goURL("about:blank");
    ASSERT_TRUE(waitUntil([&] { return loaded(blank, "about:blank"); }));
    EXPECT_TRUE(blank->RequestClose());

    frmBrowser* inner = newWindow();
    inner->GoInnerPage("rcp");
    ASSERT_TRUE(waitUntil([&] { return showsInnerPage(inner); }));
    EXPECT_TRUE(inner->RequestClose());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    EXPECT_TRUE(records().isEmpty());
    EXPECT_TRUE(QDir(dir.filePath("Cache")).entryList(QDir::Files).isEmpty());
}

TEST_F(BrowserTest, TheLastTabTurnsIntoTheRcpPageUntilTheApplicationCloses) {
    openMainWindow();
    frmBrowser* window = openPage("/titled");
    QPointer<frmBrowser> alive(window);

    EXPECT_FALSE(window->RequestClose(false));
    EXPECT_TRUE(waitUntil([&] { return showsInnerPage(window); }));
    EXPECT_EQ(window->strInnerPageName, "rcp");
    EXPECT_FALSE(window->isClosing());
    EXPECT_EQ(workspace->TabCount(), 1);
    EXPECT_EQ(records().size(), 1);

    // The tab's own close button takes the same way.
    auto* frame = qobject_cast<QMdiSubWindow*>(window->parentWidget());
    ASSERT_NE(frame, nullptr);
    frame->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(alive.isNull());
    EXPECT_EQ(workspace->TabCount(), 1);
    EXPECT_TRUE(waitUntil([&] { return showsInnerPage(window); }));

    EXPECT_TRUE(window->RequestClose(true));
    EXPECT_TRUE(waitUntil([&] { return alive.isNull(); }));
    EXPECT_EQ(workspace->TabCount(), 0);
    EXPECT_EQ(records().size(), 1);
}

TEST_F(BrowserTest, AClosedTabThatIsNotTheLastOneGoes) {
    openMainWindow();
    openPage("/titled");
    frmBrowser* second = openPage("/other");
    QPointer<frmBrowser> alive(second);
    auto* frame = qobject_cast<QMdiSubWindow*>(second->parentWidget());
    ASSERT_NE(frame, nullptr);
    frame->close();
    EXPECT_TRUE(waitUntil([&] { return alive.isNull(); }));
    EXPECT_EQ(workspace->TabCount(), 1);
    ASSERT_EQ(records().size(), 1);
    EXPECT_EQ(records()[0].url, server.url("/other"));
}

// ---------------------------------------------------------------------------------------------
// The host object is the internal page's only

TEST_F(BrowserTest, TheRcpPageSeesTheHostObjectAndListsTheClosedPages) {
    frmBrowser* closed = openPage("/titled");
    ASSERT_TRUE(waitUntil([&] { return closed->Caption() == QStringLiteral("Hello 标题"); }));
    ASSERT_TRUE(closed->RequestClose());

    frmBrowser* window = newWindow();
    window->GoInnerPage("rcp");
    ASSERT_TRUE(waitUntil([&] { return showsInnerPage(window); }));
    EXPECT_FALSE(window->WebBrowser()->contextMenuPolicy() == Qt::DefaultContextMenu);
    EXPECT_EQ(evalJs(window->page(), "typeof qt !== 'undefined' && typeof QWebChannel").toString(),
              "function");
    evalJs(window->page(),
           "new QWebChannel(qt.webChannelTransport, function(channel) {"
           "  channel.objects.external.GetHostAppPath(function(path) { window.testAppPath = path; });"
           "}); true");
    EXPECT_TRUE(waitUntil(
        [&] {
            return evalJs(window->page(), "window.testAppPath || ''").toString() == modInitial::AppPath();
        },
        5000));
    EXPECT_TRUE(waitUntil([&] {
        return evalJs(window->page(), "document.body.innerText")
            .toString()
            .contains(QStringLiteral("Hello 标题"));
    }));
    // The thumbnail comes through the page's own scheme.
    EXPECT_TRUE(waitUntil([&] {
        return evalJs(window->page(), "var i = document.querySelector('.thumb img');"
                                      "i && i.complete ? i.naturalWidth + ' ' + i.src : ''")
            .toString()
            .startsWith("210 qv://rcp/Cache/");
    }));
    // Only files right inside the Cache folder are served.
    const QString thumbnail = records().first().thumbnail;
    const QString name = QFileInfo(thumbnail).fileName();
    EXPECT_EQ(InnerPageSchemeHandler::CacheFile(name), QFileInfo(thumbnail).canonicalFilePath());
    qvtest::writeFile(dir.filePath("Data/secret.txt"), "secret");
    ASSERT_TRUE(QFile::link(dir.filePath("Data/secret.txt"), dir.filePath("Cache/link.bmp")));
    for (const QString other : {"../Data/secret.txt", "..", ".", "", "link.bmp", "none.bmp", "/etc/passwd"})
        EXPECT_EQ(InnerPageSchemeHandler::CacheFile(other), QString()) << other.toStdString();

    // The favorites and the test message are reached through the same object.
    QStringList favorites;
    cWebBrowser::SetAddFavoriteHandler(
        [&](const QString& url, const QString& title) { favorites << url + QLatin1Char('|') + title; });
    QStringList messages;
    SetPlainMessageHandler([&](const QString& text, const QString&) { messages << text; });
    evalJs(window->page(), "new QWebChannel(qt.webChannelTransport, function(channel) {"
                           "  channel.objects.external.AddFavorite('http://fav.example/', '收藏');"
                           "  channel.objects.external.testMsg();"
                           "}); true");
    EXPECT_TRUE(waitUntil([&] { return !favorites.isEmpty() && !messages.isEmpty(); }, 5000));
    EXPECT_EQ(favorites, QStringList{QStringLiteral("http://fav.example/|收藏")});
    EXPECT_EQ(messages, QStringList{"abcOK"});
    cWebBrowser::SetAddFavoriteHandler({});
    SetPlainMessageHandler({});
}

TEST_F(BrowserTest, TheRcpPageShowsAPageClosedWhileItIsOpen) {
    frmBrowser* rcp = newWindow();
    rcp->GoInnerPage("rcp");
    ASSERT_TRUE(waitUntil([&] { return showsInnerPage(rcp); }));
    frmBrowser* closed = openPage("/other");
    ASSERT_TRUE(waitUntil([&] { return closed->Caption() == QStringLiteral("Other page"); }));
    ASSERT_TRUE(closed->RequestClose());
    EXPECT_TRUE(waitUntil([&] {
        return showsInnerPage(rcp) && evalJs(rcp->page(), "document.body.innerText")
                                          .toString()
                                          .contains(QStringLiteral("Other page"));
    }));
}

TEST_F(BrowserTest, OrdinaryPagesSeeNoHostObject) {
    frmBrowser* window = openPage("/titled");
    EXPECT_EQ(evalJs(window->page(), "typeof qt").toString(), "undefined");
    EXPECT_EQ(window->WebBrowser()->contextMenuPolicy(), Qt::DefaultContextMenu);

    // Leaving the internal page takes the host object away before the next page arrives.
    window->GoInnerPage("rcp");
    ASSERT_TRUE(waitUntil([&] { return showsInnerPage(window); }));
    ASSERT_EQ(evalJs(window->page(), "typeof qt").toString(), "object");
    evalJs(window->page(), QStringLiteral("location.href = '%1'; true").arg(server.url("/other")));
    ASSERT_TRUE(waitUntil([&] { return loaded(window, server.url("/other")); }));
    EXPECT_FALSE(window->isInnerPage());
    EXPECT_EQ(evalJs(window->page(), "typeof qt + ' ' + typeof QWebChannel").toString(),
              "undefined undefined");
    EXPECT_EQ(window->WebBrowser()->contextMenuPolicy(), Qt::DefaultContextMenu);

    // Back to the internal page: it comes again, with the host object.
    window->WebHistoryGo(-1);
    EXPECT_TRUE(waitUntil([&] { return showsInnerPage(window); }));
    EXPECT_EQ(evalJs(window->page(), "typeof qt").toString(), "object");
    // The history holds the three pages and no blank step between them.
    QWebEngineHistory* history = window->page()->history();
    ASSERT_EQ(history->count(), 3);
    EXPECT_EQ(history->itemAt(0).url(), QUrl(server.url("/titled")));
    EXPECT_EQ(history->itemAt(1).url(), QUrl("qv://rcp/"));
    // Shown again (a refresh, a list change), it stays the one entry it is.
    QSignalSpy reloaded(window->page(), &QWebEnginePage::loadFinished);
    window->GoInnerPage("rcp");
    ASSERT_TRUE(reloaded.wait(10000));
    EXPECT_EQ(history->count(), 3);
    EXPECT_EQ(history->currentItemIndex(), 1);
    window->page()->triggerAction(QWebEnginePage::Back);
    EXPECT_TRUE(waitUntil([&] { return loaded(window, server.url("/titled")); }));
    EXPECT_FALSE(window->isInnerPage());
    EXPECT_EQ(evalJs(window->page(), "typeof qt").toString(), "undefined");
}

TEST_F(BrowserTest, TheHostObjectsNeverReachAnOrdinaryPageWhateverLeadsThere) {
    server.serve("/redirect", [this](const LocalHttpServer::Request&) {
        LocalHttpServer::Response response;
        response.status = 302;
        response.extraHeaders = {{"Location", server.url("/other").toUtf8()}};
        return response;
    });
    frmBrowser* window = newWindow();
    QWebEngineSettings* settings = window->page()->settings();
    const QString nothing = "undefined undefined undefined";
    const auto showRcp = [&] {
        window->GoInnerPage("rcp");
        return waitUntil([&] { return showsInnerPage(window); }) &&
               hostSeenByPage(window->page()) == "object function undefined";
    };
    const auto evalGo = [&](const QString& script) {
        return [&, script] { evalJs(window->page(), script.arg(server.url("/other"))); };
    };
    struct Route {
        const char* name;
        std::function<void()> go;
    };
    const QList<Route> routes = {
        {"typed", [&] { window->goURL(server.url("/other")); }},
        {"link", evalGo("var a = document.createElement('a'); a.href = '%1';"
                        "document.body.appendChild(a); a.click(); true")},
        {"script", evalGo("location.href = '%1'; true")},
        {"redirect", [&] { window->goURL(server.url("/redirect")); }},
        {"engine", [&] { navigateByDevTools(window->page(), server.url("/other")); }},
    };
    for (const Route& route : routes) {
        SCOPED_TRACE(route.name);
        ASSERT_TRUE(showRcp());
        EXPECT_TRUE(window->host()->External()->CallAllowed());
        route.go();
        ASSERT_TRUE(waitUntil([&] { return loaded(window, server.url("/other")); }));
        EXPECT_EQ(hostSeenByPage(window->page()), nothing);
        EXPECT_FALSE(window->isInnerPage());
        EXPECT_FALSE(window->host()->External()->CallAllowed());
        EXPECT_EQ(window->host()->External()->GetHostAppPath(), QString());
        EXPECT_EQ(window->WebBrowser()->contextMenuPolicy(), Qt::DefaultContextMenu);
        EXPECT_FALSE(settings->testAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls));
    }

    // Through the history both ways: the internal page has its objects again, the ordinary one
    // has none.
    window->page()->triggerAction(QWebEnginePage::Back);
    ASSERT_TRUE(waitUntil([&] { return showsInnerPage(window); }));
    EXPECT_EQ(hostSeenByPage(window->page()), "object function undefined");
    window->page()->triggerAction(QWebEnginePage::Forward);
    ASSERT_TRUE(waitUntil([&] { return loaded(window, server.url("/other")); }));
    EXPECT_EQ(hostSeenByPage(window->page()), nothing);
    // No history step of the window's own: every entry is a page the user saw.
    for (int i = 0; i < window->page()->history()->count(); ++i)
        EXPECT_NE(window->page()->history()->itemAt(i).url(), QUrl("about:blank"));

    // A page that speaks the relay's language by hand gets no answer; an internal page does.
    const char* probe = "window.heard = 0; document.addEventListener('qv-host-message',"
                        " function () { window.heard++; });"
                        "document.dispatchEvent(new CustomEvent('qv-page-message',"
                        " {detail: JSON.stringify({type: 3, id: 1})})); true";
    evalJs(window->page(), probe);
    ASSERT_TRUE(showRcp());
    evalJs(window->page(), probe);
    ASSERT_TRUE(waitUntil([&] { return evalJs(window->page(), "window.heard").toInt() > 0; }, 10000));
    navigateByDevTools(window->page(), server.url("/other"));
    evalJs(window->page(), probe);
    waitUntil([] { return false; }, 500);
    EXPECT_EQ(evalJs(window->page(), "window.heard").toInt(), 0);

    // Ordinary pages cannot go to an internal page, and get nothing from its scheme.
    BrowserPage* browserPage = window->host()->page();
    EXPECT_FALSE(
        browserPage->NavigationHandler(QUrl("qv://rcp/"), QWebEnginePage::NavigationTypeLinkClicked, true));
    EXPECT_FALSE(
        browserPage->NavigationHandler(QUrl("qv://rcp/"), QWebEnginePage::NavigationTypeRedirect, true));
    EXPECT_TRUE(browserPage->NavigationHandler(QUrl("qv://rcp/"), QWebEnginePage::NavigationTypeTyped, true));
    evalJs(window->page(), "var img = new Image(); img.onload = function () { window.img = 'loaded'; };"
                           "img.onerror = function () { window.img = 'refused'; };"
                           "img.src = 'qv://rcp/'; true");
    EXPECT_TRUE(
        waitUntil([&] { return evalJs(window->page(), "window.img || ''").toString() == "refused"; }));

    // A local document is an ordinary page too: it shows the picture beside it and sees no host
    // object.
    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(dir.filePath("local.png")));
    qvtest::writeFile(dir.filePath("local.html"), "<html><body><img src='local.png'></body></html>");
    const QString local = QUrl::fromLocalFile(dir.filePath("local.html")).toString();
    ASSERT_TRUE(showRcp());
    window->goURL(local);
    ASSERT_TRUE(waitUntil([&] { return loaded(window, local); }));
    EXPECT_TRUE(
        waitUntil([&] { return evalJs(window->page(), "document.images[0].naturalWidth").toInt() == 30; }));
    EXPECT_EQ(hostSeenByPage(window->page()), nothing);
    EXPECT_FALSE(settings->testAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls));
}

TEST_F(BrowserTest, APageTalkingToAChannelOrObjectsThatAreGoneNeverStopsTheProgram) {
    frmBrowser* window = newWindow();
    window->GoInnerPage("rcp");
    ASSERT_TRUE(waitUntil([&] { return showsInnerPage(window); }));
    ASSERT_TRUE(connectChannel(window->page()));

    // The user data is loaded anew: the list the page saw is gone, its calls reach the new one.
    modInitial::gData->ReloadUserData();
    closedPages()->Add(QDateTime::currentDateTime(), "http://after.example/", "After", "", "", "", "1");
    evalJs(window->page(), "pages.GetWebData(function (body) { window.body = body; }); true");
    EXPECT_TRUE(waitUntil(
        [&] { return evalJs(window->page(), "window.body || ''").toString().contains("after.example"); }));

    // Messages that mean nothing to the channel change nothing.
    evalJs(window->page(),
           "var t = qt.webChannelTransport; t.send('not a message'); t.send('{');"
           "t.send(JSON.stringify({type: 6, object: 'nosuch', method: 1, args: [], id: 70}));"
           "t.send(JSON.stringify({type: 6, object: 'external', method: 4242, args: [], id: 71}));"
           "t.send(JSON.stringify({type: 7, object: 'external', property: 99, id: 72})); true");
    EXPECT_EQ(appPathThroughChannel(window->page()), modInitial::AppPath());

    // Calls keep coming while the window is released and goes.
    QStringList favorites;
    cWebBrowser::SetAddFavoriteHandler([&](const QString& url, const QString&) { favorites << url; });
    evalJs(window->page(),
           "window.calls = 0; setInterval(function () { ++window.calls;"
           "  ext.GetHostAppPath(function () {}); pages.GetWebData(function () {});"
           "  pages.Remove('none', true, function () {}); ext.AddFavorite('http://fav/', 'f');"
           "}, 0); true");
    ASSERT_TRUE(waitUntil([&] { return evalJs(window->page(), "window.calls").toInt() > 20; }));
    QPointer<frmBrowser> alive(window);
    EXPECT_TRUE(window->RequestClose(true));
    EXPECT_TRUE(waitUntil([&] { return alive.isNull(); }));
    const qsizetype favoritesAtClose = favorites.size();

    // The program goes on: the next internal page has its objects, and nothing of the old page's
    // calls arrives any more.
    frmBrowser* next = newWindow();
    next->GoInnerPage("rcp");
    ASSERT_TRUE(waitUntil([&] { return showsInnerPage(next); }));
    ASSERT_TRUE(connectChannel(next->page()));
    EXPECT_EQ(appPathThroughChannel(next->page()), modInitial::AppPath());
    EXPECT_EQ(favorites.size(), favoritesAtClose);
    cWebBrowser::SetAddFavoriteHandler({});

    // The page's question is open when its window goes; the answer still counts, and nothing is
    // left to answer to.
    QPointer<frmBrowser> asking(next);
    bool asked = false;
    TaskDialog::SetAnswerer([&](const TaskDialog&) -> std::optional<int> {
        asked = true;
        asking->RequestClose(true);
        waitUntil([&] { return asking.isNull(); });
        return Answer::Yes;
    });
    evalJs(next->page(), "pages.RemoveAll(function () {}); true");
    EXPECT_TRUE(waitUntil([&] { return asked && asking.isNull(); }));
    TaskDialog::SetAnswerer({});
    EXPECT_TRUE(waitUntil([&] { return records().isEmpty(); }));

    // A host that was released answers nothing.
    QWidget owner;
    cWebBrowser host;
    host.INIAll(&owner);
    host.pvReleaseWBControl();
    EXPECT_EQ(host.External()->GetHostAppPath(), QString());
    host.External()->AddFavorite("http://released/", "r");
    host.External()->testMsg();
    QCoreApplication::processEvents();
    EXPECT_EQ(favorites.size(), favoritesAtClose);
}

TEST_F(BrowserTest, AWindowNotShownYetNavigatesWhenShownToTheLatestAddress) {
    auto* window = new frmBrowser();
    window->resize(800, 600);
    QElapsedTimer elapsed;
    elapsed.start();
    window->goURL(server.url("/other"));
    window->GoInnerPage("rcp");
    window->goURL(server.url("/titled"));
    // Nothing waits for the window: the requests are kept.
    EXPECT_LT(elapsed.elapsed(), 1000);
    EXPECT_TRUE(window->page()->url().isEmpty());
    window->show();
    EXPECT_TRUE(waitUntil([&] { return loaded(window, server.url("/titled")); }));
    EXPECT_TRUE(server.requestsFor("/other").isEmpty());
}

TEST_F(BrowserTest, OneCommandDialogIsOpenAtATime) {
    frmBrowser* window = openPage("/titled");
    ModalDriver saveAs, second;
    bool secondRan = true;
    saveAs.whenShown([&](QDialog* dialog) {
        // Anything the second command might open is closed at once, so the test cannot hang.
        second.whenShown([](QDialog* other) { other->reject(); });
        secondRan = window->host()->Exec(cWebBrowser::CmdPageSetup);
        dialog->reject();
    });
    EXPECT_FALSE(window->host()->Exec(cWebBrowser::CmdSaveAs));
    EXPECT_TRUE(saveAs.acted);
    EXPECT_FALSE(saveAs.stuck);
    EXPECT_FALSE(secondRan);
    EXPECT_FALSE(second.acted);
}

TEST_F(BrowserTest, AHostileTitleShowsAsTextInTheRcpPage) {
    const QByteArray hostile = "</script><img src=x onerror=\"document.title='pwned';window.pwned=1\">'\"";
    server.serve("/hostile", page(QString::fromUtf8(hostile).toHtmlEscaped().toUtf8()));
    frmBrowser* closed = openPage("/hostile");
    ASSERT_TRUE(waitUntil([&] { return closed->Caption() == QString::fromUtf8(hostile); }));
    ASSERT_TRUE(closed->RequestClose());
    ASSERT_EQ(records().size(), 1);
    ASSERT_EQ(records()[0].caption, QString::fromUtf8(hostile));

    frmBrowser* window = newWindow();
    window->GoInnerPage("rcp");
    ASSERT_TRUE(waitUntil([&] { return showsInnerPage(window); }));
    EXPECT_TRUE(waitUntil(
        [&] { return evalJs(window->page(), "document.body.innerText").toString().contains("onerror="); }));
    // Every picture has loaded or failed, so an injected error handler would have run by now.
    EXPECT_TRUE(waitUntil([&] {
        return evalJs(window->page(), "Array.prototype.every.call(document.images, function(i) {"
                                      "  return i.complete; })")
            .toBool();
    }));
    EXPECT_EQ(evalJs(window->page(), "typeof window.pwned").toString(), "undefined");
    EXPECT_EQ(window->Caption(), QStringLiteral("最近关闭的网页"));
    EXPECT_EQ(evalJs(window->page(), "document.images.length === 0 || "
                                     "Array.prototype.every.call(document.images, function(i) {"
                                     "  return i.getAttribute('src') !== 'x'; })")
                  .toBool(),
              true);
}

// ---------------------------------------------------------------------------------------------
// History menus and the address box

TEST_F(BrowserTest, HistoryMenusListAtMostThirtyEntriesWithRelativeSteps) {
    frmBrowser* window = openPage("/titled");
    CommandBarControl* back = window->commandBars()->FindControl(Cmd::Back);
    CommandBarControl* forward = window->commandBars()->FindControl(Cmd::Forward);
    EXPECT_FALSE(back->Enabled());
    evalJs(window->page(), "for (var i = 1; i <= 35; ++i) history.pushState({}, '', '?step=' + i); true");
    ASSERT_TRUE(waitUntil([&] { return window->page()->url().query() == "step=35"; }));
    EXPECT_TRUE(waitUntil([&] { return back->Enabled(); }));
    EXPECT_FALSE(forward->Enabled());

    window->SetHistoryButton(frmBrowser::HistoryBack, back->CommandBar());
    ASSERT_EQ(back->CommandBar()->Count(), 30);
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(back->CommandBar()->Item(i)->Id(), Cmd::HistoryEntry);
        EXPECT_EQ(back->CommandBar()->Item(i)->Tag().toInt(), -(i + 1));
    }

    window->WebHistoryGo(-3);
    ASSERT_TRUE(waitUntil([&] { return window->page()->url().query() == "step=32"; }));
    EXPECT_TRUE(waitUntil([&] { return forward->Enabled(); }));
    window->SetHistoryButton(frmBrowser::HistoryForward, forward->CommandBar());
    ASSERT_EQ(forward->CommandBar()->Count(), 3);
    EXPECT_EQ(forward->CommandBar()->Item(0)->Tag().toInt(), 1);
    EXPECT_EQ(forward->CommandBar()->Item(2)->Tag().toInt(), 3);

    // Running an entry travels by its step.
    forward->CommandBar()->Item(1)->Execute();
    EXPECT_TRUE(waitUntil([&] { return window->page()->url().query() == "step=34"; }));
}

TEST_F(BrowserTest, TheAddressBoxKeepsWhatTheUserTypesAndEnterGoesThere) {
    frmBrowser* window = openPage("/titled");
    CommandBarControl* box = window->commandBars()->FindControl(Cmd::Address);
    QLineEdit* edit = box->comboBox()->lineEdit();
    EXPECT_EQ(window->AddressText(), server.url("/titled"));

    edit->clear();
    const QString typed = server.url("/typed").mid(QStringLiteral("http://").size());
    QTest::keyClicks(edit, typed);
    evalJs(window->page(), "history.pushState({}, '', '?moved'); true");
    ASSERT_TRUE(waitUntil([&] { return window->page()->url().query() == "moved"; }));
    QTest::qWait(50);
    EXPECT_EQ(window->AddressText(), typed);

    // Enter: the scheme is added, the address remembered and visited.
    box->Execute();
    EXPECT_TRUE(waitUntil([&] { return loaded(window, server.url("/typed")); }));
    EXPECT_EQ(window->AddressText(), server.url("/typed"));
    ASSERT_FALSE(RegistryView::instance().typedUrls().isEmpty());
    EXPECT_EQ(RegistryView::instance().typedUrls().first(), server.url("/typed"));

    // The drop-down lists the typed addresses and keeps the box's text.
    RegistryView::instance().addTypedUrl("http://example.invalid/a");
    box->comboBox()->showPopup();
    ASSERT_EQ(box->comboBox()->count(), 2);
    EXPECT_EQ(box->comboBox()->itemText(0), "http://example.invalid/a");
    EXPECT_EQ(box->comboBox()->itemText(1), server.url("/typed"));
    EXPECT_EQ(window->AddressText(), server.url("/typed"));
    box->comboBox()->hidePopup();
}

TEST_F(BrowserTest, AFailedNavigationKeepsThePageWithoutAnErrorPage) {
    frmBrowser* window = openPage("/titled");
    window->goURL("http://127.0.0.1:1/unreachable");
    QTest::qWait(100);
    EXPECT_TRUE(waitUntil([&] { return !window->page()->isLoading(); }));
    EXPECT_EQ(window->page()->url(), QUrl(server.url("/titled")));
    EXPECT_EQ(evalJs(window->page(), "document.title").toString(), QStringLiteral("Hello 标题"));
}

// ---------------------------------------------------------------------------------------------
// The host

class BrowserHostTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    void create(int width, int height) {
        owner.resize(width + 20, height + 20);
        host.INIAll(&owner);
        host.ResizeWeb(0, 0, width, height);
        owner.show();
        host.setHtmlDirect("<html><body style='margin:0;background:#ff0000'></body></html>");
        ASSERT_TRUE(waitUntil([&] { return !host.page()->isLoading() && host.page()->url().isValid(); }));
        QTest::qWait(200);
    }

    QTemporaryDir dir;
    QWidget owner;
    cWebBrowser host;
};

TEST_F(BrowserHostTest, AThumbnailOf800By400Is210By105) {
    create(800, 400);
    ASSERT_EQ(host.WBCtrl()->size(), QSize(800, 400));
    const QString path = dir.filePath("Cache/new/shot.bmp");
    ASSERT_TRUE(host.SaveToBmp(path));
    QImage image;
    ASSERT_TRUE(image.load(path, "BMP"));
    EXPECT_EQ(image.size(), QSize(210, 105));
    EXPECT_TRUE(waitUntil([&] {
        host.SaveToBmp(path);
        image.load(path, "BMP");
        return QColor(image.pixel(105, 52)).red() > 200 && QColor(image.pixel(105, 52)).green() < 60;
    }));
}

TEST_F(BrowserHostTest, ThumbnailHeightIsRoundedToTheNearestPixel) {
    create(1000, 333);
    const QString path = dir.filePath("shot.bmp");
    ASSERT_TRUE(host.SaveToBmp(path));
    EXPECT_EQ(QImage(path, "BMP").size(), QSize(210, 70));
}

TEST(BrowserHostKeys, AWindowIsKeyedWithoutBecomingANativeWindow) {
    // A native child window breaks the engine's view on X11; hosts must not create one.
    QWidget top;
    auto* first = new QWidget(&top);
    auto* second = new QWidget(&top);
    cWebBrowser firstHost, secondHost;
    firstHost.INIAll(first);
    secondHost.INIAll(second);
    EXPECT_EQ(first->internalWinId(), 0u);
    EXPECT_EQ(second->internalWinId(), 0u);
    EXPECT_NE(firstHost.WebbrowserID, secondHost.WebbrowserID);
    EXPECT_EQ(cWebBrowser::WindowHandle(first), firstHost.WebbrowserID);
    EXPECT_EQ(cWebBrowser::HostOf(firstHost.WebbrowserID), &firstHost);
    EXPECT_EQ(cWebBrowser::HostOf(secondHost.WebbrowserID), &secondHost);
}

TEST_F(BrowserHostTest, ThumbnailFailuresReportFalse) {
    create(400, 300);
    qvtest::writeFile(dir.filePath("file"), "x");
    EXPECT_FALSE(host.SaveToBmp(dir.filePath("file/shot.bmp")));
    const QString key = host.WebbrowserID;
    EXPECT_EQ(key, cWebBrowser::WindowHandle(&owner));
    EXPECT_EQ(cWebBrowser::HostOf(key), &host);
    host.pvReleaseWBControl();
    EXPECT_EQ(cWebBrowser::HostOf(key), nullptr);
    EXPECT_EQ(host.WBCtrl(), nullptr);
    EXPECT_FALSE(host.SaveToBmp(dir.filePath("after.bmp")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("after.bmp")));
}
