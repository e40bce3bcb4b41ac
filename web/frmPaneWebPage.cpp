#include "web/frmPaneWebPage.h"

#include "controls/CommandBars.h"
#include "controls/IconStore.h"
#include "controls/StatusBar.h"
#include "core/QvError.h"
#include "core/QvIds.h"
#include "core/clsData.h"
#include "core/modDevelopeFunction.h"
#include "core/modInitial.h"
#include "platform/AnsiCodec.h"
#include "web/BrowserPage.h"
#include "web/cWebBrowser.h"
#include "web/clsActStatus.h"
#include "web/modBrowserFrame.h"
#include "web/modNetworkSettings.h"
#include "web/modSiteIcons.h"
#include "web/modWebHistory.h"

#include <QChildEvent>
#include <QEvent>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWebEngineHttpRequest>
#include <QWebEngineView>

#include <exception>

namespace {

const char* const kToolBarTitle = "浏览器基本功能";

// The page a pop-up is first created in: it hands the address the pop-up wants to the pane and
// goes away without showing anything.
class PopupCatcher : public BrowserPage {
public:
    PopupCatcher(frmPaneWebPage* pane, QObject* parent) : BrowserPage(parent), mPane(pane) {
        NavigationHandler = [this](const QUrl& url, NavigationType, bool isMainFrame) {
            if (!isMainFrame || mCaught)
                return false;
            mCaught = true;
            QPointer<frmPaneWebPage> pane = mPane;
            QTimer::singleShot(0, pane, [pane, url] {
                if (pane && !pane->isClosing())
                    pane->goURL(url.toString());
            });
            deleteLater();
            return false;
        };
        // A pop-up that never navigates (one the page only writes into) is dropped after a while.
        QTimer::singleShot(30000, this, [this] {
            if (!mCaught)
                deleteLater();
        });
    }

private:
    QPointer<frmPaneWebPage> mPane;
    bool mCaught = false;
};

} // namespace

frmPaneWebPage::frmPaneWebPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmPaneWebPage"));
    mContainer = modBrowserFrame::EmbedInnerWindow(this, this, &mInner);

    mHost = new cWebBrowser(this);
    mHost->setHostInfo(mHost->HostInfo() | 0x84);
    mHost->INIAll(this, mContainer);
    connectEngine();
    buildCommandBars();
    buildStatusBar();
    HistoryLogConnect();
}

frmPaneWebPage::~frmPaneWebPage() {
    if (!mReleased) {
        mReleased = true;
        mHost->pvReleaseWBControl();
    }
}

QWebEngineView* frmPaneWebPage::WebBrowser() const {
    return mHost ? mHost->WBCtrl() : nullptr;
}

QWebEnginePage* frmPaneWebPage::page() const {
    return mHost ? mHost->page() : nullptr;
}

void frmPaneWebPage::connectEngine() {
    BrowserPage* browserPage = mHost->page();
    if (!browserPage)
        return;
    modSiteIcons::Watch(browserPage);
    browserPage->NewWindowHandler = [this](QWebEnginePage::WebWindowType) -> QWebEnginePage* {
        if (mClosing || mReleased)
            return nullptr;
        try {
            return newWindowPage();
        } catch (const std::exception& e) {
            reportError(QStringLiteral("NewWindow3"), QString::fromLocal8Bit(e.what()));
            return nullptr;
        }
    };
    connect(browserPage, &QWebEnginePage::loadStarted, this, &frmPaneWebPage::onLoadStarted);
    connect(browserPage, &QWebEnginePage::loadProgress, this, &frmPaneWebPage::onLoadProgress);
    connect(browserPage, &QWebEnginePage::loadFinished, this, &frmPaneWebPage::onLoadFinished);
    connect(browserPage, &QWebEnginePage::titleChanged, this, &frmPaneWebPage::onTitleChanged);
    connect(browserPage, &QWebEnginePage::urlChanged, this, [this] { updateHistoryButtons(); });
    connect(browserPage, &QWebEnginePage::windowCloseRequested, this, [this] {
        // After the engine has returned from telling us.
        QTimer::singleShot(0, this, [this] {
            if (!mClosing)
                emit closeRequested();
        });
    });
    connect(browserPage, &QWebEnginePage::linkHovered, this, [this](const QString& url) {
        if (StatusBarPane* pane = mBars->statusBar()->FindPane(StatusPaneId::BrowserStatusText))
            pane->setText(url);
    });
}

void frmPaneWebPage::buildCommandBars() {
    mBars = new CommandBars(mInner);
    if (modInitial::gIconStore)
        mBars->SetIconStore(modInitial::gIconStore);
    mToolBar = mBars->Add(QString::fromUtf8(kToolBarTitle), CommandBars::Top);
    if (QToolBar* toolBar = mToolBar->toolBar()) {
        toolBar->setMovable(false);
        toolBar->setFloatable(false);
    }
    mBack = mToolBar->Add(CommandBarControl::SplitButtonPopup, Cmd::Back, QStringLiteral("后退"));
    mForward = mToolBar->Add(CommandBarControl::SplitButtonPopup, Cmd::Forward, QStringLiteral("前进"));
    mBack->setEnabled(false);
    mForward->setEnabled(false);
    mToolBar->Add(CommandBarControl::Button, Cmd::Stop, QStringLiteral("停止"));
    mToolBar->Add(CommandBarControl::Button, Cmd::Refresh, QStringLiteral("刷新"));
    CommandBarControl* tools = mToolBar->Add(CommandBarControl::Popup, Cmd::Tools, QStringLiteral("工具"));
    tools->setStyle(CommandBarControl::StyleIconAndCaption);
    CommandBar* toolsMenu = tools->CommandBar();
    toolsMenu->Add(CommandBarControl::Button, Cmd::Print, QStringLiteral("打印..."));
    toolsMenu->Add(CommandBarControl::Button, Cmd::PrintPreview, QStringLiteral("打印预览"));
    toolsMenu->Add(CommandBarControl::Button, Cmd::PageSetup, QStringLiteral("页面设置"));
    toolsMenu->Add(CommandBarControl::Button, Cmd::SaveAs, QStringLiteral("另存为..."))->setBeginGroup(true);
    toolsMenu->Add(CommandBarControl::Button, Cmd::InternetOptions, QStringLiteral("Internet选项"))
        ->setBeginGroup(true);
    connect(mBars, &CommandBars::Execute, this, &frmPaneWebPage::onExecute);
    connect(mBars, &CommandBars::InitCommandsPopup, this, &frmPaneWebPage::onInitPopup);
    mBars->RecalcLayout();
}

void frmPaneWebPage::buildStatusBar() {
    modBrowserFrame::BuildStatusBar(mBars);
}

bool frmPaneWebPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mContainer && event->type() == QEvent::Resize && !mClosing && mHost)
        mHost->ResizeWeb(mContainer->rect());
    return QWidget::eventFilter(watched, event);
}

void frmPaneWebPage::goURL(const QString& strURL, const NavigateOptions& options) {
    if (mReleased || !page())
        return;
    const QUrl url(strURL.trimmed());
    if (!url.isEmpty()) {
        if (!options.PostData) {
            page()->load(url);
        } else {
            QWebEngineHttpRequest request(url, QWebEngineHttpRequest::Post);
            request.setPostData(AnsiCodec::fromUnicode(*options.PostData));
            if (options.Headers) {
                const QStringList lines =
                    (*options.Headers + QStringLiteral("\r\n")).split(QLatin1Char('\n'));
                for (QString line : lines) {
                    line = line.trimmed();
                    const qsizetype colon = line.indexOf(QLatin1Char(':'));
                    if (colon > 0)
                        request.setHeader(line.left(colon).trimmed().toLatin1(),
                                          AnsiCodec::fromUnicode(line.mid(colon + 1).trimmed()));
                }
            }
            page()->load(request);
        }
    }
    mAssigned = true;
}

QWebEnginePage* frmPaneWebPage::newWindowPage() {
    return new PopupCatcher(this, this);
}

void frmPaneWebPage::documentComplete(const QUrl&) {}

void frmPaneWebPage::executeOther(CommandBarControl*) {}

QString frmPaneWebPage::moduleText() const {
    return QStringLiteral("frmPaneWebPage");
}

void frmPaneWebPage::reportError(const QString& procedure, const QString& description) const {
    if (!modInitial::gIsDevelopMode)
        return;
    modDevelopeFunction::WriteLog(QStringLiteral("Error %1 (%2) in 过程 %3 of %4")
                                      .arg(QvErrors::General)
                                      .arg(description, procedure, moduleText()));
}

void frmPaneWebPage::onExecute(CommandBarControl* control) {
    if (!control || mReleased)
        return;
    try {
        QWebEnginePage* current = page();
        switch (control->Id()) {
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
            if (current)
                current->triggerAction(QWebEnginePage::ReloadAndBypassCache);
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
            if (!modNetworkSettings::Open())
                throw QvError(QvErrors::FileNotFound, QStringLiteral("no network settings program found"));
            break;
        case Cmd::HistoryEntry:
            WebHistoryGo(control->Tag().toInt());
            break;
        case Cmd::FavoriteEntry:
            // A library entry: the site's address, shown in this pane.
            goURL(control->Parameter());
            break;
        default:
            executeOther(control);
            break;
        }
    } catch (const QvError& e) {
        if (modInitial::gIsDevelopMode) {
            modDevelopeFunction::WriteLog(QStringLiteral("Error %1 (%2) in 过程 IECommandBars_Execute of %3")
                                              .arg(e.number())
                                              .arg(e.description(), moduleText()));
        }
    } catch (const std::exception& e) {
        reportError(QStringLiteral("IECommandBars_Execute"), QString::fromLocal8Bit(e.what()));
    }
}

void frmPaneWebPage::onInitPopup(CommandBar* popup) {
    if (!popup || mReleased)
        return;
    CommandBarControl* owner = popup->ParentControl();
    if (owner == mBack)
        SetHistoryButton(HistoryBack, popup);
    else if (owner == mForward)
        SetHistoryButton(HistoryForward, popup);
}

bool frmPaneWebPage::HistoryLogConnect() {
    return page() && page()->history();
}

void frmPaneWebPage::updateHistoryButtons() {
    modWebHistory::UpdateButtons(page(), mBack, mForward);
}

void frmPaneWebPage::SetHistoryButton(int flags, CommandBar* menu) {
    modWebHistory::FillMenu(page(), flags, menu);
}

void frmPaneWebPage::WebHistoryGo(int step) {
    modWebHistory::Go(page(), step);
}

void frmPaneWebPage::onLoadStarted() {
    modBrowserFrame::ShowLoadProgress(mBars, 0);
}

void frmPaneWebPage::onLoadProgress(int progress) {
    modBrowserFrame::ShowLoadProgress(mBars, progress);
}

void frmPaneWebPage::onLoadFinished(bool ok) {
    modBrowserFrame::HideLoadProgress(mBars);
    updateHistoryButtons();
    if (!ok || mClosing || mReleased || !page())
        return;
    try {
        documentComplete(page()->url());
    } catch (const std::exception& e) {
        reportError(QStringLiteral("DocumentComplete"), QString::fromLocal8Bit(e.what()));
    }
}

void frmPaneWebPage::onTitleChanged(const QString& title) {
    mCaption = (title.isEmpty() || title == QLatin1String("about:blank")) ? QStringLiteral("新页面") : title;
    setWindowTitle(mCaption);
    emit titleChanged(mCaption);
}

void frmPaneWebPage::RequestClose() {
    if (mReleased)
        return;
    mClosing = true;
    try {
        if (modInitial::gData) {
            if (clsActStatus* status = ActStatusOf(modInitial::gData->UserData()))
                status->RemoveOpenedPageRecord(this);
        }
    } catch (const std::exception& e) {
        reportError(QStringLiteral("QueryUnload"), QString::fromLocal8Bit(e.what()));
    }
    mReleased = true;
    mHost->pvReleaseWBControl();
}
