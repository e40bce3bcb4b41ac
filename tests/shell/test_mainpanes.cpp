#include "controls/AutoHideFrame.h"
#include "controls/AutoHidePanel.h"
#include "controls/AutoHideStrip.h"
#include "controls/AutoHideTab.h"
#include "controls/CommandBars.h"
#include "controls/DockingPanes.h"
#include "controls/IconStore.h"
#include "controls/PaneCaption.h"
#include "controls/TabbedWorkspace.h"
#include "controls/TaskDialog.h"
#include "core/QvIds.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "platform/ShellService.h"
#include "shell/frmMain.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QMdiArea>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWebEngineView>
#include <gtest/gtest.h>

#include <functional>

#include "common/LocalHttpServer.h"
#include "common/RecordingShell.h"
#include "common/TestSupport.h"

// The main window's panes as a user meets them after start-up: the seven top panes as tabs on
// the strip above the browser tabs, each opened from its tab over a loaded web page and closed
// again; the tabs and the menu bar's feedback button for keyboard and screen-reader users.
namespace {

const QStringList kTopTitles = {"听歌", "电影", "小说", "邮箱", "搜索", "社区", "股票"};

bool isRed(const QColor& c) {
    return c.red() > 200 && c.green() < 60 && c.blue() < 60;
}

class MainPanesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        modInitial::SetAppPath(dir.path());
        modInitial::ResetShutdown();
        QDir(dir.path()).mkpath("Data");
        modDataFile::WriteEncryptedFile(dir.filePath("Data/User.dat"), clsUserData::InitialDocument());
        modDataFile::WriteEncryptedFile(dir.filePath("Data/common.dat"),
                                        "<data><version c=\"5\" i=\"2\"/></data>");
        modInitial::gData = new clsData;
        modInitial::gData->UserData();
        icons = new IconStore;
        ASSERT_TRUE(icons->LoadLibrary(qvtest::buildDir() + "/Data/icon.dat"));
        modInitial::gIconStore = icons;
        ShellService::setInstance(&shell);
        frmMain::extensions() = frmMain::Extensions();
        frmMain::extensions().paneExpanding = [this](int id, QWidget* content) {
            expanding << id;
            expandedContent[id] = content;
        };
        TaskDialog::SetAnswerer({});
    }
    void TearDown() override {
        window.reset();
        ShellService::setInstance(nullptr);
        frmMain::extensions() = frmMain::Extensions();
        delete modInitial::gData;
        modInitial::gData = nullptr;
        modInitial::gIconStore = nullptr;
        delete icons;
    }
    frmMain* open() {
        window = std::make_unique<frmMain>();
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QApplication::processEvents();
        return window.get();
    }
    AutoHideStrip* topStrip() const { return window->dockingPanes()->frame()->strip(Qt::TopDockWidgetArea); }
    DockingPane* paneOfTab(const AutoHideTab* tab) const {
        for (DockingPane* pane : window->dockingPanes()->Panes()) {
            if (pane->tab() == tab)
                return pane;
        }
        return nullptr;
    }
    QRect workspaceInWindow() const {
        QWidget* area = window->hMDIClient();
        return QRect(area->mapTo(window.get(), QPoint(0, 0)), area->size());
    }

    QTemporaryDir dir;
    IconStore* icons = nullptr;
    RecordingShell shell;
    std::unique_ptr<frmMain> window;
    QList<int> expanding;
    QHash<int, QWidget*> expandedContent;
};

} // namespace

TEST_F(MainPanesTest, EachTopPaneOpensFromItsTabOverAWebPageAndClosesAgain) {
    LocalHttpServer server;
    ASSERT_TRUE(server.start());
    server.serve("/red", "<!DOCTYPE html><html><body style='margin:0;background:#ff0000'></body></html>");
    frmMain* w = open();
    auto* view = new QWebEngineView;
    w->workspace()->AddWindow(view);
    view->showMaximized();
    QSignalSpy loaded(view, &QWebEngineView::loadFinished);
    view->load(QUrl(server.url("/red")));
    ASSERT_TRUE(loaded.wait(30000));
    const QRect ws = workspaceInWindow();
    const QPoint low = ws.bottomLeft() + QPoint(ws.width() / 2, -20);
    ASSERT_TRUE(waitUntil([&] { return isRed(w->grab().toImage().pixelColor(low)); }, 20000))
        << "the page never reached the screen";

    // After start-up the seven top panes wait as tabs on the strip, in the table's order.
    QStringList titles;
    for (AutoHideTab* tab : topStrip()->tabs())
        titles << tab->text();
    ASSERT_EQ(titles, kTopTitles);
    for (AutoHideTab* tab : topStrip()->tabs())
        EXPECT_FALSE(expanding.contains(paneOfTab(tab)->Id())) << "no top pane was shown at start-up";

    const QList<AutoHideTab*> tabs = topStrip()->tabs();
    for (AutoHideTab* tab : tabs) {
        DockingPane* pane = paneOfTab(tab);
        ASSERT_NE(pane, nullptr);
        const int id = pane->Id();
        SCOPED_TRACE(tab->text().toStdString());
        QTest::mouseClick(tab, Qt::LeftButton);
        ASSERT_TRUE(pane->IsExpanded());
        EXPECT_EQ(expanding.count(id), 1);
        // The window's content for the pane was attached before the expanding was reported.
        ASSERT_NE(w->paneContent(id), nullptr);
        EXPECT_EQ(expandedContent.value(id), w->paneContent(id));
        EXPECT_EQ(pane->Handle(), w->paneContent(id));
        AutoHidePanel* panel = pane->panel();
        ASSERT_TRUE(waitUntil([&] { return panel->isVisible() && panel->sheet()->y() == 0; }, 3000));
        EXPECT_EQ(workspaceInWindow(), ws) << "the browser tabs did not move";

        // Drawn above the page: red below the pane, the pane's own colours inside it.
        const QImage shot = w->grab().toImage();
        const QRect inWindow(panel->mapTo(w, QPoint(0, 0)), panel->size());
        EXPECT_FALSE(isRed(shot.pixelColor(inWindow.center()))) << "the page shows through the pane";
        EXPECT_TRUE(isRed(shot.pixelColor(low)));

        QTest::mouseClick(pane->caption()->closeButton(), Qt::LeftButton);
        EXPECT_FALSE(pane->IsExpanded());
        EXPECT_TRUE(pane->IsHidden());
        EXPECT_FALSE(pane->IsClosed());
        EXPECT_EQ(pane->tab(), tab);
        EXPECT_EQ(pane->Handle(), w->paneContent(id)) << "closing keeps the pane's window";
        ASSERT_TRUE(waitUntil([&] { return !panel->isVisible(); }, 3000));
    }
    EXPECT_EQ(topStrip()->tabs(), tabs);

    // "恢复默认版面" leaves them all on the strip, however they were left.
    paneOfTab(tabs[3])->Select();
    QTest::mouseClick(tabs[0], Qt::LeftButton);
    w->ExecuteCommand(w->commandBars()->FindControl(Cmd::DefaultLayout));
    EXPECT_EQ(topStrip()->tabs().size(), 7);
    EXPECT_EQ(w->dockingPanes()->ExpandedPane(), nullptr);
    EXPECT_FALSE(w->dockingPanes()->FindPane(PaneId::Navigation)->IsHidden());
}

TEST_F(MainPanesTest, TabsAndTheFeedbackButtonAreReachableByKeyboardAndNamedForScreenReaders) {
    frmMain* w = open();
    struct Node {
        QAccessibleInterface* iface;
        QAccessible::Role role;
        QString name;
    };
    QList<Node> nodes;
    std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
        if (!node || !node->isValid())
            return;
        nodes.append({node, node->role(), node->text(QAccessible::Name)});
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i));
    };
    walk(QAccessible::queryAccessibleInterface(w));
    auto find = [&](QAccessible::Role role, const QString& name) -> QAccessibleInterface* {
        for (const Node& n : nodes) {
            if (n.role == role && n.name == name)
                return n.iface;
        }
        return nullptr;
    };
    for (const QString& title : kTopTitles)
        EXPECT_NE(find(QAccessible::Button, title), nullptr) << title.toStdString();
    for (const QString menu : {"打开", "窗口视图", "帮助"})
        EXPECT_NE(find(QAccessible::MenuItem, menu), nullptr) << menu.toStdString();
    QAccessibleInterface* feedback = find(QAccessible::Button, "我要提意见！");
    ASSERT_NE(feedback, nullptr) << "the menu bar's feedback button is missing from the accessible tree";
    // Its place in the tree is consistent both ways, and pressing it runs the command.
    QAccessibleInterface* parent = feedback->parent();
    ASSERT_NE(parent, nullptr);
    const int index = parent->indexOfChild(feedback);
    ASSERT_GE(index, 0);
    EXPECT_EQ(parent->child(index), feedback);
    ASSERT_NE(feedback->actionInterface(), nullptr);
    feedback->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_EQ(shell.opened.size(), 1);
    EXPECT_TRUE(shell.opened.last().startsWith("mailto:"));

    // The Tab key reaches the feedback button and every strip tab; Space on the button runs it.
    auto* button = qobject_cast<QToolButton*>(feedback->object());
    ASSERT_NE(button, nullptr);
    w->hMDIClient()->setFocus();
    QSet<QWidget*> reached;
    for (int i = 0; i < 80; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached.insert(QApplication::focusWidget());
    }
    EXPECT_TRUE(reached.contains(button));
    for (AutoHideTab* tab : topStrip()->tabs())
        EXPECT_TRUE(reached.contains(tab)) << tab->text().toStdString();
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Space);
    EXPECT_EQ(shell.opened.size(), 2);
}

TEST_F(MainPanesTest, SuperSearchAndTheDefaultArrangementWorkWithPanesOnTheStrips) {
    frmMain* w = open();
    DockingPaneManager* panes = w->dockingPanes();
    CommandBarControl* button = w->superSearchButton();
    button->Execute();
    DockingPane* advanced = panes->FindPane(PaneId::AdvancedSearch);
    ASSERT_NE(advanced, nullptr);
    EXPECT_FALSE(advanced->IsHidden());
    EXPECT_TRUE(button->Checked());

    // Its pin sends it to the top strip after the seven; it still exists, so the mark stays.
    QTest::mouseClick(advanced->caption()->pinButton(), Qt::LeftButton);
    EXPECT_TRUE(advanced->IsHidden());
    ASSERT_EQ(topStrip()->tabs().size(), 8);
    EXPECT_EQ(topStrip()->tabs().last()->text(), "超级搜索");
    EXPECT_TRUE(button->Checked());
    // The command closes it from there, tab and all.
    button->Execute();
    EXPECT_EQ(panes->FindPane(PaneId::AdvancedSearch), nullptr);
    EXPECT_EQ(topStrip()->tabs().size(), 7);
    EXPECT_FALSE(button->Checked());
    // Made again, its own close button closes it for good and clears the mark; the saved
    // layout records it as closed.
    button->Execute();
    advanced = panes->FindPane(PaneId::AdvancedSearch);
    ASSERT_NE(advanced, nullptr);
    EXPECT_TRUE(button->Checked());
    QTest::mouseClick(advanced->caption()->closeButton(), Qt::LeftButton);
    EXPECT_EQ(panes->FindPane(PaneId::AdvancedSearch), nullptr);
    EXPECT_FALSE(button->Checked());
    EXPECT_TRUE(panes->SaveStateToString().contains(
        QStringLiteral("Id=\"%1\" Title=\"超级搜索\" Side=\"top\" State=\"closed\"")
            .arg(PaneId::AdvancedSearch)));

    // The navigation group's close button sends both to the left strip; "恢复默认版面" docks them
    // again, navigation in front.
    DockingPane* nav = panes->FindPane(PaneId::Navigation);
    DockingPane* ent = panes->FindPane(PaneId::Entertainment);
    QTest::mouseClick(nav->caption()->closeButton(), Qt::LeftButton);
    EXPECT_TRUE(nav->IsHidden());
    EXPECT_TRUE(ent->IsHidden());
    AutoHideStrip* left = panes->frame()->strip(Qt::LeftDockWidgetArea);
    EXPECT_EQ(left->tabs().size(), 2);
    w->ExecuteCommand(w->commandBars()->FindControl(Cmd::DefaultLayout));
    QApplication::processEvents();
    EXPECT_FALSE(nav->IsHidden());
    EXPECT_FALSE(ent->IsHidden());
    EXPECT_FALSE(left->isVisible());
    EXPECT_EQ(w->tabifiedDockWidgets(nav->dockWidget()), QList<QDockWidget*>{ent->dockWidget()});
    EXPECT_FALSE(nav->dockWidget()->visibleRegion().isEmpty()) << "navigation is the tab in front";
    EXPECT_TRUE(ent->dockWidget()->visibleRegion().isEmpty());
}

TEST_F(MainPanesTest, AWebPageInAPaneStaysAsItWasBetweenStripSlideOutAndDock) {
    LocalHttpServer server;
    ASSERT_TRUE(server.start());
    server.serve("/red", "<!DOCTYPE html><html><body style='margin:0;background:#ff0000'></body></html>");
    QWebEngineView* view = nullptr;
    frmMain::extensions().createPaneContent = [&](int id) -> QWidget* {
        if (id != PaneId::Music)
            return nullptr;
        view = new QWebEngineView;
        view->load(QUrl(server.url("/red")));
        return view;
    };
    frmMain* w = open();
    DockingPane* music = w->dockingPanes()->FindPane(PaneId::Music);
    auto redInside = [&](QWidget* area) {
        const QImage shot = w->grab().toImage();
        const QRect r(view->mapTo(w, QPoint(0, 0)), view->size());
        return area->isVisible() && r.height() > 20 && isRed(shot.pixelColor(r.center()));
    };

    QTest::mouseClick(music->tab(), Qt::LeftButton);
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(waitUntil([&] { return redInside(music->panel()); }, 30000)) << "the page never showed";
    // Docked, back on the strip, out again: the same page, loaded once, drawn each time.
    QTest::mouseClick(music->caption()->pinButton(), Qt::LeftButton);
    ASSERT_FALSE(music->IsHidden());
    EXPECT_TRUE(waitUntil([&] { return redInside(music->dockWidget()); }, 10000));
    QTest::mouseClick(music->caption()->pinButton(), Qt::LeftButton);
    ASSERT_TRUE(music->IsHidden());
    QTest::mouseClick(music->tab(), Qt::LeftButton);
    EXPECT_TRUE(waitUntil([&] { return redInside(music->panel()); }, 10000));
    EXPECT_EQ(music->Handle(), view);
    EXPECT_EQ(server.requestsFor("/red").size(), 1);
}
