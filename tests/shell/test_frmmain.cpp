#include "controls/AutoHideTab.h"
#include "controls/CommandBars.h"
#include "controls/DockingPanes.h"
#include "controls/IconStore.h"
#include "controls/StatusBar.h"
#include "controls/TabbedWorkspace.h"
#include "controls/TaskDialog.h"
#include "core/QvIds.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "platform/ShellService.h"
#include "shell/frmMain.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDockWidget>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest/qtestspontaneevent.h>
#include <gtest/gtest.h>

#include "common/RecordingShell.h"

#include "common/TestSupport.h"

namespace {

struct Place {
    QString caption;
    QString bar; // the title of the bar or popup that holds the control
};

// A main window over a program folder of its own, with the stores a real start has.
class MainWindowTest : public ::testing::Test {
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
        TaskDialog::SetAnswerer({});
    }
    void TearDown() override {
        window.reset();
        TaskDialog::SetAnswerer({});
        ShellService::setInstance(nullptr);
        frmMain::extensions() = frmMain::Extensions();
        delete modInitial::gData;
        modInitial::gData = nullptr;
        modInitial::gIconStore = nullptr;
        delete icons;
        modInitial::gIsDevelopMode = false;
        modInitial::gDevLog.reset();
    }
    frmMain* open(bool developMode = false) {
        modInitial::gIsDevelopMode = developMode;
        if (developMode)
            modInitial::gDevLog = std::make_unique<QStringList>();
        window = std::make_unique<frmMain>();
        window->show();
        QCoreApplication::processEvents();
        return window.get();
    }
    // Where a control sits: its caption and the caption of the popup (or the title of the bar).
    static QList<Place> places(CommandBars* bars, int id) {
        QList<Place> out;
        for (CommandBarControl* c : bars->FindControls(id)) {
            CommandBar* bar = c->Parent();
            out.append({c->Caption(), bar->ParentControl() ? bar->ParentControl()->Caption() : bar->Title()});
        }
        return out;
    }
    static bool sitsIn(const QList<Place>& list, const QString& caption, const QString& bar) {
        return std::any_of(list.begin(), list.end(),
                           [&](const Place& p) { return p.caption == caption && p.bar == bar; });
    }
    void closeFromFrame() {
        QCloseEvent event;
        QSpontaneKeyEvent::setSpontaneous(&event);
        QCoreApplication::instance()->notify(window.get(), &event);
    }

    QTemporaryDir dir;
    IconStore* icons = nullptr;
    RecordingShell shell;
    std::unique_ptr<frmMain> window;
};

} // namespace

TEST_F(MainWindowTest, EveryCommandOfTheWindowHasItsCaptionPlaceAndIcon) {
    frmMain* w = open();
    CommandBars* bars = w->commandBars();
    const QString menuBar = bars->ActiveMenuBar()->Title();
    QStringList popups;
    for (CommandBarControl* c : bars->ActiveMenuBar()->Controls())
        popups << c->Caption();
    EXPECT_EQ(popups, QStringList({"打开", "窗口视图", "帮助", "我要提意见！"}));

    EXPECT_TRUE(sitsIn(places(bars, Cmd::NewPage), "新网页", "打开"));
    EXPECT_TRUE(sitsIn(places(bars, Cmd::NewPage), "新网页", "窗口视图"));
    EXPECT_TRUE(sitsIn(places(bars, Cmd::NewPage), "新网页", "工具"));
    EXPECT_TRUE(sitsIn(places(bars, Cmd::Exit), "退出", "打开"));
    EXPECT_TRUE(sitsIn(places(bars, Cmd::DefaultLayout), "恢复默认版面", "窗口视图"));
    EXPECT_TRUE(sitsIn(places(bars, Cmd::TileHorizontal), "横向平铺", "窗口视图"));
    EXPECT_TRUE(sitsIn(places(bars, Cmd::TileVertical), "纵向屏幕", "窗口视图"));
    EXPECT_TRUE(sitsIn(places(bars, Cmd::Cascade), "层叠", "窗口视图"));
    EXPECT_TRUE(sitsIn(places(bars, Cmd::WindowList), "窗体列表", "窗口视图"));
    EXPECT_TRUE(sitsIn(places(bars, Cmd::CheckUpdate), "检查更新", "帮助"));
    EXPECT_TRUE(sitsIn(places(bars, Cmd::About), "关于本软件", "帮助"));
    EXPECT_TRUE(sitsIn(places(bars, Cmd::SuperSearch), "超级搜索", "工具"));
    EXPECT_TRUE(sitsIn(places(bars, Cmd::SpecialFolder), "我的文档", "工具"));
    EXPECT_TRUE(places(bars, Cmd::FocusLabel).isEmpty()) << "the debug bar exists in developer mode only";

    // Order and groups inside the popups.
    CommandBar* view = bars->ActiveMenuBar()->Item(1)->CommandBar();
    QList<int> ids;
    for (CommandBarControl* c : view->Controls())
        ids << c->Id();
    EXPECT_EQ(ids, QList<int>({Cmd::DefaultLayout, Cmd::NewPage, Cmd::TileHorizontal, Cmd::TileVertical,
                               Cmd::Cascade, Cmd::WindowList}));
    EXPECT_TRUE(view->Item(1)->BeginGroup());
    CommandBar* openMenu = bars->ActiveMenuBar()->Item(0)->CommandBar();
    EXPECT_EQ(openMenu->Item(0)->TooltipText(), "打开一个空白的网页");
    EXPECT_TRUE(openMenu->Item(1)->BeginGroup());
    EXPECT_TRUE(bars->ActiveMenuBar()->Item(2)->CommandBar()->Item(0)->BeginGroup());

    CommandBarControl* feedback = bars->ActiveMenuBar()->Find(Cmd::Feedback);
    ASSERT_NE(feedback, nullptr);
    EXPECT_EQ(feedback->IconId(), 410);
    EXPECT_EQ(feedback->TooltipText(), "给我们写信");
    EXPECT_TRUE(feedback->RightAligned());

    CommandBarControl* super = w->superSearchButton();
    EXPECT_EQ(super->IconId(), SearchIcon::SuperSearch);
    EXPECT_EQ(super->TooltipText(), "超强的搜索功能, 搜索各种资讯");
    EXPECT_EQ(super->style(), CommandBarControl::StyleIconAndCaption);
    CommandBarControl* newPage = w->toolBarTools()->Find(Cmd::NewPage);
    EXPECT_EQ(newPage->IconId(), Cmd::NewPage) << "a control without its own icon shows the icon of its id";
    EXPECT_FALSE(newPage->action()->icon().isNull());

    // "我的文档" and the special folders of its drop-down, each with an icon once it opens.
    CommandBarControl* docs = w->toolBarTools()->Find(Cmd::SpecialFolder);
    EXPECT_EQ(docs->type(), CommandBarControl::SplitButtonPopup);
    EXPECT_EQ(docs->Parameter(), "5");
    EXPECT_FALSE(docs->action()->icon().isNull());
    QMenu* list = docs->CommandBar()->menu();
    list->popup(QPoint(0, 0));
    list->hide();
    QStringList entries;
    QSet<int> icons;
    for (CommandBarControl* c : docs->CommandBar()->Controls()) {
        entries << c->Caption() + "=" + c->Parameter();
        EXPECT_FALSE(c->action()->icon().isNull()) << c->Caption().toStdString();
        icons.insert(c->IconId());
    }
    EXPECT_EQ(icons.size(), 7) << "each special folder shows its own icon";
    EXPECT_EQ(entries, QStringList({"我的电脑=17", "网络邻居=19", "我的图片=39", "我的音乐=13", "控制面板=3",
                                    "打印机=4", "回收站=10"}));
    Q_UNUSED(menuBar);
}

TEST_F(MainWindowTest, StatusBarHasThreePanesOrFourInDeveloperMode) {
    frmMain* w = open(false);
    StatusBar* status = w->commandBars()->statusBar();
    EXPECT_EQ(status->VisiblePaneCount(), 3 - 1) << "the main pane is hidden";
    EXPECT_EQ(status->Panes().size(), 3);
    EXPECT_EQ(status->FindPane(StatusPaneId::Welcome)->Text(), "欢迎使用Quorvel");
    EXPECT_EQ(
        status->FindPane(StatusPaneId::Version)->Text(),
        QStringLiteral("当前版本:V%1.%2").arg(modInitial::VersionMajor()).arg(modInitial::VersionMinor()));
    EXPECT_EQ(status->FindPane(StatusPaneId::DevelopLog), nullptr);
    window.reset();

    w = open(true);
    status = w->commandBars()->statusBar();
    ASSERT_EQ(status->Panes().size(), 4);
    StatusBarPane* log = status->FindPane(StatusPaneId::DevelopLog);
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(log->Clickable());
    EXPECT_EQ(log->Width(), 300);
    EXPECT_EQ(modInitial::gDevLogPane.data(), log->widget());
    EXPECT_NE(w->toolBarDebug(), nullptr);
    EXPECT_EQ(w->toolBarDebug()->Find(Cmd::FocusLabel)->type(), CommandBarControl::Label);
}

TEST_F(MainWindowTest, PanesAreCreatedInOrderAndArrangedByDefault) {
    QList<int> attached;
    frmMain::extensions().createPaneContent = [&](int id) {
        attached << id;
        auto* label = new QLabel(QStringLiteral("content %1").arg(id));
        return static_cast<QWidget*>(label);
    };
    frmMain* w = open();
    DockingPaneManager* panes = w->dockingPanes();
    QList<int> ids;
    for (DockingPane* p : panes->Panes())
        ids << p->Id();
    EXPECT_EQ(ids,
              QList<int>({PaneId::Entertainment, PaneId::Navigation, PaneId::Music, PaneId::Movie,
                          PaneId::Novel, PaneId::Mail, PaneId::Search, PaneId::Community, PaneId::Stock}));
    EXPECT_EQ(panes->FindPane(PaneId::Navigation)->Title(), "导航");
    EXPECT_EQ(panes->FindPane(PaneId::Community)->Title(), "社区");
    EXPECT_EQ(panes->FindPane(PaneId::Stock)->IconId(), 1083);
    EXPECT_EQ(w->dockWidgetArea(panes->FindPane(PaneId::Navigation)->dockWidget()), Qt::LeftDockWidgetArea);
    // An auto-hidden pane is out of the window's dock layout; its tab shows its side.
    ASSERT_NE(panes->FindPane(PaneId::Mail)->tab(), nullptr);
    EXPECT_EQ(panes->FindPane(PaneId::Mail)->tab()->area(), Qt::TopDockWidgetArea);

    // Entertainment and navigation share one frame, navigation in front; the top panes are hidden.
    EXPECT_TRUE(w->tabifiedDockWidgets(panes->FindPane(PaneId::Navigation)->dockWidget())
                    .contains(panes->FindPane(PaneId::Entertainment)->dockWidget()));
    EXPECT_FALSE(panes->FindPane(PaneId::Navigation)->IsHidden());
    for (int id : {PaneId::Music, PaneId::Movie, PaneId::Novel, PaneId::Mail, PaneId::Search,
                   PaneId::Community, PaneId::Stock})
        EXPECT_TRUE(panes->FindPane(id)->IsHidden()) << id;
    EXPECT_TRUE(attached.contains(PaneId::Navigation));
    EXPECT_FALSE(attached.contains(PaneId::Mail)) << "hidden panes get their window when first shown";

    // The default arrangement comes back with "恢复默认版面".
    panes->ShowPane(PaneId::Mail);
    QCoreApplication::processEvents();
    EXPECT_TRUE(attached.contains(PaneId::Mail));
    w->commandBars()->FindControl(Cmd::DefaultLayout)->Execute();
    EXPECT_TRUE(panes->FindPane(PaneId::Mail)->IsHidden());
}

TEST_F(MainWindowTest, ClosingASidePaneOnlyHidesItAndItComesBackWithItsContent) {
    frmMain* w = open();
    DockingPane* nav = w->dockingPanes()->FindPane(PaneId::Navigation);
    QWidget* content = nav->Handle();
    ASSERT_NE(content, nullptr);
    content->setProperty("marker", 42);
    nav->Close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(nav->IsClosed());
    EXPECT_TRUE(nav->IsHidden());
    EXPECT_EQ(w->dockingPanes()->FindPane(PaneId::Navigation), nav);
    w->dockingPanes()->ShowPane(PaneId::Navigation);
    QCoreApplication::processEvents();
    EXPECT_EQ(nav->Handle(), content);
    EXPECT_EQ(nav->Handle()->property("marker").toInt(), 42);
}

TEST_F(MainWindowTest, SuperSearchTogglesTheAdvancedPaneAndItsCheckMark) {
    frmMain* w = open();
    CommandBarControl* button = w->superSearchButton();
    EXPECT_EQ(w->dockingPanes()->FindPane(PaneId::AdvancedSearch), nullptr);
    button->Execute();
    QCoreApplication::processEvents();
    DockingPane* pane = w->dockingPanes()->FindPane(PaneId::AdvancedSearch);
    ASSERT_NE(pane, nullptr);
    EXPECT_FALSE(pane->IsHidden());
    EXPECT_EQ(w->dockWidgetArea(pane->dockWidget()), Qt::TopDockWidgetArea);
    EXPECT_TRUE(button->Checked());
    button->Execute();
    QCoreApplication::processEvents();
    EXPECT_EQ(w->dockingPanes()->FindPane(PaneId::AdvancedSearch), nullptr);
    EXPECT_FALSE(button->Checked());
    // And once more: it opens again.
    button->Execute();
    EXPECT_NE(w->dockingPanes()->FindPane(PaneId::AdvancedSearch), nullptr);
    EXPECT_TRUE(button->Checked());
}

TEST_F(MainWindowTest, CommandsReachTheirHandlers) {
    QList<int> ran;
    frmMain::extensions().commands[Cmd::NewPage] = [&](CommandBarControl*) { ran << Cmd::NewPage; };
    frmMain::extensions().commands[Cmd::CheckUpdate] = [&](CommandBarControl*) { ran << Cmd::CheckUpdate; };
    frmMain* w = open();
    w->toolBarTools()->Find(Cmd::NewPage)->Execute();
    w->commandBars()->FindControl(Cmd::CheckUpdate)->Execute();
    EXPECT_EQ(ran, QList<int>({Cmd::NewPage, Cmd::CheckUpdate}));

    modInitial::gInquiryQQ = "http://qq.example/ask";
    w->commandBars()->FindControl(Cmd::Feedback)->Execute();
    EXPECT_TRUE(shell.opened.last().startsWith("mailto:")) << shell.opened.join(',').toStdString();

    // The drop-down entries open their special folder.
    const int before = int(shell.opened.size());
    w->toolBarTools()->Find(Cmd::SpecialFolder)->CommandBar()->Item(6)->Execute(); // "回收站"
    EXPECT_GT(shell.opened.size(), before);
    EXPECT_TRUE(shell.opened.last().contains("trash", Qt::CaseInsensitive))
        << shell.opened.last().toStdString();

    // The window list activates the chosen child window.
    auto* a = new QWidget;
    a->setWindowTitle("A");
    auto* b = new QWidget;
    b->setWindowTitle("B");
    w->workspace()->AddWindow(a);
    w->workspace()->AddWindow(b);
    CommandBar* list = w->commandBars()->FindControl(Cmd::WindowList)->CommandBar();
    emit w->commandBars()->InitCommandsPopup(list);
    ASSERT_EQ(list->Count(), 2);
    EXPECT_EQ(list->Item(0)->Caption(), "&1 A");
    list->Item(0)->Execute();
    EXPECT_EQ(w->workspace()->ActiveWindow(), a);
}

TEST_F(MainWindowTest, RescanRefillsTheBarWithTheFoundPrograms) {
    bool scanned = false;
    frmMain::extensions().commands[Cmd::RescanSoftware] = [&](CommandBarControl*) {
        scanned = true;
        modInitial::gData->UserData()->LocalSoftUpdateByXMLString(
            "<localsofts><localsoft lsid=\"sh\" caption=\"Shell\" file=\"/bin/sh\" tip=\"the shell\"/>"
            "<localsoft lsid=\"ls\" caption=\"List\" file=\"/bin/ls\" tip=\"\"/></localsofts>");
    };
    frmMain* w = open();
    CommandBar* bar = w->toolBarLocal();
    bar->Add(CommandBarControl::Button, Cmd::RescanSoftware, "扫描");
    bar->Find(Cmd::RescanSoftware)->Execute();
    QCoreApplication::processEvents();
    EXPECT_TRUE(scanned);
    ASSERT_EQ(bar->Count(), 2);
    EXPECT_EQ(bar->Item(0)->Id(), Cmd::OpenProgram);
    EXPECT_EQ(bar->Item(0)->Caption(), "Shell");
    EXPECT_EQ(bar->Item(0)->Parameter(), "/bin/sh");
    EXPECT_EQ(bar->Item(0)->TooltipText(), "the shell");
    EXPECT_TRUE(icons->contains(bar->Item(0)->IconId()));
    EXPECT_FALSE(bar->Item(0)->action()->icon().isNull());
    bar->Item(1)->Execute();
    EXPECT_EQ(shell.opened.last(), "/bin/ls");
}

TEST_F(MainWindowTest, ACloseFromTheFrameAsksAndNoKeepsTheWindowOpen) {
    frmMain* w = open();
    QStringList asked;
    TaskDialog::SetAnswerer([&](const TaskDialog& d) -> std::optional<int> {
        asked << d.MainInstructionText;
        return Answer::No;
    });
    const QByteArray before = qvtest::readFile(dir.filePath("Data/User.dat"));
    closeFromFrame();
    EXPECT_EQ(asked, QStringList({"真的要退出Quorvel？"}));
    EXPECT_TRUE(w->isVisible());
    EXPECT_NE(modInitial::gData, nullptr);
    EXPECT_EQ(qvtest::readFile(dir.filePath("Data/User.dat")), before) << "nothing is saved";

    // The program's own close does not ask.
    asked.clear();
    TaskDialog::SetAnswerer([&](const TaskDialog& d) -> std::optional<int> {
        asked << d.MainInstructionText;
        return Answer::Yes;
    });
    closeFromFrame();
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(modInitial::gData, nullptr) << "the unload released the hub";
    const QString saved = modDataFile::ReadEncryptedFile(dir.filePath("Data/User.dat"));
    EXPECT_TRUE(saved.contains("<dockinglayout><DockingPaneLayout")) << saved.toStdString();
    EXPECT_TRUE(saved.contains(QStringLiteral("Id=\"%1\"").arg(PaneId::Navigation)));
}

TEST_F(MainWindowTest, TheProgramsOwnCloseDoesNotAsk) {
    frmMain* w = open();
    bool asked = false;
    TaskDialog::SetAnswerer([&](const TaskDialog&) -> std::optional<int> {
        asked = true;
        return Answer::No;
    });
    w->close();
    EXPECT_FALSE(asked);
    EXPECT_EQ(modInitial::gData, nullptr);
    EXPECT_TRUE(modDataFile::ReadEncryptedFile(dir.filePath("Data/User.dat")).contains("<dockinglayout>"));
}

TEST_F(MainWindowTest, DoubleClickOnTheFreeTabRowOpensANewPage) {
    int newPages = 0;
    frmMain::extensions().commands[Cmd::NewPage] = [&](CommandBarControl*) { ++newPages; };
    frmMain* w = open();
    emit w->workspace()->EmptyTabAreaDoubleClicked();
    EXPECT_EQ(newPages, 1);
}
