#include "shell/frmMain.h"

#include "controls/CommandBars.h"
#include "controls/DockingPanes.h"
#include "controls/IconStore.h"
#include "controls/StatusBar.h"
#include "controls/TabbedWorkspace.h"
#include "core/QvError.h"
#include "core/QvIds.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDevelopeFunction.h"
#include "core/modInitial.h"
#include "core/modMessagebox.h"
#include "core/modTools.h"
#include "platform/PlainMessage.h"
#include "platform/SpecialFolders.h"
#include "shell/frmAbout.h"
#include "shell/frmDevelopLog.h"
#include "shell/modSubsystems.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QQuickWidget>
#include <QVBoxLayout>

namespace {

struct PaneSpec {
    int id;
    const char* title;
    int icon;
    int width;
    int height;
    DockingPaneManager::Side side;
};

// The panes in the order they are created.
const PaneSpec kPanes[] = {
    {PaneId::Entertainment, "娱乐", 196, 120, 120, DockingPaneManager::Left},
    {PaneId::Navigation, "导航", 400, 120, 120, DockingPaneManager::Left},
    {PaneId::Music, "听歌", 401, 200, 400, DockingPaneManager::Top},
    {PaneId::Movie, "电影", 404, 200, 400, DockingPaneManager::Top},
    {PaneId::Novel, "小说", 407, 200, 400, DockingPaneManager::Top},
    {PaneId::Mail, "邮箱", 300, 200, 80, DockingPaneManager::Top},
    {PaneId::Search, "搜索", 804, 200, 60, DockingPaneManager::Top},
    {PaneId::Community, "社区", 1084, 1000, 400, DockingPaneManager::Top},
    {PaneId::Stock, "股票", 1083, 1000, 400, DockingPaneManager::Top},
};

// The "我的文档" drop-down: caption and shell folder number, after the button itself (5).
const std::pair<const char*, int> kSpecialFolders[] = {
    {"我的电脑", SpecialFolders::Drives},       {"网络邻居", SpecialFolders::Network},
    {"我的图片", SpecialFolders::MyPictures},   {"我的音乐", SpecialFolders::MyMusic},
    {"控制面板", SpecialFolders::ControlPanel}, {"打印机", SpecialFolders::Printers},
    {"回收站", SpecialFolders::RecycleBin},
};

// Store icons that stand in when the desktop's theme has no icon for a special folder.
int fallbackFolderIcon(int csidl) {
    switch (csidl) {
    case SpecialFolders::Drives:
        return 1212;
    case SpecialFolders::Network:
        return 1245;
    case SpecialFolders::MyPictures:
        return 1228;
    case SpecialFolders::MyMusic:
        return 401;
    case SpecialFolders::ControlPanel:
        return 205;
    case SpecialFolders::Printers:
        return 204;
    case SpecialFolders::RecycleBin:
        return 514;
    default:
        return 850;
    }
}

// The special folder's icon as a store number: the desktop's icon, registered under a fresh
// number once per run, or a store icon of the same meaning.
int specialFolderIconNumber(int csidl) {
    static QHash<int, int> numbers;
    IconStore* store = modInitial::gIconStore;
    if (!store)
        return -1;
    if (numbers.contains(csidl) && store->contains(numbers.value(csidl)))
        return numbers.value(csidl);
    const QIcon themed = SpecialFolders::ThemeIcon(csidl);
    const int number = themed.isNull() ? fallbackFolderIcon(csidl) : store->AddIcon(themed);
    numbers.insert(csidl, number);
    return number;
}

} // namespace

frmMain::Extensions& frmMain::extensions() {
    static Extensions ext;
    return ext;
}

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Quorvel"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    resize(1180, 800);
    IconStore* icons = modInitial::gIconStore;
    if (icons)
        setWindowIcon(icons->icon(799));

    // The workspace for the browser tabs. The first browser window is made by the start-up once
    // this window is on the screen (the web engine's start would delay the window otherwise).
    // The browser tabs draw their pages through the graphics stack (a Qt Quick widget each). A
    // window that holds such a widget from the start is made for that once; otherwise it is
    // made anew (unmapped and mapped again, everything drawn twice) when the first page comes.
    auto* drawingPath = new QQuickWidget(this);
    drawingPath->setObjectName(QStringLiteral("pageDrawingPath"));
    drawingPath->hide();

    mArea = new QMdiArea(this);
    mArea->setObjectName(QStringLiteral("MDIClient"));
    setCentralWidget(mArea);
    mWorkspace = new TabbedWorkspace(mArea);
    modInitial::gWorkspace = mWorkspace;

    // The command bars with the program's icons and font.
    mBars = new CommandBars(this);
    modInitial::gCommandBars = mBars;
    mBars->SetIconStore(icons);
    mBars->SetFont(QFont(QStringLiteral("微软雅黑"), 10));
    connect(mBars, &CommandBars::Execute, this, &frmMain::ExecuteCommand);
    connect(mBars, &CommandBars::InitCommandsPopup, this, &frmMain::onPopup);

    // Tabs for the browser windows (double-clicking the free tab row opens a new one).
    connect(mWorkspace, &TabbedWorkspace::EmptyTabAreaDoubleClicked, this, [] {
        if (auto it = extensions().commands.find(Cmd::NewPage); it != extensions().commands.end())
            it->second(nullptr);
    });

    // The docking panes.
    mPanes = new DockingPaneManager(this);
    mPanes->SetIconStore(icons);
    modInitial::gDockingPanes = mPanes;
    connect(mPanes, &DockingPaneManager::AttachPaneRequested, this, &frmMain::attachPaneContent);
    connect(mPanes, &DockingPaneManager::PaneAction, this,
            [this](DockingPane* pane, DockingPaneManager::Action action, bool* cancel) {
                onPaneAction(pane, int(action), cancel);
            });

    frmDevelopLog::InstallShowDevelopLogHandler();

    buildMenuBar();
    buildToolBars();
    buildStatusBar();
    buildPanes();
    ApplyDefaultArrangement();

    // The user data stores the docking layout at every save.
    clsUserData::SetDockingLayoutProvider([this] { return mPanes->SaveStateToString(); });
}

frmMain::~frmMain() {
    clsUserData::SetDockingLayoutProvider({});
    if (modInitial::gCommandBars == mBars)
        modInitial::gCommandBars = nullptr;
    if (modInitial::gDockingPanes == mPanes)
        modInitial::gDockingPanes = nullptr;
    if (modInitial::gWorkspace == mWorkspace)
        modInitial::gWorkspace = nullptr;
    modInitial::gStatusPane = nullptr;
    modInitial::gDevLogPane = nullptr;
}

void frmMain::buildMenuBar() {
    CommandBar* menuBar = mBars->ActiveMenuBar();

    CommandBarControl* open = menuBar->Add(CommandBarControl::Popup, 0, QStringLiteral("打开"));
    CommandBarControl* c =
        open->CommandBar()->Add(CommandBarControl::Button, Cmd::NewPage, QStringLiteral("新网页"));
    c->setTooltipText(QStringLiteral("打开一个空白的网页"));
    c->setBeginGroup(true);
    c = open->CommandBar()->Add(CommandBarControl::Button, Cmd::Exit, QStringLiteral("退出"));
    c->setBeginGroup(true);

    CommandBarControl* view = menuBar->Add(CommandBarControl::Popup, 0, QStringLiteral("窗口视图"));
    CommandBar* v = view->CommandBar();
    v->Add(CommandBarControl::Button, Cmd::DefaultLayout, QStringLiteral("恢复默认版面"));
    v->Add(CommandBarControl::Button, Cmd::NewPage, QStringLiteral("新网页"))->setBeginGroup(true);
    v->Add(CommandBarControl::Button, Cmd::TileHorizontal, QStringLiteral("横向平铺"));
    v->Add(CommandBarControl::Button, Cmd::TileVertical, QStringLiteral("纵向屏幕"));
    v->Add(CommandBarControl::Button, Cmd::Cascade, QStringLiteral("层叠"));
    v->Add(CommandBarControl::Popup, Cmd::WindowList, QStringLiteral("窗体列表"));

    CommandBarControl* help = menuBar->Add(CommandBarControl::Popup, 0, QStringLiteral("帮助"));
    help->CommandBar()
        ->Add(CommandBarControl::Button, Cmd::CheckUpdate, QStringLiteral("检查更新"))
        ->setBeginGroup(true);
    help->CommandBar()->Add(CommandBarControl::Button, Cmd::About, QStringLiteral("关于本软件"));

    c = menuBar->Add(CommandBarControl::Button, Cmd::Feedback, QStringLiteral("我要提意见！"));
    c->setIconId(410);
    c->setStyle(CommandBarControl::StyleIconAndCaption);
    c->setTooltipText(QStringLiteral("给我们写信"));
    c->setRightAligned(true);
}

void frmMain::buildToolBars() {
    mToolBar = mBars->Add(QStringLiteral("工具"), CommandBars::Top);
    CommandBarControl* c = mToolBar->Add(CommandBarControl::Button, Cmd::NewPage, QStringLiteral("新网页"));
    c->setTooltipText(QStringLiteral("打开一个空白的网页"));
    c->setStyle(CommandBarControl::StyleIconAndCaption);

    if (extensions().addNotesControl) {
        if (CommandBarControl* notes = extensions().addNotesControl(mToolBar))
            notes->setTooltipText(QStringLiteral("便签功能可以让你随时记录下电话信息,别人的口信等"));
    }

    mSuperSearch = mToolBar->Add(CommandBarControl::Button, Cmd::SuperSearch, QStringLiteral("超级搜索"));
    mSuperSearch->setIconId(SearchIcon::SuperSearch);
    mSuperSearch->setStyle(CommandBarControl::StyleIconAndCaption);
    mSuperSearch->setTooltipText(QStringLiteral("超强的搜索功能, 搜索各种资讯"));

    CommandBarControl* docs =
        mToolBar->Add(CommandBarControl::SplitButtonPopup, Cmd::SpecialFolder, QStringLiteral("我的文档"));
    docs->setParameter(QString::number(SpecialFolders::Personal));
    docs->setStyle(CommandBarControl::StyleIconAndCaption);
    docs->setIconId(specialFolderIconNumber(SpecialFolders::Personal));
    // The entries' icons are looked up in the desktop's theme when the list first opens: each
    // look-up searches the theme's folders, and the start has better things to do.
    for (const auto& [caption, csidl] : kSpecialFolders) {
        CommandBarControl* entry = docs->CommandBar()->Add(CommandBarControl::Button, Cmd::SpecialFolder,
                                                           QString::fromUtf8(caption));
        entry->setParameter(QString::number(csidl));
    }
    mSpecialFolders = docs->CommandBar();

    if (extensions().addRecentDocumentsMenu)
        extensions().addRecentDocumentsMenu(mToolBar);

    // The local software bar.
    mLocalBar = mBars->Add(QStringLiteral("本地工具"), CommandBars::Top);
    if (extensions().addLocalSoftware)
        extensions().addLocalSoftware(mLocalBar);

    // The debug bar, in developer mode only.
    if (modInitial::gIsDevelopMode) {
        mDebugBar = mBars->Add(QStringLiteral("调试菜单"), CommandBars::Top);
        mDebugBar->Add(CommandBarControl::Label, Cmd::FocusLabel, QStringLiteral("FOCUSINWEBBROWSER"));
    }
}

void frmMain::buildStatusBar() {
    StatusBar* status = mBars->statusBar();
    status->AddPane(StatusPaneId::Main)->setVisible(false);

    StatusBarPane* welcome = status->AddPane(StatusPaneId::Welcome);
    welcome->setText(QStringLiteral("欢迎使用Quorvel"));
    welcome->setBold(true);
    welcome->setFontFamily(QStringLiteral("微软雅黑"));
    welcome->setStretch(true);
    modInitial::gStatusPane = welcome;

    if (modInitial::gIsDevelopMode) {
        StatusBarPane* log = status->AddPane(StatusPaneId::DevelopLog);
        log->setWidth(300);
        log->setText(QStringLiteral("日志"));
        log->setClickable(true);
        modInitial::gDevLogPane = log->widget();
    }

    mVersionPane = status->AddPane(StatusPaneId::Version);
    mVersionPane->setWidth(100);
    mVersionPane->setText(
        QStringLiteral("当前版本:V%1.%2").arg(modInitial::VersionMajor()).arg(modInitial::VersionMinor()));

    connect(status, &StatusBar::PaneClick, this, [](int id) {
        if (id == StatusPaneId::DevelopLog)
            modDevelopeFunction::ShowDevelopLog();
    });
}

void frmMain::buildPanes() {
    for (const PaneSpec& spec : kPanes)
        mPanes->CreatePane(spec.id, spec.width, spec.height, spec.side, QString::fromUtf8(spec.title),
                           spec.icon);
}

void frmMain::ApplyDefaultArrangement() {
    mWorkspace->Tabbed();
    mBars->RecalcLayout();
    mBars->DockRightOf(mLocalBar, mToolBar);
    if (mDebugBar)
        mBars->DockRightOf(mDebugBar, mLocalBar);

    DockingPane* nav = mPanes->FindPane(PaneId::Navigation);
    DockingPane* ent = mPanes->FindPane(PaneId::Entertainment);
    if (nav && ent) {
        nav->Select();
        ent->Select();
        mPanes->AttachPane(ent, nav);
        nav->Select();
    }
    for (int id : {PaneId::Music, PaneId::Movie, PaneId::Novel, PaneId::Mail, PaneId::Search,
                   PaneId::Community, PaneId::Stock}) {
        if (DockingPane* pane = mPanes->FindPane(id))
            pane->Hide();
    }
}

void frmMain::ToggleAdvancedSearch() {
    DockingPane* pane = mPanes->FindPane(PaneId::AdvancedSearch);
    if (!pane || pane->IsClosed()) {
        showAdvSearchPane();
    } else {
        pane->Close();
        mSuperSearch->setChecked(false);
    }
}

void frmMain::showAdvSearchPane() {
    // A live pane is brought forward; a missing or closed one is made anew.
    mPanes->CreatePane(PaneId::AdvancedSearch, 200, 140, DockingPaneManager::Top, QStringLiteral("超级搜索"),
                       SearchIcon::SuperSearch);
    mSuperSearch->setChecked(true);
}

QWidget* frmMain::ensurePaneContent(DockingPane* pane) {
    const int id = pane->Id();
    QWidget* content = mPaneContents.value(id);
    if (content)
        return content;
    if (extensions().createPaneContent)
        content = extensions().createPaneContent(id);
    if (!content) {
        // The subsystem of this pane has not plugged in its window: an empty area under the title.
        content = new QWidget;
        content->setObjectName(QStringLiteral("emptyPane%1").arg(id));
    }
    mPaneContents.insert(id, content);
    return content;
}

void frmMain::attachPaneContent(DockingPane* pane) {
    QWidget* content = ensurePaneContent(pane);
    if (pane->Handle() == content)
        return;
    pane->setHandle(content);
    if (extensions().paneContentAttached)
        extensions().paneContentAttached(pane->Id(), content);
}

void frmMain::onPaneAction(DockingPane* pane, int action, bool* cancel) {
    const int id = pane->Id();
    if (action == DockingPaneManager::Closing) {
        // The panes of the window only hide: their windows and pages stay as they are.
        const bool fixedPane = std::any_of(std::begin(kPanes), std::end(kPanes),
                                           [id](const PaneSpec& spec) { return spec.id == id; });
        if (fixedPane) {
            *cancel = true;
            pane->Hide();
        } else if (id == PaneId::AdvancedSearch) {
            mPaneContents.remove(id);
            mSuperSearch->setChecked(false);
        }
        return;
    }
    if (action == DockingPaneManager::Expanding) {
        if (id == PaneId::Mail || id == PaneId::Search)
            attachPaneContent(pane);
        if (extensions().paneExpanding)
            extensions().paneExpanding(id, mPaneContents.value(id));
    }
}

void frmMain::fillWindowList(CommandBar* popup) {
    popup->DeleteAll();
    const QList<QWidget*> windows = mWorkspace->Windows();
    QWidget* active = mWorkspace->ActiveWindow();
    for (int i = 0; i < windows.size(); ++i) {
        const QString title =
            windows[i]->windowTitle().isEmpty() ? QStringLiteral("新页面") : windows[i]->windowTitle();
        CommandBarControl* item = popup->Add(CommandBarControl::Button, Cmd::WindowList,
                                             QStringLiteral("&%1 %2").arg(i + 1).arg(title));
        item->setTag(i);
        item->setIconId(-1);
        item->setChecked(windows[i] == active);
    }
    if (windows.isEmpty())
        popup->Add(CommandBarControl::Button, Cmd::WindowList, QStringLiteral("(无)"))->setEnabled(false);
}

void frmMain::onPopup(CommandBar* popup) {
    if (popup->ParentControl() && popup->ParentControl()->Id() == Cmd::WindowList)
        fillWindowList(popup);
    if (popup == mSpecialFolders) {
        mSpecialFolders = nullptr;
        for (CommandBarControl* entry : popup->Controls())
            entry->setIconId(specialFolderIconNumber(entry->Parameter().toInt()));
    }
}

void frmMain::ExecuteCommand(CommandBarControl* control) {
    if (!control)
        return;
    const int id = control->Id();
    auto& commands = extensions().commands;
    switch (id) {
    case Cmd::Exit:
        // The updater waits until this program has ended; the window itself stays open.
        modInitial::StartUpdater();
        return;
    case Cmd::DefaultLayout:
        ApplyDefaultArrangement();
        return;
    case Cmd::Cascade:
        mWorkspace->Arrange(TabbedWorkspace::Cascade);
        return;
    case Cmd::TileHorizontal:
        mWorkspace->Arrange(TabbedWorkspace::TileHorizontal);
        return;
    case Cmd::TileVertical:
        mWorkspace->Arrange(TabbedWorkspace::TileVertical);
        return;
    case Cmd::WindowList: {
        const QList<QWidget*> windows = mWorkspace->Windows();
        const int index = control->Tag().toInt();
        if (control->Tag().isValid() && index >= 0 && index < windows.size())
            mWorkspace->Activate(windows[index]);
        return;
    }
    case Cmd::About:
        try {
            frmAbout::ShowModeless(this);
        } catch (const QvError& e) {
            ShowPlainMessage(QStringLiteral("关于本软件无法显示：%1").arg(e.description()));
        }
        return;
    case Cmd::Feedback:
        modTools::MailToMaker();
        return;
    case Cmd::SuperSearch:
        ToggleAdvancedSearch();
        return;
    case Cmd::SpecialFolder:
        SpecialFolders::Open(control->Parameter().toInt());
        return;
    case Cmd::OpenRecentFile:
    case Cmd::OpenProgram:
        modTools::OpenFile(control->Parameter());
        return;
    case Cmd::MSNInquiry:
        modTools::ShowMSNInquiry();
        return;
    case Cmd::QQInquiry:
        modTools::OpenQQInquiry();
        return;
    case Cmd::RescanSoftware:
        if (auto it = commands.find(id); it != commands.end())
            it->second(control);
        // The bar that held the command now lists the programs the scan found.
        if (CommandBar* bar = control->Parent(); bar && modInitial::gData) {
            bar->DeleteAll();
            modInitial::gData->UserData()->LocalSoftLoadToCommandBar(bar);
        }
        return;
    default:
        if (auto it = commands.find(id); it != commands.end())
            it->second(control);
        return;
    }
}

void frmMain::paintEvent(QPaintEvent* event) {
    QMainWindow::paintEvent(event);
    if (!mPainted) {
        mPainted = true;
        // Marks the end of start-up for whoever times it.
        if (modInitial::gIsDevelopMode)
            modDevelopeFunction::WriteLog(QStringLiteral("主窗口已显示"));
        // A benchmark that cannot watch the window system learns the moment from here.
        modSubsystems::ReportToBenchmark("exposed");
    }
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (mUnloaded) {
        event->accept();
        return;
    }
    // Only the user's close from the window frame asks; the program's own close (and a
    // termination signal, which closes the window through the program) does not.
    if (event->spontaneous() && modMessagebox::ConfirmExit() == Answer::No) {
        event->ignore();
        return;
    }
    mUnloaded = true;
    event->accept();
    if (extensions().beforeSave)
        extensions().beforeSave();
    modInitial::Shutdown();
}
