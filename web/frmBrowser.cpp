#include "web/frmBrowser.h"

#include "controls/CommandBars.h"
#include "controls/DockingPanes.h"
#include "controls/IconStore.h"
#include "controls/StatusBar.h"
#include "controls/TabbedWorkspace.h"
#include "core/QvIds.h"
#include "core/cRegistry.h"
#include "core/clsData.h"
#include "core/modDevelopeFunction.h"
#include "core/modFolders.h"
#include "core/modInitial.h"
#include "core/modTools.h"
#include "platform/AnsiCodec.h"
#include "platform/RegistryView.h"
#include "web/BrowserPage.h"
#include "web/InnerPages.h"
#include "web/PageLifecycle.h"
#include "web/cWebBrowser.h"
#include "web/clsActStatus.h"
#include "web/clsRecentClosedPages.h"
#include "web/cltWebPage.h"
#include "web/modBrowserFrame.h"
#include "web/modNetworkSettings.h"
#include "web/modURLHandle.h"
#include "web/modWebHistory.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFont>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QWebEngineHttpRequest>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <exception>

namespace {

const char* const kToolBarTitle = "浏览器基本功能";
const char* const kNewPageCaption = "新页面";
const char* const kTypedUrlsKey = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
const char* const kStartPageKey = "Software\\Microsoft\\Internet Explorer\\Main";
const char* const kDefaultInnerPage = "rcp";
// Image of an address without a site icon.
constexpr int kDefaultPageIcon = 799;
// A window that nobody shows still navigates after this long.
constexpr int kInitialWaitLimitMs = 5000;

QList<frmBrowser*>& openWindows() {
    static QList<frmBrowser*> windows;
    return windows;
}

std::function<void(frmBrowser*, CommandBar*)>& favoritesFiller() {
    static std::function<void(frmBrowser*, CommandBar*)> fill;
    return fill;
}

std::function<void(frmBrowser*, CommandBarControl*)>& favoritesRunner() {
    static std::function<void(frmBrowser*, CommandBarControl*)> run;
    return run;
}

std::function<void(frmBrowser*, CommandBar*)>& assistantInitialiser() {
    static std::function<void(frmBrowser*, CommandBar*)> init;
    return init;
}

QIcon storeIcon(int number) {
    return modInitial::gIconStore ? modInitial::gIconStore->icon(number) : QIcon();
}

bool isBlank(const QUrl& url) {
    return url.toString() == QLatin1String("about:blank");
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Creation and release

frmBrowser::frmBrowser(QWidget* parent) : QWidget(parent) {
    openWindows().append(this);
    setAttribute(Qt::WA_DeleteOnClose);
    mCaption = QString::fromUtf8(kNewPageCaption);
    setWindowTitle(mCaption);

    mContainer = modBrowserFrame::EmbedInnerWindow(this, this, &mInner);

    mHost = new cWebBrowser(this);
    // No 3D border, flat scroll bars.
    mHost->setHostInfo(mHost->HostInfo() | 0x84);
    mHost->INIAll(this, mContainer);
    connectEngine();
    buildCommandBars();
    buildStatusBar();
    mLoaded = true;
    showDefaultIcon();
    HistoryLogConnect();
    try {
        if (modInitial::gData) {
            if (clsActStatus* status = ActStatusOf(modInitial::gData->UserData())) {
                RecentclosedPages = status->RecentlyClosedPages();
                if (RecentclosedPages)
                    connect(RecentclosedPages, &clsRecentClosedPages::Changed, this,
                            &frmBrowser::onRecentlyClosedChanged);
            }
        }
    } catch (const std::exception& e) {
        reportError(QStringLiteral("Load"), QString::fromLocal8Bit(e.what()));
    }
}

frmBrowser::~frmBrowser() {
    openWindows().removeAll(this);
    if (!mReleased)
        releaseWindow();
}

QList<frmBrowser*> frmBrowser::AllWindows() {
    return openWindows();
}

void frmBrowser::CloseAllWindows() {
    const QList<frmBrowser*> windows = openWindows();
    for (frmBrowser* window : windows) {
        QPointer<frmBrowser> alive(window);
        if (alive)
            alive->RequestClose(true);
    }
}

void frmBrowser::connectEngine() {
    BrowserPage* browserPage = mHost->page();
    QWebEngineView* view = mHost->WBCtrl();
    if (!browserPage || !view)
        return;
    browserPage->NavigationHandler = [this](const QUrl& url, QWebEnginePage::NavigationType type,
                                            bool isMainFrame) {
        return onNavigationRequest(url, int(type), isMainFrame);
    };
    browserPage->NewWindowHandler = [this](QWebEnginePage::WebWindowType) { return onNewWindowRequest(); };
    connect(browserPage, &QWebEnginePage::urlChanged, this, &frmBrowser::onUrlChanged);
    connect(browserPage, &QWebEnginePage::loadStarted, this, &frmBrowser::onLoadStarted);
    connect(browserPage, &QWebEnginePage::loadProgress, this, &frmBrowser::onLoadProgress);
    connect(browserPage, &QWebEnginePage::loadFinished, this, &frmBrowser::onLoadFinished);
    connect(browserPage, &QWebEnginePage::titleChanged, this, &frmBrowser::onTitleChanged);
    connect(browserPage, &QWebEnginePage::iconChanged, this, &frmBrowser::onSiteIconChanged);
    connect(browserPage, &QWebEnginePage::windowCloseRequested, this, &frmBrowser::onWindowCloseRequested);
    connect(browserPage, &QWebEnginePage::linkHovered, this, [this](const QString& url) {
        if (StatusBarPane* pane =
                mBars ? mBars->statusBar()->FindPane(StatusPaneId::BrowserStatusText) : nullptr)
            pane->setText(url);
    });
}

void frmBrowser::buildCommandBars() {
    mBars = new CommandBars(mInner);
    if (modInitial::gIconStore)
        mBars->SetIconStore(modInitial::gIconStore);
    CommandBar* bar = mBars->Add(QString::fromUtf8(kToolBarTitle), CommandBars::Top);
    if (QToolBar* toolBar = bar->toolBar()) {
        toolBar->setMovable(false);
        toolBar->setFloatable(false);
    }

    bar->Add(CommandBarControl::Button, Cmd::NewPage, QStringLiteral("新建"));
    mBack = bar->Add(CommandBarControl::SplitButtonPopup, Cmd::Back, QStringLiteral("后退"));
    mForward = bar->Add(CommandBarControl::SplitButtonPopup, Cmd::Forward, QStringLiteral("前进"));
    mBack->setEnabled(false);
    mForward->setEnabled(false);
    bar->Add(CommandBarControl::Button, Cmd::Stop, QStringLiteral("停止"));
    bar->Add(CommandBarControl::Button, Cmd::Refresh, QStringLiteral("刷新"));
    bar->Add(CommandBarControl::Button, Cmd::Home, QStringLiteral("主页"));

    CommandBarControl* favorites =
        bar->Add(CommandBarControl::Popup, Cmd::Favorites, QStringLiteral("收藏夹"));
    favorites->setBeginGroup(true);
    favorites->setStyle(CommandBarControl::StyleIconAndCaption);
    CommandBarControl* add = favorites->CommandBar()->Add(CommandBarControl::Button, Cmd::AddFavorite,
                                                          QStringLiteral("添加到收藏..."));
    add->setTooltipText(QStringLiteral("添加当前页到收藏夹"));
    CommandBarControl* organize = favorites->CommandBar()->Add(
        CommandBarControl::Button, Cmd::OrganizeFavorites, QStringLiteral("整理收藏夹..."));
    organize->setTooltipText(QStringLiteral("打开收藏文件夹"));

    mAddress = bar->Add(CommandBarControl::ComboBox, Cmd::Address, QStringLiteral("URL"));
    mAddress->setTooltipText(QStringLiteral("请输入网址"));
    if (QComboBox* combo = mAddress->comboBox()) {
        combo->setFont(QFont(QStringLiteral("Arial")));
        combo->setMinimumWidth(240);
        mAddressIcon = new QAction(storeIcon(kDefaultPageIcon), QString(), combo);
        combo->lineEdit()->addAction(mAddressIcon, QLineEdit::LeadingPosition);
        connect(combo->lineEdit(), &QLineEdit::textEdited, this, [this] { mAddressEdited = true; });
        connect(combo, &QComboBox::activated, this, &frmBrowser::onAddressChosen);
        // The list's window hides before the choice is reported; the flag lives until then.
        if (QWidget* list = combo->view() ? combo->view()->window() : nullptr)
            list->installEventFilter(this);
    }

    CommandBarControl* search = bar->Add(CommandBarControl::Button, Cmd::Search, QStringLiteral("搜索"));
    search->setBeginGroup(true);
    search->setTooltipText(QStringLiteral("打开超强搜索面板"));
    search->setStyle(CommandBarControl::StyleIconAndCaption);
    CommandBarControl* assistant =
        bar->Add(CommandBarControl::ButtonPopup, Cmd::Assistant, QStringLiteral("助手"));
    assistant->setTooltipText(QStringLiteral("提供超强的办公助手功能"));
    assistant->setStyle(CommandBarControl::StyleIconAndCaption);

    CommandBarControl* tools = bar->Add(CommandBarControl::Popup, Cmd::Tools, QStringLiteral("工具"));
    tools->setStyle(CommandBarControl::StyleIconAndCaption);
    CommandBar* toolsMenu = tools->CommandBar();
    toolsMenu->Add(CommandBarControl::Button, Cmd::Print, QStringLiteral("打印..."));
    toolsMenu->Add(CommandBarControl::Button, Cmd::PrintPreview, QStringLiteral("打印预览"));
    toolsMenu->Add(CommandBarControl::Button, Cmd::PageSetup, QStringLiteral("页面设置"));
    toolsMenu->Add(CommandBarControl::Button, Cmd::SaveAs, QStringLiteral("另存为..."))->setBeginGroup(true);
    toolsMenu->Add(CommandBarControl::Button, Cmd::InternetOptions, QStringLiteral("Internet选项"))
        ->setBeginGroup(true);

    connect(mBars, &CommandBars::Execute, this, &frmBrowser::onExecute);
    connect(mBars, &CommandBars::InitCommandsPopup, this, &frmBrowser::onInitPopup);
    connect(mBars, &CommandBars::ComboBoxDropDown, this, [this](CommandBarControl* control) {
        if (control == mAddress)
            onAddressDropDown();
    });
    mBars->RecalcLayout();
}

void frmBrowser::buildStatusBar() {
    modBrowserFrame::BuildStatusBar(mBars);
}

void frmBrowser::releaseWindow() {
    mReleased = true;
    if (RecentclosedPages)
        disconnect(RecentclosedPages, nullptr, this, nullptr);
    RecentclosedPages = nullptr;
    if (mHost)
        mHost->pvReleaseWBControl();
}

QWebEngineView* frmBrowser::WebBrowser() const {
    return mHost ? mHost->WBCtrl() : nullptr;
}

QWebEnginePage* frmBrowser::page() const {
    return mHost ? mHost->page() : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Events

bool frmBrowser::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::WindowActivate:
        finishInitialising();
        break;
    case QEvent::ParentChange:
        attachFrame(qobject_cast<QMdiSubWindow*>(parentWidget()));
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void frmBrowser::finishInitialising() {
    mInitialising = false;
    if (!mPendingNavigation)
        return;
    const std::function<void()> navigation = std::move(mPendingNavigation);
    mPendingNavigation = nullptr;
    navigation();
}

bool frmBrowser::deferWhileInitialising(std::function<void()> navigation) {
    if (!mInitialising)
        return false;
    // The navigation runs when the window is first shown. A later request replaces an earlier
    // one, as a second navigation replaces the first in any browser; a window that nobody shows
    // still navigates after a while instead of keeping its request for ever.
    if (!mPendingNavigation)
        QTimer::singleShot(kInitialWaitLimitMs, this, &frmBrowser::finishInitialising);
    mPendingNavigation = std::move(navigation);
    return true;
}

void frmBrowser::attachFrame(QMdiSubWindow* frame) {
    if (frame == mFrame)
        return;
    if (mFrame)
        mFrame->removeEventFilter(this);
    mFrame = frame;
    if (!frame)
        return;
    // The frame's close (its tab's close button) is a close request of this window.
    frame->installEventFilter(this);
    frame->setWindowTitle(mCaption);
    frame->setWindowIcon(mSmallIcon);
    if (TabbedWorkspace* workspace = TabbedWorkspace::Of(frame))
        connect(workspace, &TabbedWorkspace::ShownWindowsChanged, this, &frmBrowser::updateOnShow,
                Qt::UniqueConnection);
    updateOnShow();
}

void frmBrowser::updateOnShow() {
    if (mReleased)
        return;
    if (PageLifecycle* lifecycle = PageLifecycle::Watch(WebBrowser()))
        lifecycle->SetOnShow(isOnShow());
}

bool frmBrowser::isOnShow() const {
    TabbedWorkspace* workspace = mFrame ? TabbedWorkspace::Of(mFrame) : nullptr;
    return !workspace || workspace->IsOnShow(this);
}

bool frmBrowser::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mContainer && event->type() == QEvent::Resize) {
        if (!mClosing && mHost)
            mHost->ResizeWeb(mContainer->rect());
        return false;
    }
    if (watched == mFrame && event->type() == QEvent::Close) {
        if (mReleased)
            return false;
        if (!closeRequest(QCoreApplication::closingDown())) {
            event->ignore();
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::Hide && mAddress && mAddress->comboBox() && mAddress->comboBox()->view() &&
        watched == mAddress->comboBox()->view()->window()) {
        QTimer::singleShot(0, this, [this] { mAddressListOpen = false; });
        return false;
    }
    return QWidget::eventFilter(watched, event);
}

void frmBrowser::closeEvent(QCloseEvent* event) {
    if (mReleased) {
        event->accept();
        return;
    }
    // A close from the system (the window manager, the session ending) is no close command of
    // the program, so it never turns the window into the "rcp" page.
    const bool fromApplication = QCoreApplication::closingDown() || event->spontaneous();
    if (closeRequest(fromApplication))
        event->accept();
    else
        event->ignore();
}

// ---------------------------------------------------------------------------------------------
// Navigation

void frmBrowser::goURL(const QString& strURL, const NavigateOptions& options) {
    if (mReleased || !page() || deferWhileInitialising([this, strURL, options] { goURL(strURL, options); }))
        return;
    showAddress(strURL, true);
    mAddressEdited = false;

    const QUrl url(strURL.trimmed());
    if (url.isEmpty())
        return;
    if (!options.PostData) {
        page()->load(url);
        return;
    }
    QWebEngineHttpRequest request(url, QWebEngineHttpRequest::Post);
    request.setPostData(AnsiCodec::fromUnicode(*options.PostData));
    if (options.Headers) {
        // The header text is CR LF separated "Name: value" lines, ended by CR LF.
        const QString headers = *options.Headers + QStringLiteral("\r\n");
        const QStringList lines = headers.split(QLatin1Char('\n'));
        for (QString line : lines) {
            line = line.trimmed();
            const qsizetype colon = line.indexOf(QLatin1Char(':'));
            if (line.isEmpty() || colon <= 0)
                continue;
            request.setHeader(line.left(colon).trimmed().toLatin1(),
                              AnsiCodec::fromUnicode(line.mid(colon + 1).trimmed()));
        }
    }
    page()->load(request);
}

void frmBrowser::GoInnerPage(const QString& InnerPageName) {
    if (mReleased || !page() || deferWhileInitialising([this, InnerPageName] { GoInnerPage(InnerPageName); }))
        return;
    strInnerPageName = InnerPageName;
    showAddress(QString(), true);
    mAddressEdited = false;
    // Loading the page's own address again reloads it in place, without a new history entry.
    page()->load(InnerPages::Url(InnerPageName));
}

bool frmBrowser::isInnerPage() const {
    return mHost && mHost->ShowsInnerPage();
}

QString frmBrowser::displayAddress(const QUrl& url) const {
    if (url.isEmpty() || isBlank(url) || InnerPages::IsInnerUrl(url))
        return QString();
    return url.toString();
}

void frmBrowser::showPageKind(const QUrl& url) {
    // What the window shows around the page follows the page's address, however the page came.
    const bool inner = InnerPages::IsInnerUrl(url);
    if (inner) {
        strInnerPageName = InnerPages::NameOf(url);
        mHost->set_m_bContextMenu(false);
        if (!mProgramIconShown)
            showProgramIcon();
    } else {
        mHost->set_m_bContextMenu(true);
        if (mProgramIconShown)
            showDefaultIcon();
    }
}

bool frmBrowser::onNavigationRequest(const QUrl& url, int type, bool isMainFrame) {
    if (!isMainFrame)
        return true;
    if (mReleased)
        return false;
    const auto navigation = QWebEnginePage::NavigationType(type);
    // Internal pages are opened by the program, the history or another internal page; an
    // ordinary page cannot send the user there (the engine refuses it as well).
    if (InnerPages::IsInnerUrl(url) && !isInnerPage() && navigation != QWebEnginePage::NavigationTypeTyped &&
        navigation != QWebEnginePage::NavigationTypeBackForward &&
        navigation != QWebEnginePage::NavigationTypeReload)
        return false;
    if (navigation == QWebEnginePage::NavigationTypeLinkClicked)
        mAddressEdited = false;
    if (!AddressBoxActive())
        showAddress(displayAddress(url), false);
    return true;
}

QWebEnginePage* frmBrowser::onNewWindowRequest() {
    if (mClosing || mReleased)
        return nullptr;
    try {
        frmBrowser* window = cltWebPage::Global()->Add(QString());
        return window ? window->page() : nullptr;
    } catch (const std::exception& e) {
        reportError(QStringLiteral("NewWindow3"), QString::fromLocal8Bit(e.what()));
        return nullptr;
    }
}

void frmBrowser::onUrlChanged(const QUrl& url) {
    if (mReleased)
        return;
    showPageKind(url);
    if (!AddressBoxActive())
        showAddress(displayAddress(url), false);
    updateHistoryButtons();
}

void frmBrowser::onLoadStarted() {
    modBrowserFrame::ShowLoadProgress(mBars, 0);
}

void frmBrowser::onLoadProgress(int progress) {
    modBrowserFrame::ShowLoadProgress(mBars, progress);
}

void frmBrowser::onLoadFinished(bool ok) {
    modBrowserFrame::HideLoadProgress(mBars);
    updateHistoryButtons();
    if (mReleased || !page() || !ok || isInnerPage())
        return;
    const QUrl url = page()->url();
    if (!AddressBoxActive())
        showAddress(displayAddress(url), false);
    if (modInitial::gData && !url.isEmpty()) {
        try {
            if (clsActStatus* status = ActStatusOf(modInitial::gData->UserData()))
                status->UpdateOpenedPage(this, url.toString());
        } catch (const std::exception& e) {
            reportError(QStringLiteral("DocumentComplete"), QString::fromLocal8Bit(e.what()));
        }
    }
}

void frmBrowser::onTitleChanged(const QString& title) {
    // A page without a title of its own (yet) is reported with its address as the title.
    if (title.isEmpty() || title == QLatin1String("about:blank") || InnerPages::IsInnerUrl(QUrl(title)))
        setCaption(QString::fromUtf8(kNewPageCaption));
    else
        setCaption(title);
}

void frmBrowser::setCaption(const QString& caption) {
    mCaption = caption;
    setWindowTitle(caption);
    if (mFrame)
        mFrame->setWindowTitle(caption);
    emit titleChanged(caption);
}

void frmBrowser::onSiteIconChanged(const QIcon& icon) {
    if (isInnerPage() || mReleased)
        return;
    if (icon.isNull()) {
        showDefaultIcon();
        return;
    }
    setSmallIcon(icon);
    mProgramIconShown = false;
    if (mAddressIcon)
        mAddressIcon->setIcon(icon);
}

void frmBrowser::setSmallIcon(const QIcon& icon) {
    mSmallIcon = icon;
    setWindowIcon(icon);
    if (mFrame)
        mFrame->setWindowIcon(icon);
    emit iconChanged(icon);
}

void frmBrowser::showDefaultIcon() {
    const QIcon icon =
        !modInitial::gIEIconSmall.isNull() ? modInitial::gIEIconSmall : storeIcon(kDefaultPageIcon);
    setSmallIcon(icon);
    mProgramIconShown = false;
    if (mAddressIcon)
        mAddressIcon->setIcon(storeIcon(kDefaultPageIcon));
}

void frmBrowser::showProgramIcon() {
    const QIcon program = QApplication::windowIcon();
    if (program.isNull()) {
        showDefaultIcon();
        return;
    }
    setSmallIcon(program);
    mProgramIconShown = true;
    if (mAddressIcon)
        mAddressIcon->setIcon(program);
}

void frmBrowser::onWindowCloseRequested() {
    // The page's own window.close(): the window goes as if closed by the program, once the
    // engine has returned from telling us.
    QTimer::singleShot(0, this, [this] {
        if (!mReleased)
            RequestClose(false);
    });
}

void frmBrowser::onRecentlyClosedChanged() {
    if (mClosing || mReleased || !isInnerPage() || strInnerPageName != QLatin1String(kDefaultInnerPage) ||
        mInnerRefreshPending)
        return;
    // Several changes in a row (a close adds, a full list drops the oldest) show the page once.
    mInnerRefreshPending = true;
    QTimer::singleShot(0, this, [this] {
        mInnerRefreshPending = false;
        if (!mClosing && !mReleased && isInnerPage() && strInnerPageName == QLatin1String(kDefaultInnerPage))
            GoInnerPage(strInnerPageName);
    });
}

// ---------------------------------------------------------------------------------------------
// Address box

QString frmBrowser::AddressText() const {
    return mAddress && mAddress->comboBox() ? mAddress->comboBox()->currentText() : QString();
}

bool frmBrowser::AddressBoxActive() const {
    QComboBox* combo = mAddress ? mAddress->comboBox() : nullptr;
    if (!combo)
        return false;
    return mAddressEdited || combo->hasFocus() || (combo->lineEdit() && combo->lineEdit()->hasFocus());
}

void frmBrowser::showAddress(const QString& address, bool force) {
    QComboBox* combo = mAddress ? mAddress->comboBox() : nullptr;
    if (!combo || (!force && AddressBoxActive()))
        return;
    if (combo->currentText() != address)
        combo->setEditText(address);
}

void frmBrowser::onAddressDropDown() {
    QComboBox* combo = mAddress ? mAddress->comboBox() : nullptr;
    if (!combo)
        return;
    try {
        const QString text = combo->currentText();
        const bool edited = mAddressEdited;
        combo->clear();
        cRegistry registry;
        registry.ClassKey = HKEY_CURRENT_USER;
        registry.SectionKey = QString::fromLatin1(kTypedUrlsKey);
        QStringList names;
        int count = 0;
        registry.EnumerateValues(names, count);
        const QIcon icon = storeIcon(kDefaultPageIcon);
        for (const QString& name : std::as_const(names)) {
            registry.ValueKey = name;
            const QString address = registry.Value().toString().trimmed();
            if (!address.isEmpty())
                combo->addItem(icon, address);
        }
        combo->setEditText(text);
        mAddressEdited = edited;
        mAddressListOpen = true;
    } catch (const std::exception& e) {
        reportError(QStringLiteral("AddressDropDown"), QString::fromLocal8Bit(e.what()));
    }
}

void frmBrowser::onAddressChosen(int index) {
    QComboBox* combo = mAddress ? mAddress->comboBox() : nullptr;
    if (!combo || !mAddressListOpen || index < 0)
        return;
    mAddressListOpen = false;
    const QString address = combo->itemText(index);
    if (!address.isEmpty())
        goURL(address);
}

void frmBrowser::onAddressEnter() {
    const QString address = modURLHandle::AddressWithScheme(AddressText());
    if (address.isEmpty())
        return;
    mAddressListOpen = false;
    RegistryView::instance().addTypedUrl(address);
    goURL(address);
    // The user is done with the box; the page takes the keys again.
    if (mHost)
        mHost->setFocus(true);
}

// ---------------------------------------------------------------------------------------------
// Commands

void frmBrowser::onExecute(CommandBarControl* control) {
    if (!control || mReleased)
        return;
    try {
        QWebEnginePage* current = page();
        switch (control->Id()) {
        case Cmd::NewPage:
            cltWebPage::Global()->OpenNewPage();
            break;
        case Cmd::Back:
            if (current)
                current->triggerAction(QWebEnginePage::Back);
            break;
        case Cmd::Forward:
            if (current)
                current->triggerAction(QWebEnginePage::Forward);
            break;
        case Cmd::Stop:
            if (current)
                current->triggerAction(QWebEnginePage::Stop);
            break;
        case Cmd::Refresh:
            if (isInnerPage())
                GoInnerPage(strInnerPageName);
            else if (current)
                current->triggerAction(QWebEnginePage::ReloadAndBypassCache);
            break;
        case Cmd::Home:
            goHome();
            break;
        case Cmd::AddFavorite:
            mHost->Exec(cWebBrowser::CmdAddFavorite);
            break;
        case Cmd::OrganizeFavorites:
        case Cmd::FavoriteEntry:
            if (favoritesRunner())
                favoritesRunner()(this, control);
            break;
        case Cmd::Address:
            onAddressEnter();
            break;
        case Cmd::Search:
            if (modInitial::gDockingPanes)
                modInitial::gDockingPanes->ShowPane(PaneId::Search);
            break;
        case Cmd::Print:
            mHost->Exec(cWebBrowser::CmdPrint);
            break;
        case Cmd::PrintPreview:
            mHost->Exec(cWebBrowser::CmdPrintPreview);
            break;
        case Cmd::PageSetup:
            mHost->Exec(cWebBrowser::CmdPageSetup);
            break;
        case Cmd::SaveAs:
            mHost->Exec(cWebBrowser::CmdSaveAs);
            break;
        case Cmd::InternetOptions:
            openNetworkSettings();
            break;
        case Cmd::HistoryEntry:
            WebHistoryGo(control->Tag().toInt());
            break;
        default:
            break;
        }
    } catch (const std::exception& e) {
        reportError(QStringLiteral("Execute"), QString::fromLocal8Bit(e.what()));
    }
}

void frmBrowser::onInitPopup(CommandBar* popup) {
    if (!popup || mReleased)
        return;
    try {
        CommandBarControl* owner = popup->ParentControl();
        const int id = owner ? owner->Id() : 0;
        if (owner == mBack) {
            SetHistoryButton(HistoryBack, popup);
        } else if (owner == mForward) {
            SetHistoryButton(HistoryForward, popup);
        } else if (id == Cmd::Favorites || id == Cmd::FavoriteFolder) {
            const QList<CommandBarControl*> controls = popup->Controls();
            for (CommandBarControl* control : controls) {
                if (control->Id() == Cmd::FavoriteEntry || control->Id() == Cmd::FavoriteFolder)
                    popup->Remove(control);
            }
            if (favoritesFiller())
                favoritesFiller()(this, popup);
        } else if (id == Cmd::Assistant && !mAssistantInitialised) {
            mAssistantInitialised = true;
            if (assistantInitialiser())
                assistantInitialiser()(this, popup);
        }
    } catch (const std::exception& e) {
        reportError(QStringLiteral("InitCommandsPopup"), QString::fromLocal8Bit(e.what()));
    }
}

void frmBrowser::SetFavoritesMenuHandler(std::function<void(frmBrowser*, CommandBar*)> fill,
                                         std::function<void(frmBrowser*, CommandBarControl*)> run) {
    favoritesFiller() = std::move(fill);
    favoritesRunner() = std::move(run);
}

void frmBrowser::SetAssistantMenuHandler(std::function<void(frmBrowser*, CommandBar*)> init) {
    assistantInitialiser() = std::move(init);
}

void frmBrowser::goHome() {
    // The start page of the registry when one is set, the program's own new-tab page otherwise.
    cRegistry registry;
    registry.ClassKey = HKEY_CURRENT_USER;
    registry.SectionKey = QString::fromLatin1(kStartPageKey);
    registry.ValueKey = QStringLiteral("Start Page");
    const QString start = registry.Value().toString().trimmed();
    if (start.isEmpty() || start == QLatin1String("about:blank"))
        GoInnerPage(QString::fromLatin1(kDefaultInnerPage));
    else
        goURL(modURLHandle::AddressWithScheme(start));
}

void frmBrowser::openNetworkSettings() {
    if (!modNetworkSettings::Open())
        reportError(QStringLiteral("InternetOptions"), QStringLiteral("no network settings program found"));
}

// ---------------------------------------------------------------------------------------------
// History

bool frmBrowser::HistoryLogConnect() {
    return page() && page()->history();
}

void frmBrowser::updateHistoryButtons() {
    modWebHistory::UpdateButtons(page(), mBack, mForward);
}

void frmBrowser::SetHistoryButton(int flags, CommandBar* menu) {
    modWebHistory::FillMenu(page(), flags, menu);
}

void frmBrowser::WebHistoryGo(int step) {
    modWebHistory::Go(page(), step);
}

// ---------------------------------------------------------------------------------------------
// Closing

bool frmBrowser::RequestClose(bool fromApplication) {
    if (!mReleased && !closeRequest(fromApplication))
        return false;
    // Released: the frame (with its tab) or the window itself goes.
    if (mFrame)
        mFrame->close();
    else
        close();
    return true;
}

clsRecentClosedPages* frmBrowser::recentlyClosedList() {
    if (RecentclosedPages)
        return RecentclosedPages;
    if (!modInitial::gData)
        return nullptr;
    clsActStatus* status = ActStatusOf(modInitial::gData->UserData());
    return status ? status->RecentlyClosedPages() : nullptr;
}

void frmBrowser::recordClosedPage() {
    if (isInnerPage() || !page())
        return;
    // The page's own address: what the user may have typed into the box without going there
    // is no page that was closed.
    const QUrl url = page()->url();
    if (url.isEmpty() || isBlank(url) || InnerPages::IsInnerUrl(url))
        return;
    const QDateTime now = QDateTime::currentDateTime();
    const QString handle = cWebBrowser::WindowHandle(this);
    const QString key = QString::number(modTools::GetTimeSerial(now)) + handle;
    const QString thumbnail = modFolders::CacheFolder() + QLatin1Char('/') + key + QStringLiteral(".bmp");
    bool saved = false;
    try {
        saved = mHost->SaveToBmp(thumbnail);
    } catch (const std::exception& e) {
        reportError(QStringLiteral("SaveToBmp"), QString::fromLocal8Bit(e.what()));
    }
    if (clsRecentClosedPages* list = recentlyClosedList())
        list->Add(now, url.toString(), mCaption, QString(), saved ? thumbnail : QString(), handle, key);
}

bool frmBrowser::closeRequest(bool fromApplication) {
    if (mReleased)
        return true;
    mClosing = true;
    try {
        // When the whole program closes, the user data has already been saved: a record made
        // now would be lost and its thumbnail left behind in Cache, so nothing is recorded.
        if (!fromApplication)
            recordClosedPage();
    } catch (const std::exception& e) {
        reportError(QStringLiteral("QueryUnload"), QString::fromLocal8Bit(e.what()));
    }
    bool lastTab = false;
    try {
        TabbedWorkspace* workspace = modInitial::gWorkspace;
        lastTab =
            !fromApplication && workspace && workspace->TabIndexOf(this) >= 0 && workspace->TabCount() == 1;
    } catch (const std::exception& e) {
        reportError(QStringLiteral("QueryUnload"), QString::fromLocal8Bit(e.what()));
    }
    if (lastTab) {
        // The last tab stays, with the new-tab page; the window takes pop-ups and list changes
        // again.
        mClosing = false;
        GoInnerPage(strInnerPageName.isEmpty() ? QString::fromLatin1(kDefaultInnerPage) : strInnerPageName);
        return false;
    }
    hide();
    releaseWindow();
    return true;
}

void frmBrowser::reportError(const QString& where, const QString& what) {
    if (modInitial::gIsDevelopMode)
        modDevelopeFunction::WriteLog(QStringLiteral("frmBrowser ") + where + QStringLiteral(": ") + what);
}
