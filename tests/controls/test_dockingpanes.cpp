#include "controls/DockingPanes.h"
#include "controls/IconStore.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QTabBar>
#include <QTest>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

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
        window->setCentralWidget(new QWidget);
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

    IconStore icons;
    std::unique_ptr<QMainWindow> window;
    DockingPaneManager* manager = nullptr;
    std::vector<Report> reports;
    bool attachContent = true;
    bool hideOnClose = true;
};

// --- Creating and finding panes ---

TEST_F(DockingPanesTest, CreatesPanesInOrderWithTheirTitleIconSideAndSize) {
    showWindow();
    DockingPane* ent = manager->CreatePane(410, 120, 120, DockingPaneManager::Left, "娱乐", 196);
    DockingPane* music = manager->CreatePane(430, 200, 400, DockingPaneManager::Top, "听歌", 401);
    DockingPane* mail = manager->CreatePane(307, 150, 80, DockingPaneManager::Right, "邮箱", 300);
    QApplication::processEvents();

    ASSERT_EQ(manager->Panes(), (QList<DockingPane*>{ent, music, mail}));
    EXPECT_EQ(manager->FindPane(430), music);
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
    DockingPane* pane = manager->CreatePane(400, 120, 120, DockingPaneManager::Left, "导航", 400);
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
    manager->ShowPane(400);
    EXPECT_EQ(count(400, "attach"), 2);
    EXPECT_TRUE(reports.back().hadContent) << "content is attached before the expanding report";
    QWidget* content = pane->Handle();
    ASSERT_NE(content, nullptr);
    flushDeletes();
    EXPECT_EQ(pane->dockWidget()->widget(), content);
    EXPECT_TRUE(content->isVisible());
    EXPECT_TRUE(placeholder.isNull());

    pane->Hide();
    pane->Select();
    EXPECT_EQ(count(400, "attach"), 2);
}

TEST_F(DockingPanesTest, ExpandingIsReportedBeforeEveryShow) {
    showWindow();
    DockingPane* pane = manager->CreatePane(307, 200, 80, DockingPaneManager::Top, "邮箱", 300);
    EXPECT_EQ(count(307, "expand"), 1);
    pane->Hide();
    manager->ShowPane(307);
    EXPECT_EQ(count(307, "expand"), 2);
    EXPECT_TRUE(reports.back().hidden) << "reported after the pane was already shown";
    pane->Hide();
    pane->Select();
    EXPECT_EQ(count(307, "expand"), 3);

    // Showing a pane that is already shown is no new show.
    manager->ShowPane(307);
    pane->Select();
    EXPECT_EQ(count(307, "expand"), 3);

    // The frame's own toggle (the main window's pane menu) shows it without the manager.
    pane->Hide();
    pane->dockWidget()->toggleViewAction()->trigger();
    EXPECT_FALSE(pane->IsHidden());
    EXPECT_EQ(count(307, "expand"), 4);
}

// --- Closing ---

TEST_F(DockingPanesTest, CancelledClosingKeepsThePaneAndItsContent) {
    showWindow();
    DockingPane* pane = manager->CreatePane(430, 200, 400, DockingPaneManager::Top, "听歌", 401);
    QPointer<QWidget> content = pane->Handle();
    // The frame's close button, as the user presses it.
    auto* closeButton = pane->dockWidget()->findChild<QAbstractButton*>("qt_dockwidget_closebutton");
    ASSERT_NE(closeButton, nullptr);
    closeButton->click();
    pane->Close();
    flushDeletes();

    EXPECT_EQ(count(430, "close"), 2);
    EXPECT_EQ(manager->FindPane(430), pane);
    EXPECT_FALSE(pane->IsClosed());
    EXPECT_TRUE(pane->IsHidden());
    ASSERT_FALSE(content.isNull());
    EXPECT_EQ(pane->Handle(), content.data());
    EXPECT_EQ(pane->dockWidget()->widget(), content.data());
}

TEST_F(DockingPanesTest, ClosingThatIsNotCancelledRemovesThePane) {
    hideOnClose = false;
    showWindow();
    DockingPane* keep = manager->CreatePane(400, 120, 120, DockingPaneManager::Left, "导航", 400);
    DockingPane* pane = manager->CreatePane(421, 200, 140, DockingPaneManager::Top, "高级搜索", 1080);
    DockingPane* byButton = manager->CreatePane(460, 1000, 400, DockingPaneManager::Top, "社区", 1084);
    QPointer<QWidget> content = pane->Handle();
    QPointer<QDockWidget> dock = pane->dockWidget();
    QPointer<QDockWidget> buttonDock = byButton->dockWidget();

    pane->Close();
    buttonDock->findChild<QAbstractButton*>("qt_dockwidget_closebutton")->click();
    EXPECT_EQ(count(421, "close"), 1);
    EXPECT_EQ(count(460, "close"), 1);
    EXPECT_TRUE(pane->IsClosed());
    EXPECT_EQ(manager->FindPane(421), nullptr);
    EXPECT_EQ(manager->Panes(), QList<DockingPane*>{keep});
    EXPECT_FALSE(manager->SaveStateToString().contains("Id=\"421\""));

    flushDeletes();
    EXPECT_TRUE(dock.isNull());
    EXPECT_TRUE(content.isNull());
    EXPECT_TRUE(buttonDock.isNull());

    // The pane can be made again afterwards.
    DockingPane* again = manager->CreatePane(421, 200, 140, DockingPaneManager::Top, "高级搜索", 1080);
    EXPECT_EQ(manager->FindPane(421), again);
    EXPECT_EQ(manager->SaveStateToString().count("Id=\"421\""), 1);
}

// --- Tabbing, selecting, hiding ---

TEST_F(DockingPanesTest, AttachedPanesShareOneFrameAndSelectBringsOneToFront) {
    showWindow();
    DockingPane* ent = manager->CreatePane(410, 120, 120, DockingPaneManager::Left, "娱乐", 196);
    DockingPane* nav = manager->CreatePane(400, 120, 120, DockingPaneManager::Left, "导航", 400);
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
    DockingPane* pane = manager->CreatePane(440, 200, 400, DockingPaneManager::Top, "小说", 407);
    auto* label = qobject_cast<QLabel*>(pane->Handle());
    ASSERT_NE(label, nullptr);
    label->setText("page 3 of the novel");
    QPointer<QWidget> content = label;

    pane->Hide();
    flushDeletes();
    EXPECT_TRUE(pane->IsHidden());
    EXPECT_FALSE(pane->dockWidget()->isVisible());
    ASSERT_FALSE(content.isNull());

    manager->ShowPane(440);
    QApplication::processEvents();
    EXPECT_EQ(pane->Handle(), content.data());
    EXPECT_EQ(pane->dockWidget()->widget(), content.data());
    EXPECT_EQ(label->text(), "page 3 of the novel");
    EXPECT_TRUE(label->isVisible());
}

// --- Layout text ---

TEST_F(DockingPanesTest, LayoutTextDescribesEveryPaneInOrder) {
    DockingPane* ent = manager->CreatePane(410, 120, 120, DockingPaneManager::Left, "娱乐", 196);
    DockingPane* nav = manager->CreatePane(400, 120, 120, DockingPaneManager::Left, "导航", 400);
    manager->CreatePane(430, 200, 400, DockingPaneManager::Top, "听歌 & <歌单> \"1\"", 401);
    manager->AttachPane(ent, nav);
    nav->Select();
    manager->FindPane(430)->Hide();
    showWindow();

    const QString text = manager->SaveStateToString();
    // The layout's element is the text's first node: no declaration in front of it.
    EXPECT_TRUE(text.startsWith("<DockingPaneLayout>"));
    const auto panes = paneElements(text);
    ASSERT_EQ(panes.size(), 3u);
    EXPECT_EQ(panes[0].at("Id"), "410");
    EXPECT_EQ(panes[0].at("Title"), "娱乐");
    EXPECT_EQ(panes[0].at("Side"), "left");
    EXPECT_EQ(panes[0].at("Visible"), "1");
    EXPECT_EQ(panes[0].at("Floating"), "0");
    EXPECT_EQ(panes[0].at("TabbedWith"), "400");
    EXPECT_EQ(panes[1].at("Id"), "400");
    EXPECT_EQ(panes[1].at("TabbedWith"), "410");
    EXPECT_EQ(panes[2].at("Id"), "430");
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
        DockingPane* ent = m->CreatePane(410, 120, 120, DockingPaneManager::Left, "娱乐", 196);
        DockingPane* nav = m->CreatePane(400, 120, 120, DockingPaneManager::Left, "导航", 400);
        m->CreatePane(307, 200, 80, DockingPaneManager::Top, "邮箱", 300)->Hide();
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
    manager->CreatePane(400, 120, 120, DockingPaneManager::Left, "导航", 400);
    DockingPane* mail = manager->CreatePane(307, 200, 80, DockingPaneManager::Top, "邮箱", 300);
    showWindow();
    const QString shown = manager->SaveStateToString();

    mail->Hide();
    QApplication::processEvents();
    const QString hidden = manager->SaveStateToString();
    EXPECT_NE(hidden, shown);
    EXPECT_EQ(paneElements(hidden)[1].at("Visible"), "0");

    manager->ShowPane(307);
    QApplication::processEvents();
    EXPECT_EQ(paneElements(manager->SaveStateToString())[1].at("Visible"), "1");
}

} // namespace
