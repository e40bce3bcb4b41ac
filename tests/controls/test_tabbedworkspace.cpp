#include "controls/TabbedWorkspace.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

// Failures show texts as text.
static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

class TabbedWorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<QMainWindow>();
        area = new QMdiArea;
        window->setCentralWidget(area);
        window->resize(900, 700);
        workspace = new TabbedWorkspace(area);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    QWidget* addPage(const QString& title) {
        auto* page = new QLabel(title);
        page->setWindowTitle(title);
        workspace->AddWindow(page);
        QApplication::processEvents();
        return page;
    }

    QStringList tabTexts() const {
        QStringList texts;
        QTabBar* bar = workspace->tabBar();
        for (int i = 0; bar && i < bar->count(); ++i)
            texts << bar->tabText(i);
        return texts;
    }

    static QStringList titles(const QList<QWidget*>& windows) {
        QStringList texts;
        for (const QWidget* w : windows)
            texts << w->windowTitle();
        return texts;
    }

    std::unique_ptr<QMainWindow> window;
    QMdiArea* area = nullptr;
    TabbedWorkspace* workspace = nullptr;
};

// --- Tabs and their order ---

TEST_F(TabbedWorkspaceTest, ChildWindowsBecomeClosableMovableTabs) {
    QWidget* a = addPage("a");
    addPage("b");
    EXPECT_TRUE(workspace->IsTabbed());
    EXPECT_EQ(area->viewMode(), QMdiArea::TabbedView);
    EXPECT_TRUE(area->documentMode());
    ASSERT_NE(workspace->tabBar(), nullptr);
    EXPECT_TRUE(workspace->tabBar()->tabsClosable());
    EXPECT_TRUE(workspace->tabBar()->isMovable());
    EXPECT_EQ(workspace->TabCount(), 2);
    EXPECT_EQ(tabTexts(), (QStringList{"a", "b"}));

    // Adding the same window again makes no second tab.
    EXPECT_EQ(workspace->AddWindow(a)->widget(), a);
    EXPECT_EQ(workspace->TabCount(), 2);

    workspace->Activate(a);
    EXPECT_EQ(workspace->ActiveWindow(), a);
    EXPECT_EQ(workspace->tabBar()->currentIndex(), 0);
}

TEST_F(TabbedWorkspaceTest, TabIndexFollowsTheTabOrderAndItsMoves) {
    QWidget* a = addPage("a");
    QWidget* b = addPage("b");
    QWidget* c = addPage("c");
    EXPECT_EQ(workspace->TabIndexOf(a), 0);
    EXPECT_EQ(workspace->TabIndexOf(b), 1);
    EXPECT_EQ(workspace->TabIndexOf(c), 2);
    EXPECT_EQ(workspace->TabIndexOf(c->parentWidget()), 2) << "the frame of a window has its tab too";

    // The user drags the first tab to the end.
    workspace->tabBar()->moveTab(0, 2);
    QApplication::processEvents();
    EXPECT_EQ(tabTexts(), (QStringList{"b", "c", "a"}));
    EXPECT_EQ(workspace->TabIndexOf(b), 0);
    EXPECT_EQ(workspace->TabIndexOf(c), 1);
    EXPECT_EQ(workspace->TabIndexOf(a), 2);
    EXPECT_EQ(titles(workspace->Windows()), (QStringList{"b", "c", "a"}));
}

TEST_F(TabbedWorkspaceTest, HiddenAndForeignWindowsHaveNoTab) {
    addPage("a");
    QWidget* b = addPage("b");
    QWidget* c = addPage("c");

    b->parentWidget()->hide();
    QApplication::processEvents();
    EXPECT_EQ(workspace->TabIndexOf(b), -1);
    EXPECT_FALSE(workspace->tabBar()->isTabVisible(1));
    EXPECT_EQ(workspace->TabIndexOf(c), 2);

    b->parentWidget()->show();
    QApplication::processEvents();
    EXPECT_EQ(workspace->TabIndexOf(b), 1);
    EXPECT_TRUE(workspace->tabBar()->isTabVisible(1));

    QLabel stranger("elsewhere");
    EXPECT_EQ(workspace->TabIndexOf(&stranger), -1);
    EXPECT_EQ(workspace->TabIndexOf(nullptr), -1);

    // A window of another workspace has no tab in this one.
    QMdiArea otherArea;
    TabbedWorkspace other(&otherArea);
    auto* foreign = new QLabel("foreign");
    other.AddWindow(foreign);
    EXPECT_EQ(workspace->TabIndexOf(foreign), -1);
    EXPECT_EQ(other.TabIndexOf(foreign), 0);
}

// --- Arranging ---

TEST_F(TabbedWorkspaceTest, HorizontalTilingStacksTheWindowsFullWidth) {
    QWidget* a = addPage("a");
    QWidget* b = addPage("b");
    QWidget* c = addPage("c");
    workspace->Arrange(TabbedWorkspace::TileHorizontal);
    QApplication::processEvents();

    EXPECT_FALSE(workspace->IsTabbed());
    EXPECT_EQ(workspace->tabBar(), nullptr);
    const QRect space = area->viewport()->rect();
    int top = space.top();
    for (QWidget* w : {a, b, c}) {
        const QRect frame = w->parentWidget()->geometry();
        EXPECT_EQ(frame.left(), space.left());
        EXPECT_EQ(frame.width(), space.width());
        EXPECT_EQ(frame.top(), top);
        EXPECT_NEAR(frame.height(), space.height() / 3, 1);
        top = frame.bottom() + 1;
    }
    EXPECT_EQ(top, space.bottom() + 1);
    // Separate windows still know the tab they will be shown in again, minimized ones too.
    EXPECT_EQ(workspace->TabIndexOf(b), 1);
    static_cast<QMdiSubWindow*>(c->parentWidget())->showMinimized();
    QApplication::processEvents();
    EXPECT_EQ(workspace->TabIndexOf(c), 2);
}

TEST_F(TabbedWorkspaceTest, VerticalTilingPutsTheWindowsSideBySideFullHeight) {
    QWidget* a = addPage("a");
    QWidget* b = addPage("b");
    workspace->tabBar()->moveTab(0, 1);
    workspace->Arrange(TabbedWorkspace::TileVertical);
    QApplication::processEvents();

    const QRect space = area->viewport()->rect();
    const QRect first = b->parentWidget()->geometry();
    const QRect second = a->parentWidget()->geometry();
    EXPECT_EQ(first.left(), space.left()) << "windows follow the tab order";
    EXPECT_EQ(second.left(), first.right() + 1);
    EXPECT_EQ(second.right(), space.right());
    for (const QRect& r : {first, second}) {
        EXPECT_EQ(r.top(), space.top());
        EXPECT_EQ(r.height(), space.height());
    }
}

TEST_F(TabbedWorkspaceTest, CascadeAndBackToTabs) {
    QWidget* a = addPage("a");
    QWidget* b = addPage("b");
    workspace->Arrange(TabbedWorkspace::Cascade);
    QApplication::processEvents();
    EXPECT_FALSE(workspace->IsTabbed());
    const QRect ra = a->parentWidget()->geometry();
    const QRect rb = b->parentWidget()->geometry();
    EXPECT_NE(ra.topLeft(), rb.topLeft());
    EXPECT_TRUE(ra.intersects(rb)) << "cascaded windows overlap";
    EXPECT_TRUE(a->isVisible() && b->isVisible());

    workspace->Tabbed();
    QApplication::processEvents();
    EXPECT_TRUE(workspace->IsTabbed());
    ASSERT_NE(workspace->tabBar(), nullptr);
    EXPECT_EQ(tabTexts(), (QStringList{"a", "b"}));
    EXPECT_EQ(workspace->TabIndexOf(b), 1);
    EXPECT_TRUE(workspace->tabBar()->tabsClosable());
    EXPECT_TRUE(workspace->tabBar()->isMovable());
}

// --- Double-click on the empty part of the tab row ---

class TabRowDoubleClickTest : public TabbedWorkspaceTest {
protected:
    void SetUp() override {
        TabbedWorkspaceTest::SetUp();
        addPage("first");
        addPage("second");
    }

    QPoint rightOfLastTab() const {
        QTabBar* bar = workspace->tabBar();
        const QRect last = bar->tabRect(bar->count() - 1);
        return QPoint((last.right() + area->width()) / 2, last.center().y());
    }

    // A double-click where the user would make it: on whatever widget is under that point of the area.
    void doubleClickArea(const QPoint& inArea, Qt::MouseButton button = Qt::LeftButton) {
        QWidget* target = area->childAt(inArea);
        if (!target)
            target = area;
        QTest::mouseDClick(target, button, {}, target->mapFrom(area, inArea));
        QApplication::processEvents();
    }
};

TEST_F(TabRowDoubleClickTest, EmptyPartOfTheTabRowReportsTheDoubleClick) {
    QSignalSpy spy(workspace, &TabbedWorkspace::EmptyTabAreaDoubleClicked);
    ASSERT_LT(rightOfLastTab().x(), area->width());
    ASSERT_EQ(workspace->tabBar()->tabAt(workspace->tabBar()->mapFrom(area, rightOfLastTab())), -1);
    doubleClickArea(rightOfLastTab());
    EXPECT_EQ(spy.count(), 1);
    // The far right end of the row as well.
    doubleClickArea(QPoint(area->width() - 2, rightOfLastTab().y()));
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(TabRowDoubleClickTest, DoubleClickOnATabOrWithAnotherButtonIsNotReported) {
    QSignalSpy spy(workspace, &TabbedWorkspace::EmptyTabAreaDoubleClicked);
    QTabBar* bar = workspace->tabBar();
    QTest::mouseDClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
    QTest::mouseDClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    doubleClickArea(rightOfLastTab(), Qt::RightButton);
    // Below the tab row is the workspace, not the tab row.
    doubleClickArea(QPoint(area->width() / 2, area->height() / 2));
    QApplication::processEvents();
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(TabRowDoubleClickTest, RowPartNotCoveredByTheBarCountsAsEmpty) {
    QSignalSpy spy(workspace, &TabbedWorkspace::EmptyTabAreaDoubleClicked);
    QTabBar* bar = workspace->tabBar();
    // A bar that ends before the row does (as with a style or scroll bar that shortens it).
    bar->setGeometry(0, bar->y(), bar->tabRect(bar->count() - 1).right() + 1, bar->height());
    const QPoint beyond(area->width() - 5, bar->geometry().center().y());
    ASSERT_FALSE(bar->geometry().contains(beyond));
    QTest::mouseDClick(area, Qt::LeftButton, {}, beyond);
    EXPECT_EQ(spy.count(), 1);
    QTest::mouseDClick(area, Qt::LeftButton, {}, QPoint(beyond.x(), bar->geometry().bottom() + 40));
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(TabRowDoubleClickTest, StillReportedAfterArrangingAndReturningToTabs) {
    QSignalSpy spy(workspace, &TabbedWorkspace::EmptyTabAreaDoubleClicked);
    QPointer<QTabBar> before = workspace->tabBar();
    workspace->Arrange(TabbedWorkspace::TileVertical);
    QApplication::processEvents();
    // The area throws its bar away; the new one has to be watched afresh.
    EXPECT_TRUE(before.isNull());
    // While arranged there is no tab row at all.
    doubleClickArea(QPoint(area->width() - 5, 5));
    EXPECT_EQ(spy.count(), 0);

    workspace->Tabbed();
    QApplication::processEvents();
    ASSERT_NE(workspace->tabBar(), nullptr);
    doubleClickArea(rightOfLastTab());
    EXPECT_EQ(spy.count(), 1);
}

} // namespace
