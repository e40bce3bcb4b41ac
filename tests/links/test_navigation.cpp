#include "LinksFixture.h"
#include "LocalHttpServer.h"
#include "controls/PopupTip.h"
#include "controls/TreeView.h"
#include "links/clsEntertainment.h"
#include "links/clsNavigate.h"
#include "links/frmEnt.h"
#include "links/frmNav.h"
#include "links/modLinkTrees.h"
#include "web/modFavorites.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

const char* const kLinks = R"(<links>
  <link id="1" caption="One" tip="Tip one" iconno="" openmethod="1" notshowadd="0"><get url="http://one.example/"/></link>
  <link id="2" caption="Two" tip="" iconno="1201" openmethod="1" notshowadd="0"><get url="http://two.example/"/></link>
  <link id="3" caption="Three" tip="Tip three" iconno="" openmethod="1" notshowadd="0"><get url="http://three.example/"/></link>
</links>)";

QStringList keysOf(TreeView* tree) {
    QStringList keys;
    QTreeWidgetItemIterator it(tree);
    for (; *it; ++it)
        keys << TreeView::Key(*it);
    return keys;
}

QPoint rowPoint(TreeView* tree, QTreeWidgetItem* node) {
    return tree->visualItemRect(node).center();
}

// Counts how often a widget is shown.
struct ShowCounter : QObject {
    ShowCounter(QWidget* widget, int* count) : mCount(count) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show)
            ++*mCount;
        return false;
    }
    int* mCount;
};

void clickRow(TreeView* tree, QTreeWidgetItem* node) {
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rowPoint(tree, node));
}

} // namespace

TEST(NavigationTree, KeysRunOnAcrossLaterBuildsAndIconsFollowTheLevel) {
    LinksFixture fixture(QString(kLinks) + R"(<navlayout>
        <navlink linkid="1"/>
        <navnode caption="Folder" iconno="" eiconno="" explandonload="0" tip="folder tip">
          <navlink linkid="1"/><navsep/><navlink linkid="2"/>
        </navnode>
      </navlayout>)");
    frmNav nav;
    nav.resize(300, 400);
    nav.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&nav));
    TreeView* tree = nav.tvwNav();
    EXPECT_EQ(keysOf(tree), QStringList({"Favroot", "L1", "L2"}));
    QTreeWidgetItem* root = tree->NodeByKey("Favroot");
    EXPECT_EQ(root->text(0), "我的网址");
    EXPECT_EQ(TreeView::IconNumber(root), clsNavigate::FavoritesRootIcon);
    EXPECT_EQ(TreeView::IconNumber(tree->NodeByKey("L1")), modLinkTrees::TopLevelSiteIcon)
        << "a top-level site without icon";
    QTreeWidgetItem* folder = tree->NodeByKey("L2");
    EXPECT_EQ(TreeView::IconNumber(folder), modLinkTrees::FolderIcon);

    // The folder builds on its click; the separator used up L4.
    clickRow(tree, folder);
    EXPECT_EQ(keysOf(tree), QStringList({"Favroot", "L1", "L2", "L3", "L5"}));
    EXPECT_TRUE(folder->isExpanded());
    EXPECT_EQ(TreeView::IconNumber(tree->NodeByKey("L3")), modLinkTrees::NestedSiteIcon)
        << "the same site inside a folder";
    EXPECT_EQ(TreeView::IconNumber(tree->NodeByKey("L5")), 1201);
    EXPECT_EQ(modLinkTrees::TagElement(tree->NodeByKey("L3")).getAttribute("tip"), "Tip one");

    // Built once: another click leaves its children as they are.
    QTreeWidgetItem* firstChild = folder->child(0);
    clickRow(tree, folder);
    EXPECT_EQ(folder->childCount(), 2);
    EXPECT_EQ(folder->child(0), firstChild);
    EXPECT_EQ(nav.navigate()->Counter(), 5);
}

TEST(NavigationTree, MissingLinkIsSkippedAndLoggedTheRestIsBuilt) {
    LinksFixture fixture(QString(kLinks) + R"(<navlayout>
        <navnode caption="Open" iconno="1200" eiconno="1202" explandonload="1">
          <navlink linkid="404"/><navlink linkid="3"/>
        </navnode>
        <navlink linkid="2"/>
        <navnode caption="Empty" iconno="" eiconno="" explandonload="false"/>
      </navlayout>)");
    fixture.developMode();
    frmNav nav;
    nav.resize(300, 400);
    nav.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&nav));
    TreeView* tree = nav.tvwNav();
    EXPECT_EQ(keysOf(tree), QStringList({"Favroot", "L1", "L3", "L4", "L5"}));
    EXPECT_EQ(tree->NodeByKey("L3")->text(0), "Three");
    ASSERT_TRUE(modInitial::gDevLog);
    EXPECT_TRUE(modInitial::gDevLog->join('\n').contains("404"));

    // Opened at load with its expanded icon; closing shows the collapsed one.
    QTreeWidgetItem* open = tree->NodeByKey("L1");
    EXPECT_TRUE(open->isExpanded());
    EXPECT_EQ(TreeView::IconNumber(open), 1202);
    open->setExpanded(false);
    EXPECT_EQ(TreeView::IconNumber(open), 1200);

    // A folder without children is built on every click and stays empty.
    QTreeWidgetItem* empty = tree->NodeByKey("L5");
    clickRow(tree, empty);
    clickRow(tree, empty);
    EXPECT_EQ(empty->childCount(), 0);
    EXPECT_EQ(nav.navigate()->Counter(), 5);
}

TEST(NavigationTree, FavoritesRootListsFoldersFirstAndFoldersToggle) {
    LinksFixture fixture(QString(kLinks) + "<navlayout/>");
    QDir().mkpath(fixture.favoritesFolder() + "/b/inner");
    qvtest::writeFile(fixture.favoritesFolder() + "/a.url",
                      "[InternetShortcut]\r\nURL=http://a.example/\r\n");
    qvtest::writeFile(fixture.favoritesFolder() + "/b/c.url",
                      "[InternetShortcut]\r\nURL=http://c.example/\r\n");
    frmNav nav;
    nav.resize(300, 400);
    nav.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&nav));
    TreeView* tree = nav.tvwNav();
    QTreeWidgetItem* root = tree->NodeByKey("Favroot");

    clickRow(tree, root);
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_TRUE(root->isExpanded());
    QTreeWidgetItem* b = root->child(0);
    QTreeWidgetItem* a = root->child(1);
    EXPECT_EQ(b->text(0), "b");
    EXPECT_EQ(TreeView::IconNumber(b), modFavorites::FolderIcon);
    EXPECT_EQ(TreeView::Tag(b).toString(), fixture.favoritesFolder() + "/b");
    EXPECT_EQ(a->text(0), "a");
    // The shortcut's file is read once the nodes are shown, or at once when its address is asked.
    EXPECT_EQ(modFavorites::NodeAddress(a), "http://a.example/");
    EXPECT_EQ(TreeView::Tag(a).toString(), "http://a.example/");
    EXPECT_EQ(TreeView::IconNumber(a), modFavorites::SiteIcon);
    EXPECT_TRUE(TreeView::Key(a).startsWith('F'));
    EXPECT_NE(TreeView::Key(a), TreeView::Key(b));

    // An empty folder is filled and opened; a filled one toggles.
    clickRow(tree, b);
    ASSERT_EQ(b->childCount(), 2);
    EXPECT_EQ(b->child(0)->text(0), "inner");
    EXPECT_EQ(b->child(1)->text(0), "c");
    EXPECT_TRUE(b->isExpanded());
    EXPECT_EQ(TreeView::IconNumber(b), modFavorites::OpenFolderIcon);
    clickRow(tree, b);
    EXPECT_FALSE(b->isExpanded());
    EXPECT_EQ(TreeView::IconNumber(b), modFavorites::FolderIcon);

    // A folder with nothing in it stays a folder after it was opened: it never opens as a page.
    QTreeWidgetItem* inner = b->child(0);
    b->setExpanded(true);
    clickRow(tree, inner);
    clickRow(tree, inner);
    EXPECT_EQ(inner->childCount(), 0);
    EXPECT_TRUE(frmBrowser::AllWindows().isEmpty());
}

TEST(NavigationTree, TipFollowsThePointerFromNodeToNode) {
    LinksFixture fixture(QString(kLinks) +
                         R"(<navlayout><navlink linkid="1"/><navlink linkid="2"/></navlayout>)");
    frmNav nav;
    nav.resize(300, 400);
    nav.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&nav));
    TreeView* tree = nav.tvwNav();
    PopupTip* tip = nav.popTip();
    EXPECT_EQ(tip->size(), QSize(200, 100));

    QTreeWidgetItem* one = tree->NodeByKey("L1");
    const QPoint onOne = rowPoint(tree, one);
    QTest::mouseMove(tree->viewport(), onOne);
    ASSERT_TRUE(waitUntil([&] { return tip->IsShown(); }, 2000));
    EXPECT_EQ(tip->Text(), "Tip one");
    EXPECT_EQ(tip->pos(), QCursor::pos() + QPoint(250, 105));

    // Moving within the node shows nothing new; a node with an empty tip shows none, so the tip
    // closes there; back on the first node it shows again; empty space closes it.
    int shows = 0;
    ShowCounter counter(tip, &shows);
    QTest::mouseMove(tree->viewport(), onOne + QPoint(3, 1));
    QTest::mouseMove(tree->viewport(), onOne + QPoint(6, 2));
    QTest::mouseMove(tree->viewport(), rowPoint(tree, tree->NodeByKey("L2")));
    ASSERT_TRUE(waitUntil([&] { return !tip->IsShown(); }, 2000));
    EXPECT_EQ(shows, 0);
    QTest::mouseMove(tree->viewport(), onOne);
    ASSERT_TRUE(waitUntil([&] { return tip->IsShown(); }, 2000));
    EXPECT_EQ(shows, 1);
    QTest::mouseMove(tree->viewport(), QPoint(5, tree->viewport()->height() - 5));
    ASSERT_TRUE(waitUntil([&] { return !tip->IsShown(); }, 2000));
}

TEST(EntertainmentTree, FoldersBuildOnClickAndAreRebuiltAfterClosing) {
    LinksFixture fixture(QString(kLinks) + R"(<entlayout>
        <navnode caption="Music" iconno="" eiconno="1202" explandonload="1">
          <navlink linkid="1"/><navlink linkid="404"/><navlink linkid="2"/>
        </navnode>
        <navnode caption="Other" iconno="1200" eiconno="">
          <navlink linkid="3"/>
        </navnode>
        <navlink linkid="1"/>
      </entlayout>)");
    frmEnt ent;
    ent.resize(300, 400);
    ent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ent));
    TreeView* tree = ent.tvwNav();
    ASSERT_EQ(tree->topLevelItemCount(), 3);
    QTreeWidgetItem* music = tree->topLevelItem(0);
    QTreeWidgetItem* other = tree->topLevelItem(1);
    EXPECT_EQ(music->childCount(), 0) << "never built at load";
    EXPECT_EQ(TreeView::IconNumber(music), modLinkTrees::FolderIcon);
    EXPECT_EQ(TreeView::IconNumber(tree->topLevelItem(2)), modLinkTrees::TopLevelSiteIcon);
    EXPECT_TRUE(TreeView::Key(music).isEmpty());

    clickRow(tree, music);
    ASSERT_EQ(music->childCount(), 2);
    EXPECT_EQ(TreeView::IconNumber(music->child(0)), modLinkTrees::NestedSiteIcon);
    EXPECT_EQ(TreeView::IconNumber(music), 1202);

    // A double click closes the folder; the click that ends it does not build it again.
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, rowPoint(tree, music));
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, rowPoint(tree, music));
    EXPECT_FALSE(music->isExpanded());
    EXPECT_EQ(music->childCount(), 0);
    EXPECT_FALSE(ent.findChild<TreeView*>()->InMouseGesture());

    // The next click builds fresh nodes from the common data.
    clickRow(tree, music);
    ASSERT_EQ(music->childCount(), 2);
    EXPECT_EQ(music->child(0)->text(0), "One");
    EXPECT_TRUE(music->isExpanded());

    // Closed with its arrow, no click follows: the next folder clicked is built.
    const QRect rect = tree->visualItemRect(music);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      QPoint(rect.left() - tree->indentation() / 2, rect.center().y()));
    EXPECT_FALSE(music->isExpanded());
    clickRow(tree, other);
    EXPECT_EQ(other->childCount(), 1);
    EXPECT_TRUE(other->isExpanded());
}
