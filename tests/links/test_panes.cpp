#include "LinksFixture.h"
#include "LocalHttpServer.h"
#include "controls/CommandBars.h"
#include "controls/DockingPanes.h"
#include "controls/TabbedWorkspace.h"
#include "controls/TreeView.h"
#include "core/QvIds.h"
#include "links/clsLinks.h"
#include "links/frmNav.h"
#include "links/frmSNS.h"
#include "links/modPaneCommandbars.h"
#include "web/clsActStatus.h"
#include "web/frmPaneSNS.h"
#include "web/frmPaneWebPage.h"

#include <QListWidget>
#include <QMainWindow>
#include <QMdiArea>
#include <QTest>
#include <QWebEnginePage>
#include <gtest/gtest.h>

namespace {

QString link(const QString& id, const QString& caption, const QString& category, const QString& url,
             const QString& icon = QString()) {
    return QStringLiteral("<link id='%1' caption='%2' tip='' iconno='%3' category='%4' openmethod='1' "
                          "notshowadd='0'><get url='%5'/></link>")
        .arg(id, caption, icon, category, url);
}

QStringList entries(CommandBarControl* menu) {
    QStringList list;
    for (CommandBarControl* entry : menu->CommandBar()->Controls())
        list << QStringLiteral("%1|%2|%3").arg(entry->Caption()).arg(entry->IconId()).arg(entry->Parameter());
    return list;
}

bool showing(frmPaneWebPage* pane, const QString& url) {
    return pane && pane->page() && pane->page()->url() == QUrl(url) && !pane->page()->isLoading();
}

} // namespace

TEST(LibraryMenus, GroupsInOrderWithDefaultIconsAndBrokenLinksLeftOut) {
    const QString links =
        "<links>" + link("1", "Tune", "music", "http://tune.example/", "1203") +
        link("2", "Plain", "music", "http://plain.example/") +
        "<link id='3' caption='Posted' tip='' iconno='' category='music' openmethod='2' notshowadd='0'>"
        "<post url='http://post.example/' targetframename='' header='' flags=''/></link>" +
        link("4", "Live", "vlive", "http://live.example/") +
        link("5", "Portal", "vweb", "http://portal.example/") +
        link("6", "Film", "vmovie", "http://film.example/") +
        link("7", "Quotes", "stock", "http://quotes.example/") + "</links>";
    LinksFixture fixture(links);
    fixture.developMode();
    clsLinks* catalogue = ProgramLinks();

    frmPaneWebPage music;
    modPaneCommandbars::AddLibraryMenus(&music, PaneId::Music, catalogue);
    CommandBarControl* library = music.toolBar()->Find(Cmd::MusicLibrary);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(library->Caption(), "选择音乐库");
    EXPECT_TRUE(library->BeginGroup());
    EXPECT_EQ(entries(library),
              QStringList({"Tune|1203|http://tune.example/",
                           QStringLiteral("Plain|%1|http://plain.example/").arg(Cmd::FavoriteEntry)}));
    EXPECT_TRUE(modInitial::gDevLog->join('\n').contains("AddLibraryMenu"));

    frmPaneWebPage video;
    modPaneCommandbars::AddLibraryMenus(&video, PaneId::Movie, catalogue);
    QStringList captions;
    for (CommandBarControl* control : video.toolBar()->Controls()) {
        if (control->Id() == Cmd::VideoLibrary)
            captions << control->Caption();
    }
    EXPECT_EQ(captions, QStringList({"视频门户", "电影", "电视", "综艺", "体育", "动漫", "直播"}));
    CommandBarControl* live = video.toolBar()->Item(video.toolBar()->Count() - 1);
    EXPECT_EQ(live->Caption(), "直播");
    EXPECT_EQ(entries(live),
              QStringList({QStringLiteral("Live|%1|http://live.example/").arg(Cmd::FavoriteEntry)}));

    EXPECT_EQ(modPaneCommandbars::StockPageAddress(catalogue), "http://quotes.example/");
    EXPECT_TRUE(modPaneCommandbars::StockPageAddress(nullptr).startsWith("https://"));
}

TEST(NavigationTree, ClickingASiteOpensATabAtItsComposedAddress) {
    LocalHttpServer server;
    ASSERT_TRUE(server.start());
    server.serve("/one", "<html><body>one</body></html>");
    LinksFixture fixture(
        "<links><link id='1' caption='One' tip='' iconno='' openmethod='1' notshowadd='0'><get url='" +
        server.url("/one") +
        "'><par name='q' value='x y' prefix='' suffix=''/></get></link></links>"
        "<navlayout><navlink linkid='1'/></navlayout>");
    QMainWindow window;
    auto* area = new QMdiArea;
    window.setCentralWidget(area);
    TabbedWorkspace workspace(area);
    modInitial::gWorkspace = &workspace;
    window.resize(900, 600);
    window.show();
    frmNav nav;
    nav.resize(200, 300);
    nav.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&nav));

    TreeView* tree = nav.tvwNav();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      tree->visualItemRect(tree->NodeByKey("L1")).center());
    ASSERT_TRUE(server.waitForRequest("/one"));
    EXPECT_EQ(server.requestsFor("/one").first().query(), "q=x%20y");
    EXPECT_EQ(workspace.TabCount(), 1);
    modInitial::gWorkspace = nullptr;
}

TEST(CommunityPanel, SitesReopenWhereTheyWereAndUncheckingForgetsThem) {
    LocalHttpServer server;
    ASSERT_TRUE(server.start());
    for (const char* path : {"/sns1", "/sns2", "/sns2/deeper", "/sns3"})
        server.serve(path,
                     QByteArray("<html><head><title>") + path + "</title></head><body>site</body></html>");
    const QString links = "<links>" + link("290", "Site one", "SNS", server.url("/sns1")) +
                          link("291", "Site two", "SNS", server.url("/sns2"), "1205") +
                          link("292", "Site three", "SNS", server.url("/sns3")) + "</links>";
    const QString user = "<data><globalinfo userid=''/><actstatus><openedpages/><usersns>"
                         "<sns linkid='290' url=''/><sns linkid='291' url='" +
                         server.url("/sns2/deeper") + "'/></usersns></actstatus></data>";
    LinksFixture fixture(links, user);
    clsActStatus* status = ActStatusOf(modInitial::gData->UserData());

    frmSNS panel;
    panel.resize(1000, 400);
    ASSERT_EQ(panel.lvw_SNSList()->count(), 3);
    EXPECT_EQ(panel.SiteItem("290")->checkState(), Qt::Checked);
    EXPECT_EQ(panel.SiteItem("291")->checkState(), Qt::Checked);
    EXPECT_EQ(panel.SiteItem("292")->checkState(), Qt::Unchecked);
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));

    // An empty last address opens the catalogue address; a recorded one opens where it was.
    ASSERT_TRUE(waitUntil([&] { return showing(panel.SitePane("290"), server.url("/sns1")); }));
    ASSERT_TRUE(waitUntil([&] { return showing(panel.SitePane("291"), server.url("/sns2/deeper")); }));
    EXPECT_EQ(panel.SiteDockingPane("291")->Title(), "Site two");
    ASSERT_TRUE(waitUntil([&] { return status->getSNSLastOpenUrl("290") == server.url("/sns1"); }));

    // Unchecking closes the page and forgets the site: checked again, it starts at its catalogue
    // address.
    panel.SiteItem("291")->setCheckState(Qt::Unchecked);
    EXPECT_EQ(panel.SitePane("291"), nullptr);
    EXPECT_EQ(panel.SiteDockingPane("291"), nullptr);
    EXPECT_EQ(status->getSNSLastOpenUrl("291"), "");
    panel.SiteItem("291")->setCheckState(Qt::Checked);
    ASSERT_TRUE(waitUntil([&] { return showing(panel.SitePane("291"), server.url("/sns2")); }));

    // A site never loaded before is checked and unchecked without a record to forget.
    panel.SiteItem("292")->setCheckState(Qt::Checked);
    panel.SiteItem("292")->setCheckState(Qt::Unchecked);
    EXPECT_EQ(panel.SitePane("292"), nullptr);

    // The page's close button and the pane's own close box both leave the site unchecked.
    panel.SitePane("290")->commandBars()->FindControl(Cmd::CloseSNSPane)->Execute();
    ASSERT_TRUE(waitUntil([&] { return panel.SiteItem("290")->checkState() == Qt::Unchecked; }));
    EXPECT_EQ(panel.SitePane("290"), nullptr);
    EXPECT_EQ(status->getSNSLastOpenUrl("290"), "");
    panel.SiteDockingPane("291")->Close();
    ASSERT_TRUE(waitUntil([&] { return panel.SiteItem("291")->checkState() == Qt::Unchecked; }));
    EXPECT_EQ(panel.SiteDockingPane("291"), nullptr);
}
