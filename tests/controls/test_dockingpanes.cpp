#include "controls/AutoHideFrame.h"
#include "controls/AutoHidePanel.h"
#include "controls/AutoHideStrip.h"
#include "controls/AutoHideTab.h"
#include "controls/DockingPanes.h"
#include "controls/IconStore.h"
#include "controls/PaneCaption.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QTabBar>
#include <QTest>
#include <QToolButton>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include "LocalHttpServer.h"
#include "core/QvIds.h"

#include <map>
#include <memory>
#include <vector>

// Failures show texts as text.
static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

QIcon solidIcon(const QColor& color) {
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

QColor iconColor(const QIcon& icon) {
    return icon.pixmap(16, 16).toImage().pixelColor(8, 8);
}

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

// One event reported by the manager, with what the pane looked like at that moment.
struct Report {
    int id;
    QString what; // "attach", "expand", "close"
    bool hidden;
    bool hadContent;
};

class DockingPanesTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<QMainWindow>();
        workspace = new QWidget;
        editor = new QLineEdit(workspace);
        window->setCentralWidget(workspace);
        window->resize(1400, 1000);
        icons.SetIcon(196, solidIcon(Qt::red));
        icons.SetIcon(400, solidIcon(Qt::green));
        icons.SetIcon(401, solidIcon(Qt::blue));
        icons.SetIcon(300, solidIcon(Qt::yellow));
        manager = new DockingPaneManager(window.get());
        manager->SetIconStore(&icons);
        QObject::connect(manager, &DockingPaneManager::AttachPaneRequested, [this](DockingPane* pane) {
            reports.push_back({pane->Id(), "attach", pane->IsHidden(), pane->Handle() != nullptr});
            if (attachContent)
                pane->setHandle(new QLabel(pane->Title()));
        });
        QObject::connect(manager, &DockingPaneManager::PaneAction,
                         [this](DockingPane* pane, DockingPaneManager::Action action, bool* cancel) {
                             const bool closing = action == DockingPaneManager::Closing;
                             reports.push_back({pane->Id(), closing ? "close" : "expand", pane->IsHidden(),
                                                pane->Handle() != nullptr});
                             // The main window's way: a closing pane is only hidden.
                             if (closing && hideOnClose) {
                                 pane->Hide();
                                 *cancel = true;
                             }
                         });
    }

    void showWindow() {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QApplication::processEvents();
    }

    int count(int id, const QString& what) const {
        int n = 0;
        for (const Report& r : reports)
            n += r.id == id && r.what == what;
        return n;
    }

    static QTabBar* tabBarShowing(QMainWindow* w, const QString& title) {
        for (QTabBar* bar : w->findChildren<QTabBar*>()) {
            for (int i = 0; i < bar->count(); ++i) {
                if (bar->tabText(i) == title && bar->isVisible())
                    return bar;
            }
        }
        return nullptr;
    }

    static std::vector<std::map<QString, QString>> paneElements(const QString& text) {
        std::vector<std::map<QString, QString>> panes;
        QXmlStreamReader xml(text);
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("DockingPaneLayout"))
                continue;
            if (xml.name() == QLatin1String("Pane")) {
                std::map<QString, QString> attributes;
                for (const QXmlStreamAttribute& a : xml.attributes())
                    attributes[a.name().toString()] = a.value().toString();
                panes.push_back(attributes);
            }
            xml.skipCurrentElement();
        }
        EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
        return panes;
    }

    // The workspace's rectangle in window coordinates.
    QRect workspaceInWindow() const {
        return QRect(workspace->mapTo(window.get(), QPoint(0, 0)), workspace->size());
    }

    IconStore icons;
    std::unique_ptr<QMainWindow> window;
    QWidget* workspace = nullptr;
    QLineEdit* editor = nullptr;
    DockingPaneManager* manager = nullptr;
    std::vector<Report> reports;
    bool attachContent = true;
    bool hideOnClose = true;
};

// --- Creating and finding panes ---

TEST_F(DockingPanesTest, CreatesPanesInOrderWithTheirTitleIconSideAndSize) {
    showWindow();
    DockingPane* ent =
        manager->CreatePane(PaneId::Entertainment, 120, 120, DockingPaneManager::Left, "娱乐", 196);
    DockingPane* music = manager->CreatePane(PaneId::Music, 200, 400, DockingPaneManager::Top, "听歌", 401);
    DockingPane* mail = manager->CreatePane(PaneId::Mail, 150, 80, DockingPaneManager::Right, "邮箱", 300);
    QApplication::processEvents();

    ASSERT_EQ(manager->Panes(), (QList<DockingPane*>{ent, music, mail}));
    EXPECT_EQ(manager->FindPane(PaneId::Music), music);
    EXPECT_EQ(manager->FindPane(999), nullptr);

    EXPECT_EQ(ent->dockWidget()->objectName(), "pane410");
    EXPECT_EQ(ent->Title(), "娱乐");
    EXPECT_EQ(ent->dockWidget()->windowTitle(), "娱乐");
    EXPECT_EQ(ent->IconId(), 196);
    EXPECT_EQ(iconColor(ent->dockWidget()->windowIcon()), QColor(Qt::red));
    EXPECT_EQ(iconColor(music->dockWidget()->windowIcon()), QColor(Qt::blue));

    EXPECT_EQ(window->dockWidgetArea(ent->dockWidget()), Qt::LeftDockWidgetArea);
    EXPECT_EQ(window->dockWidgetArea(music->dockWidget()), Qt::TopDockWidgetArea);
    EXPECT_EQ(window->dockWidgetArea(mail->dockWidget()), Qt::RightDockWidgetArea);

    // Side panes take the width, top and bottom panes the height; the frame adds a title bar.
    EXPECT_NEAR(ent->dockWidget()->width(), 120, 2);
    EXPECT_NEAR(mail->dockWidget()->width(), 150, 2);
    EXPECT_NEAR(music->dockWidget()->height(), 400, 2);

    for (DockingPane* pane : manager->Panes()) {
        EXPECT_FALSE(pane->IsHidden());
        EXPECT_TRUE(pane->dockWidget()->isVisible());
    }
}

// --- Content on demand and the expanding report ---

TEST_F(DockingPanesTest, ContentIsRequestedBeforeTheFirstShowUntilThereIsSome) {
    attachContent = false;
    showWindow();
    DockingPane* pane =
        manager->CreatePane(PaneId::Navigation, 120, 120, DockingPaneManager::Left, "导航", 400);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].what, "attach");
    EXPECT_TRUE(reports[0].hidden);
    EXPECT_EQ(reports[1].what, "expand");
    // Until content arrives the pane shows its title over an empty area.
    EXPECT_EQ(pane->Handle(), nullptr);
    QPointer<QWidget> placeholder = pane->dockWidget()->widget();
    ASSERT_NE(placeholder, nullptr);

    pane->Hide();
    attachContent = true;
    manager->ShowPane(PaneId::Navigation);
    EXPECT_EQ(count(PaneId::Navigation, "attach"), 2);
    EXPECT_TRUE(reports.back().hadContent) << "content is attached before the expanding report";
    QWidget* content = pane->Handle();
    ASSERT_NE(content, nullptr);
    flushDeletes();
    EXPECT_EQ(pane->dockWidget()->widget(), content);
    EXPECT_TRUE(content->isVisible());
    EXPECT_TRUE(placeholder.isNull());

    pane->Hide();
    pane->Select();
    EXPECT_EQ(count(PaneId::Navigation, "attach"), 2);
}

TEST_F(DockingPanesTest, ExpandingIsReportedBeforeEveryShow) {
    showWindow();
    DockingPane* pane = manager->CreatePane(PaneId::Mail, 200, 80, DockingPaneManager::Top, "邮箱", 300);
    EXPECT_EQ(count(PaneId::Mail, "expand"), 1);
    pane->Hide();
    manager->ShowPane(PaneId::Mail);
    EXPECT_EQ(count(PaneId::Mail, "expand"), 2);
    EXPECT_TRUE(reports.back().hidden) << "reported after the pane was already shown";
    pane->Hide();
    pane->Select();
    EXPECT_EQ(count(PaneId::Mail, "expand"), 3);

    // Showing a pane that is already shown is no new show.
    manager->ShowPane(PaneId::Mail);
    pane->Select();
    EXPECT_EQ(count(PaneId::Mail, "expand"), 3);

    // The frame's own toggle (the main window's pane menu) shows it without the manager.
    pane->Hide();
    pane->dockWidget()->toggleViewAction()->trigger();
    EXPECT_FALSE(pane->IsHidden());
    EXPECT_EQ(count(PaneId::Mail, "expand"), 4);
}

// --- Closing ---

TEST_F(DockingPanesTest, CancelledClosingKeepsThePaneAndItsContent) {
    showWindow();
    DockingPane* pane = manager->CreatePane(PaneId::Music, 200, 400, DockingPaneManager::Top, "听歌", 401);
    QPointer<QWidget> content = pane->Handle();
    // The frame's close button, as the user presses it.
    auto* closeButton = pane->dockWidget()->findChild<QAbstractButton*>("qt_dockwidget_closebutton");
    ASSERT_NE(closeButton, nullptr);
    closeButton->click();
    pane->Close();
    flushDeletes();

    EXPECT_EQ(count(PaneId::Music, "close"), 2);
    EXPECT_EQ(manager->FindPane(PaneId::Music), pane);
    EXPECT_FALSE(pane->IsClosed());
    EXPECT_TRUE(pane->IsHidden());
    ASSERT_FALSE(content.isNull());
    EXPECT_EQ(pane->Handle(), content.data());
    EXPECT_EQ(pane->dockWidget()->widget(), content.data());
}

TEST_F(DockingPanesTest, ClosingThatIsNotCancelledRemovesThePane) {
    hideOnClose = false;
    showWindow();
    DockingPane* keep =
        manager->CreatePane(PaneId::Navigation, 120, 120, DockingPaneManager::Left, "导航", 400);
    DockingPane* pane = manager->CreatePane(PaneId::AdvancedSearch, 200, 140, DockingPaneManager::Top,
                                            "高级搜索", SearchIcon::SuperSearch);
    DockingPane* byButton =
        manager->CreatePane(PaneId::Community, 1000, 400, DockingPaneManager::Top, "社区", 1084);
    QPointer<QWidget> content = pane->Handle();
    QPointer<QDockWidget> dock = pane->dockWidget();
    QPointer<QDockWidget> buttonDock = byButton->dockWidget();

    pane->Close();
    buttonDock->findChild<QAbstractButton*>("qt_dockwidget_closebutton")->click();
    EXPECT_EQ(count(PaneId::AdvancedSearch, "close"), 1);
    EXPECT_EQ(count(PaneId::Community, "close"), 1);
    EXPECT_TRUE(pane->IsClosed());
    EXPECT_EQ(manager->FindPane(PaneId::AdvancedSearch), nullptr);
    EXPECT_EQ(manager->Panes(), QList<DockingPane*>{keep});
    // The layout remembers it as closed, once.
    const auto closed = paneElements(manager->SaveStateToString());
    ASSERT_EQ(closed.size(), 3u);
    EXPECT_EQ(closed[1].at("Id"), QString::number(PaneId::AdvancedSearch));
    EXPECT_EQ(closed[1].at("State"), "closed");

    flushDeletes();
    EXPECT_TRUE(dock.isNull());
    EXPECT_TRUE(content.isNull());
    EXPECT_TRUE(buttonDock.isNull());

    // The pane can be made again afterwards.
    DockingPane* again = manager->CreatePane(PaneId::AdvancedSearch, 200, 140, DockingPaneManager::Top,
                                             "高级搜索", SearchIcon::SuperSearch);
    EXPECT_EQ(manager->FindPane(PaneId::AdvancedSearch), again);
    EXPECT_EQ(manager->SaveStateToString().count(QStringLiteral("Id=\"%1\"").arg(PaneId::AdvancedSearch)), 1);
}

// --- Tabbing, selecting, hiding ---

TEST_F(DockingPanesTest, AttachedPanesShareOneFrameAndSelectBringsOneToFront) {
    showWindow();
    DockingPane* ent =
        manager->CreatePane(PaneId::Entertainment, 120, 120, DockingPaneManager::Left, "娱乐", 196);
    DockingPane* nav =
        manager->CreatePane(PaneId::Navigation, 120, 120, DockingPaneManager::Left, "导航", 400);
    manager->AttachPane(ent, nav);
    nav->Select();
    QApplication::processEvents();

    EXPECT_EQ(window->tabifiedDockWidgets(nav->dockWidget()), QList<QDockWidget*>{ent->dockWidget()});
    QTabBar* bar = tabBarShowing(window.get(), "导航");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->count(), 2);
    EXPECT_EQ(bar->tabText(bar->currentIndex()), "导航");

    ent->Select();
    QApplication::processEvents();
    EXPECT_EQ(bar->tabText(bar->currentIndex()), "娱乐");
}

TEST_F(DockingPanesTest, HidingAndShowingKeepsTheSameContentWindow) {
    showWindow();
    DockingPane* pane = manager->CreatePane(PaneId::Novel, 200, 400, DockingPaneManager::Top, "小说", 407);
    auto* label = qobject_cast<QLabel*>(pane->Handle());
    ASSERT_NE(label, nullptr);
    label->setText("page 3 of the novel");
    QPointer<QWidget> content = label;

    pane->Hide();
    flushDeletes();
    EXPECT_TRUE(pane->IsHidden());
    EXPECT_FALSE(pane->dockWidget()->isVisible());
    ASSERT_FALSE(content.isNull());

    manager->ShowPane(PaneId::Novel);
    QApplication::processEvents();
    EXPECT_EQ(pane->Handle(), content.data());
    EXPECT_EQ(pane->dockWidget()->widget(), content.data());
    EXPECT_EQ(label->text(), "page 3 of the novel");
    EXPECT_TRUE(label->isVisible());
}

// --- Layout text ---

TEST_F(DockingPanesTest, LayoutTextDescribesEveryPaneInOrder) {
    DockingPane* ent =
        manager->CreatePane(PaneId::Entertainment, 120, 120, DockingPaneManager::Left, "娱乐", 196);
    DockingPane* nav =
        manager->CreatePane(PaneId::Navigation, 120, 120, DockingPaneManager::Left, "导航", 400);
    manager->CreatePane(PaneId::Music, 200, 400, DockingPaneManager::Top, "听歌 & <歌单> \"1\"", 401);
    manager->AttachPane(ent, nav);
    nav->Select();
    manager->FindPane(PaneId::Music)->Hide();
    showWindow();

    const QString text = manager->SaveStateToString();
    // The layout's element is the text's first node: no declaration in front of it.
    EXPECT_TRUE(text.startsWith("<DockingPaneLayout>"));
    const auto panes = paneElements(text);
    ASSERT_EQ(panes.size(), 3u);
    EXPECT_EQ(panes[0].at("Id"), QString::number(PaneId::Entertainment));
    EXPECT_EQ(panes[0].at("Title"), "娱乐");
    EXPECT_EQ(panes[0].at("Side"), "left");
    EXPECT_EQ(panes[0].at("Visible"), "1");
    EXPECT_EQ(panes[0].at("Floating"), "0");
    EXPECT_EQ(panes[0].at("TabbedWith"), QString::number(PaneId::Navigation));
    EXPECT_EQ(panes[1].at("Id"), QString::number(PaneId::Navigation));
    EXPECT_EQ(panes[1].at("TabbedWith"), QString::number(PaneId::Entertainment));
    EXPECT_EQ(panes[2].at("Id"), QString::number(PaneId::Music));
    EXPECT_EQ(panes[2].at("Title"), "听歌 & <歌单> \"1\"");
    EXPECT_EQ(panes[2].at("Side"), "top");
    EXPECT_EQ(panes[2].at("Visible"), "0");
    EXPECT_EQ(panes[2].at("TabbedWith"), "");

    // The window's own layout data comes back into a window with the same panes.
    QXmlStreamReader xml(text);
    QByteArray state;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("WindowState"))
            state = QByteArray::fromBase64(xml.readElementText().toLatin1());
    }
    ASSERT_FALSE(state.isEmpty());
    EXPECT_TRUE(window->restoreState(state));
}

TEST_F(DockingPanesTest, AnUnchangedLayoutGivesTheSameText) {
    auto build = [this](QMainWindow* w, DockingPaneManager* m) {
        m->SetIconStore(&icons);
        if (m != manager) {
            QObject::connect(m, &DockingPaneManager::AttachPaneRequested,
                             [](DockingPane* pane) { pane->setHandle(new QLabel(pane->Title())); });
        }
        DockingPane* ent =
            m->CreatePane(PaneId::Entertainment, 120, 120, DockingPaneManager::Left, "娱乐", 196);
        DockingPane* nav = m->CreatePane(PaneId::Navigation, 120, 120, DockingPaneManager::Left, "导航", 400);
        m->CreatePane(PaneId::Mail, 200, 80, DockingPaneManager::Top, "邮箱", 300)->Hide();
        m->AttachPane(ent, nav);
        nav->Select();
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w));
        QApplication::processEvents();
    };
    build(window.get(), manager);
    const QString first = manager->SaveStateToString();
    QApplication::processEvents();
    EXPECT_EQ(manager->SaveStateToString(), first);

    // A second window arranged the same way writes the same text.
    QMainWindow other;
    other.setCentralWidget(new QWidget);
    other.resize(1400, 1000);
    build(&other, new DockingPaneManager(&other));
    EXPECT_EQ(other.findChild<DockingPaneManager*>()->SaveStateToString(), first);
}

TEST_F(DockingPanesTest, LayoutTextChangesWhenAPaneIsHiddenAndBackWhenShown) {
    manager->CreatePane(PaneId::Navigation, 120, 120, DockingPaneManager::Left, "导航", 400);
    DockingPane* mail = manager->CreatePane(PaneId::Mail, 200, 80, DockingPaneManager::Top, "邮箱", 300);
    showWindow();
    const QString shown = manager->SaveStateToString();

    mail->Hide();
    QApplication::processEvents();
    const QString hidden = manager->SaveStateToString();
    EXPECT_NE(hidden, shown);
    EXPECT_EQ(paneElements(hidden)[1].at("Visible"), "0");

    manager->ShowPane(PaneId::Mail);
    QApplication::processEvents();
    EXPECT_EQ(paneElements(manager->SaveStateToString())[1].at("Visible"), "1");
}

// --- Auto-hidden panes ---

TEST_F(DockingPanesTest, AHiddenPaneSlidesOutFromItsTabOverTheWorkspaceAndBack) {
    showWindow();
    manager->CreatePane(PaneId::Navigation, 120, 120, DockingPaneManager::Left, "导航", 400);
    DockingPane* mail = manager->CreatePane(PaneId::Mail, 200, 160, DockingPaneManager::Top, "邮箱", 300);
    QPointer<QWidget> content = mail->Handle();
    mail->Hide();
    QApplication::processEvents();

    // A tab with the pane's icon and title on the top strip; the pane itself is out of sight.
    AutoHideTab* tab = mail->tab();
    ASSERT_NE(tab, nullptr);
    EXPECT_TRUE(mail->IsHidden());
    EXPECT_FALSE(mail->IsExpanded());
    EXPECT_FALSE(mail->dockWidget()->isVisible());
    EXPECT_TRUE(tab->isVisible());
    EXPECT_EQ(manager->frame()->strip(Qt::TopDockWidgetArea)->tabs(), QList<AutoHideTab*>{tab});
    EXPECT_FALSE(manager->frame()->strip(Qt::LeftDockWidgetArea)->isVisible())
        << "an empty strip takes no room";
    EXPECT_EQ(tab->accessibleName(), "邮箱");
    EXPECT_EQ(iconColor(tab->icon()), QColor(Qt::yellow));
    EXPECT_LE(tab->mapTo(window.get(), QPoint(0, tab->height())).y(), workspaceInWindow().top());

    bool panelShownAtReport = true;
    QObject::connect(manager, &DockingPaneManager::PaneAction,
                     [&](DockingPane* pane, DockingPaneManager::Action action, bool*) {
                         if (pane == mail && action == DockingPaneManager::Expanding)
                             panelShownAtReport = mail->panel() && mail->panel()->isVisible();
                     });
    const QRect workspaceBefore = workspaceInWindow();
    reports.clear();
    QTest::mouseClick(tab, Qt::LeftButton);
    EXPECT_EQ(count(PaneId::Mail, "expand"), 1);
    EXPECT_FALSE(panelShownAtReport) << "the expanding is reported before the pane is shown";
    EXPECT_TRUE(mail->IsExpanded());
    EXPECT_TRUE(mail->IsHidden()) << "a slid-out pane is still an auto-hidden one";
    ASSERT_TRUE(waitUntil([&] { return mail->panel()->height() == 160; }, 3000)) << mail->panel()->height();
    EXPECT_EQ(mail->Handle(), content.data());
    EXPECT_TRUE(content->isVisible());
    // Over the workspace, which has not moved: what lies under a point of the workspace is the pane.
    EXPECT_EQ(workspaceInWindow(), workspaceBefore);
    EXPECT_TRUE(mail->panel()->geometry().intersects(workspace->geometry()));
    const QPoint inside = workspaceBefore.topLeft() + QPoint(workspaceBefore.width() / 2, 60);
    EXPECT_TRUE(mail->panel()->isAncestorOf(window->childAt(inside)));
    // The content takes no focus, so the pane's title bar has it.
    EXPECT_TRUE(mail->panel()->isAncestorOf(QApplication::focusWidget()));

    // The focus moving into the workspace sends the pane back; the tab stays.
    editor->setFocus();
    ASSERT_TRUE(waitUntil([&] { return !mail->panel()->isVisible(); }, 3000));
    EXPECT_FALSE(mail->IsExpanded());
    EXPECT_TRUE(mail->IsHidden());
    EXPECT_EQ(mail->tab(), tab);
    EXPECT_TRUE(tab->isVisible());
    EXPECT_EQ(mail->Handle(), content.data());
    EXPECT_EQ(count(PaneId::Mail, "expand"), 1);

    // So does a click on the workspace, also while the focus stays where it is.
    editor->setFocus();
    QTest::mouseClick(tab, Qt::LeftButton);
    ASSERT_TRUE(mail->IsExpanded());
    QTest::mouseClick(workspace, Qt::LeftButton, {}, QPoint(5, workspace->height() - 5));
    EXPECT_FALSE(mail->IsExpanded());
    ASSERT_TRUE(waitUntil([&] { return !mail->panel()->isVisible(); }, 3000));
    EXPECT_EQ(count(PaneId::Mail, "expand"), 2);
    EXPECT_EQ(workspaceInWindow(), workspaceBefore);
}

TEST_F(DockingPanesTest, StripTabsWorkFromTheKeyboardAndEscapeGivesTheFocusBack) {
    showWindow();
    DockingPane* music = manager->CreatePane(PaneId::Music, 200, 150, DockingPaneManager::Top, "听歌", 401);
    DockingPane* mail = manager->CreatePane(PaneId::Mail, 200, 150, DockingPaneManager::Top, "邮箱", 300);
    auto* login = new QLineEdit;
    mail->setHandle(login);
    music->Hide();
    mail->Hide();
    editor->setFocus();
    QApplication::processEvents();

    // The Tab key reaches every strip tab.
    QList<QWidget*> reached;
    for (int i = 0; i < 40 && !reached.contains(mail->tab()); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached << QApplication::focusWidget();
    }
    EXPECT_TRUE(reached.contains(music->tab()));
    ASSERT_EQ(QApplication::focusWidget(), mail->tab());

    // Space opens the pane with the focus in its content; Escape sends it back and the focus
    // returns to the tab.
    QTest::keyClick(mail->tab(), Qt::Key_Space);
    ASSERT_TRUE(mail->IsExpanded());
    EXPECT_EQ(QApplication::focusWidget(), login);
    QTest::keyClick(login, Qt::Key_Escape);
    EXPECT_FALSE(mail->IsExpanded());
    EXPECT_EQ(QApplication::focusWidget(), mail->tab());
    ASSERT_TRUE(waitUntil([&] { return !mail->panel()->isVisible(); }, 3000));

    // Enter opens it too; the focus given back after a mouse opening is where the user was.
    QTest::keyClick(mail->tab(), Qt::Key_Return);
    EXPECT_TRUE(mail->IsExpanded());
    QTest::keyClick(login, Qt::Key_Escape);
    editor->setFocus();
    QTest::mouseClick(mail->tab(), Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), login);
    QTest::keyClick(login, Qt::Key_Escape);
    EXPECT_EQ(QApplication::focusWidget(), editor);

    // A screen reader finds each tab in the window as a button named after its pane.
    QStringList buttons;
    std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
        if (!node)
            return;
        if (node->role() == QAccessible::Button && node->object() && node->object()->inherits("AutoHideTab"))
            buttons << node->text(QAccessible::Name);
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i));
    };
    walk(QAccessible::queryAccessibleInterface(window.get()));
    EXPECT_EQ(buttons, QStringList({"听歌", "邮箱"}));
}

TEST_F(DockingPanesTest, PinDocksASlidOutPaneAndCloseSendsItBackWithTheSameContent) {
    showWindow();
    DockingPane* mail = manager->CreatePane(PaneId::Mail, 200, 120, DockingPaneManager::Top, "邮箱", 300);
    QPointer<QWidget> content = mail->Handle();
    mail->Hide();
    reports.clear();
    QTest::mouseClick(mail->tab(), Qt::LeftButton);
    ASSERT_TRUE(mail->IsExpanded());
    PaneCaption* caption = mail->caption();
    EXPECT_EQ(caption->pinButton()->accessibleName(), "停靠");
    EXPECT_EQ(caption->closeButton()->accessibleName(), "关闭");

    QTest::mouseClick(caption->pinButton(), Qt::LeftButton);
    EXPECT_FALSE(mail->IsHidden());
    EXPECT_FALSE(mail->IsExpanded());
    EXPECT_EQ(mail->tab(), nullptr);
    EXPECT_TRUE(mail->dockWidget()->isVisible());
    EXPECT_EQ(window->dockWidgetArea(mail->dockWidget()), Qt::TopDockWidgetArea);
    EXPECT_EQ(mail->dockWidget()->widget(), content.data());
    EXPECT_EQ(caption->pinButton()->accessibleName(), "自动隐藏");
    EXPECT_FALSE(manager->frame()->strip(Qt::TopDockWidgetArea)->isVisible());
    EXPECT_EQ(count(PaneId::Mail, "expand"), 1) << "a pane already on the screen is not shown anew";
    EXPECT_NEAR(mail->dockWidget()->height(), 120, 2) << "docks with the size it slid out with";

    // Its close button: the closing is reported, the owner hides it, and it is back on the strip.
    QTest::mouseClick(caption->closeButton(), Qt::LeftButton);
    EXPECT_EQ(count(PaneId::Mail, "close"), 1);
    EXPECT_FALSE(mail->IsClosed());
    EXPECT_TRUE(mail->IsHidden());
    ASSERT_NE(mail->tab(), nullptr);
    ASSERT_FALSE(content.isNull());
    EXPECT_EQ(mail->Handle(), content.data());
    EXPECT_EQ(mail->dockWidget()->widget(), content.data());
    EXPECT_EQ(caption->pinButton()->accessibleName(), "停靠");

    // Closing the slid-out pane slides it back; the docked pane's own pin sends it to the strip.
    QTest::mouseClick(mail->tab(), Qt::LeftButton);
    QTest::mouseClick(caption->closeButton(), Qt::LeftButton);
    EXPECT_FALSE(mail->IsExpanded());
    EXPECT_NE(mail->tab(), nullptr);
    mail->Select();
    ASSERT_FALSE(mail->IsHidden());
    QTest::mouseClick(caption->pinButton(), Qt::LeftButton);
    EXPECT_TRUE(mail->IsHidden());
    EXPECT_NE(mail->tab(), nullptr);
    EXPECT_EQ(mail->Handle(), content.data());

    // A frame hidden behind the manager's back still leaves a tab to come back from.
    mail->Select();
    ASSERT_EQ(mail->tab(), nullptr);
    mail->dockWidget()->hide();
    ASSERT_TRUE(waitUntil([&] { return mail->tab() != nullptr; }, 3000));
    EXPECT_TRUE(mail->IsHidden());
    EXPECT_EQ(mail->Handle(), content.data());
}

TEST_F(DockingPanesTest, PanesTabbedTogetherHideAndComeBackAsAGroup) {
    showWindow();
    DockingPane* ent =
        manager->CreatePane(PaneId::Entertainment, 120, 120, DockingPaneManager::Left, "娱乐", 196);
    DockingPane* nav =
        manager->CreatePane(PaneId::Navigation, 120, 120, DockingPaneManager::Left, "导航", 400);
    manager->AttachPane(ent, nav);
    nav->Select();
    QPointer<QWidget> navContent = nav->Handle();
    QPointer<QWidget> entContent = ent->Handle();
    reports.clear();

    nav->Hide();
    EXPECT_TRUE(nav->IsHidden());
    EXPECT_TRUE(ent->IsHidden());
    AutoHideStrip* left = manager->frame()->strip(Qt::LeftDockWidgetArea);
    ASSERT_NE(nav->tab(), nullptr);
    ASSERT_NE(ent->tab(), nullptr);
    EXPECT_EQ(left->tabs(), (QList<AutoHideTab*>{nav->tab(), ent->tab()})) << "in the frame's tab order";
    EXPECT_TRUE(left->isVisible());
    EXPECT_GT(nav->tab()->height(), nav->tab()->width()) << "side tabs stand along the strip";

    // One of the group slides out alone.
    QTest::mouseClick(ent->tab(), Qt::LeftButton);
    EXPECT_TRUE(ent->IsExpanded());
    EXPECT_FALSE(nav->panel()->isVisible());

    // Pinning it docks the whole group again, the pinned one in front.
    QTest::mouseClick(ent->caption()->pinButton(), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_FALSE(nav->IsHidden());
    EXPECT_FALSE(ent->IsHidden());
    EXPECT_FALSE(left->isVisible());
    EXPECT_EQ(window->tabifiedDockWidgets(nav->dockWidget()), QList<QDockWidget*>{ent->dockWidget()});
    QTabBar* bar = tabBarShowing(window.get(), "导航");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->tabText(bar->currentIndex()), "娱乐");
    EXPECT_EQ(nav->Handle(), navContent.data());
    EXPECT_EQ(ent->Handle(), entContent.data());
    EXPECT_EQ(count(PaneId::Entertainment, "expand"), 1) << "the slid-out pane was on the screen already";
    EXPECT_EQ(count(PaneId::Navigation, "expand"), 1) << "its partner is announced as it comes back";

    // The close button of the group's frame: the owner hides the closing pane, and its group goes.
    QTest::mouseClick(ent->caption()->closeButton(), Qt::LeftButton);
    EXPECT_EQ(count(PaneId::Entertainment, "close"), 1);
    EXPECT_TRUE(nav->IsHidden());
    EXPECT_TRUE(ent->IsHidden());
    EXPECT_EQ(left->tabs().size(), 2);
}

TEST_F(DockingPanesTest, RestingThePointerOnATabSlidesThePaneOutUntilThePointerLeaves) {
    manager->SetHoverDelay(50);
    showWindow();
    DockingPane* mail = manager->CreatePane(PaneId::Mail, 200, 120, DockingPaneManager::Top, "邮箱", 300);
    mail->Hide();
    editor->setFocus();
    QApplication::processEvents();
    QTest::mouseMove(mail->tab(), mail->tab()->rect().center());
    ASSERT_TRUE(waitUntil([&] { return mail->IsExpanded(); }, 3000));
    EXPECT_EQ(QApplication::focusWidget(), editor) << "pointing does not take the focus";
    EXPECT_EQ(count(PaneId::Mail, "expand"), 2);
    QTest::mouseMove(workspace, QPoint(5, workspace->height() - 5));
    ASSERT_TRUE(waitUntil([&] { return !mail->IsExpanded(); }, 3000));
    EXPECT_TRUE(mail->IsHidden());
}

// --- Layout text of auto-hidden, docked and closed panes ---

TEST_F(DockingPanesTest, LayoutTextRecordsEachStateAndRoundTrips) {
    std::map<int, bool> keepOnClose{{PaneId::AdvancedSearch, false}};
    QObject::connect(manager, &DockingPaneManager::PaneAction,
                     [&](DockingPane* pane, DockingPaneManager::Action action, bool* cancel) {
                         // The advanced pane really closes; the handler of the fixture hid it already.
                         if (action == DockingPaneManager::Closing && keepOnClose.count(pane->Id()))
                             *cancel = false;
                     });
    hideOnClose = true;
    showWindow();
    DockingPane* ent =
        manager->CreatePane(PaneId::Entertainment, 120, 120, DockingPaneManager::Left, "娱乐", 196);
    DockingPane* nav =
        manager->CreatePane(PaneId::Navigation, 120, 120, DockingPaneManager::Left, "导航", 400);
    DockingPane* music = manager->CreatePane(PaneId::Music, 200, 300, DockingPaneManager::Top, "听歌", 401);
    DockingPane* mail = manager->CreatePane(PaneId::Mail, 200, 80, DockingPaneManager::Top, "邮箱", 300);
    manager->AttachPane(ent, nav);
    nav->Select();
    music->Hide();
    QApplication::processEvents();
    const QString saved = manager->SaveStateToString();
    const auto panes = paneElements(saved);
    ASSERT_EQ(panes.size(), 4u);
    std::map<QString, QString> state;
    for (const auto& p : panes)
        state[p.at("Id")] = p.at("State");
    EXPECT_EQ(state[QString::number(PaneId::Navigation)], "docked");
    EXPECT_EQ(state[QString::number(PaneId::Entertainment)], "docked");
    EXPECT_EQ(state[QString::number(PaneId::Music)], "autohide");
    EXPECT_EQ(state[QString::number(PaneId::Mail)], "docked");
    // Top frames side by side share one height.
    EXPECT_EQ(panes[2].at("Size"), panes[3].at("Size"));

    // Everything changed: the group and the mail pane go to their strips, music docks.
    nav->Hide();
    mail->Hide();
    music->Select();
    QApplication::processEvents();
    ASSERT_NE(manager->SaveStateToString(), saved);

    ASSERT_TRUE(manager->LoadStateFromString(saved));
    QApplication::processEvents();
    EXPECT_EQ(manager->SaveStateToString(), saved);
    EXPECT_FALSE(nav->IsHidden());
    EXPECT_FALSE(ent->IsHidden());
    EXPECT_EQ(window->tabifiedDockWidgets(nav->dockWidget()), QList<QDockWidget*>{ent->dockWidget()});
    EXPECT_TRUE(music->IsHidden());
    ASSERT_NE(music->tab(), nullptr);
    EXPECT_TRUE(music->tab()->isVisible());
    EXPECT_FALSE(mail->IsHidden());
    EXPECT_EQ(mail->tab(), nullptr);

    // A group on its strip and a closed pane come back the same way.
    nav->Hide();
    manager
        ->CreatePane(PaneId::AdvancedSearch, 200, 140, DockingPaneManager::Top, "超级搜索",
                     SearchIcon::SuperSearch)
        ->Close();
    QApplication::processEvents();
    const QString second = manager->SaveStateToString();
    EXPECT_TRUE(second.contains(QStringLiteral("Id=\"%1\" Title=\"超级搜索\" Side=\"top\" State=\"closed\"")
                                    .arg(PaneId::AdvancedSearch)))
        << second.toStdString();
    ent->Select();
    music->Select();
    ASSERT_TRUE(manager->LoadStateFromString(second));
    QApplication::processEvents();
    EXPECT_EQ(manager->SaveStateToString(), second);
    EXPECT_EQ(manager->frame()->strip(Qt::LeftDockWidgetArea)->tabs(),
              (QList<AutoHideTab*>{nav->tab(), ent->tab()}));

    // Text that is no layout changes nothing.
    EXPECT_FALSE(manager->LoadStateFromString("<other/>"));
    EXPECT_FALSE(
        manager->LoadStateFromString(QStringLiteral("<DockingPaneLayout><Pane Id=\"%1\" State=\"gone\" "
                                                    "Side=\"left\"/></DockingPaneLayout>")
                                         .arg(PaneId::Navigation)));
    EXPECT_EQ(manager->SaveStateToString(), second);
}

} // namespace

TEST_F(DockingPanesTest, EscapeInAListOpenedFromASlidOutPaneClosesOnlyTheList) {
    showWindow();
    DockingPane* mail = manager->CreatePane(PaneId::Mail, 200, 150, DockingPaneManager::Top, "邮箱", 300);
    auto* content = new QWidget;
    auto* box = new QComboBox(content);
    box->addItems({"A", "B", "C"});
    mail->setHandle(content);
    mail->Hide();
    QApplication::processEvents();
    QTest::mouseClick(mail->tab(), Qt::LeftButton);
    ASSERT_TRUE(mail->IsExpanded());
    box->setFocus();
    box->showPopup();
    ASSERT_TRUE(waitUntil([&] { return box->view()->isVisible(); }, 3000));
    QTest::keyClick(box->view()->window()->windowHandle(), Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return !box->view()->isVisible(); }, 3000));
    EXPECT_TRUE(mail->IsExpanded());
    EXPECT_TRUE(mail->panel()->isVisible());
    // Escape in the pane itself still sends it back.
    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_FALSE(mail->IsExpanded());
}
