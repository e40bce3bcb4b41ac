#pragma once
#include "web/NavigateOptions.h"
#include "web/modWebHistory.h"

#include <QIcon>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>

class CommandBars;
class CommandBarControl;
class CommandBar;
class QComboBox;
class QMainWindow;
class QMdiSubWindow;
class QWebEngineView;
class QWebEnginePage;
class cWebBrowser;
class clsRecentClosedPages;

// A browser window: one tab of the main window with the navigation tool bar "浏览器基本功能",
// the address box, a status bar and the page. It records its address in the session state,
// keeps its icon with the site, opens pop-ups in new tabs and, when closed, records the page in
// the recently closed list with a thumbnail. It can show the internal page "rcp", which comes
// from the program's own scheme (InnerPages); nothing the window does decides whether a page
// sees the host objects.
class frmBrowser : public QWidget {
    Q_OBJECT
public:
    // History menu flags.
    static constexpr int HistoryBack = modWebHistory::HistoryBack;
    static constexpr int HistoryForward = modWebHistory::HistoryForward;
    static constexpr int MaxHistoryEntries = modWebHistory::MaxHistoryEntries;

    explicit frmBrowser(QWidget* parent = nullptr);
    ~frmBrowser() override;

    // The engine's view (null after the window was released).
    QWebEngineView* WebBrowser() const;
    QWebEnginePage* page() const;
    cWebBrowser* host() const { return mHost; }
    bool isFirstLoad = false;
    QString strInnerPageName;
    // Whether the page shown is an internal page (its address has the internal scheme).
    bool isInnerPage() const;
    bool isClosing() const { return mClosing; }

    // Navigates; a window not shown yet navigates when it is first shown (the latest request
    // wins). With PostData the request is a POST of its GBK bytes with the Headers ("Name: value"
    // lines).
    void goURL(const QString& strURL, const NavigateOptions& options = {});
    // Shows an internal page by name ("qv://<name>/"; "rcp" is the common data's prehtml/rcp),
    // reloading it in place when it is shown already. Deferred like goURL.
    void GoInnerPage(const QString& InnerPageName);

    // The address box's text, the caption.
    QString AddressText() const;
    QString Caption() const { return mCaption; }
    // The icon shown for the window and its tab.
    QIcon SmallIcon() const { return mSmallIcon; }
    CommandBars* commandBars() const { return mBars; }
    // True while the user works in the address box (it has the focus or was edited since the
    // last navigation); navigations then leave its text alone.
    bool AddressBoxActive() const;

    // The close request of the window's own close command (the tab's close button) or of the
    // program; `fromApplication` is true when the whole program closes.
    // Returns true when the window went, false when it turned into the "rcp" page instead.
    bool RequestClose(bool fromApplication = false);
    // Closes every browser window as the program ends (no window turns into the "rcp" page).
    static void CloseAllWindows();
    static QList<frmBrowser*> AllWindows();

    // The travel log is the engine's history; true when there is one.
    bool HistoryLogConnect();
    // History menus: at most 30 entries, relative steps -1, -2 ... back, 1, 2 ... forward.
    void SetHistoryButton(int flags, CommandBar* menu);
    void WebHistoryGo(int step);

    // Where the favorites and assistant subsystems plug in. The favorites menu (Cmd::Favorites)
    // and its folders (Cmd::FavoriteFolder) are filled by `fill` each time they open, after their
    // Cmd::FavoriteEntry and Cmd::FavoriteFolder entries were removed; `run` gets the favorites
    // commands (Cmd::OrganizeFavorites and the Cmd::FavoriteEntry entries). The assistant menu
    // (Cmd::Assistant) is given to `init` on its first opening.
    static void SetFavoritesMenuHandler(std::function<void(frmBrowser*, CommandBar*)> fill,
                                        std::function<void(frmBrowser*, CommandBarControl*)> run);
    static void SetAssistantMenuHandler(std::function<void(frmBrowser*, CommandBar*)> init);

signals:
    void titleChanged(const QString& caption);
    void iconChanged(const QIcon& icon);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class frmBrowserPrivateAccess;
    void buildCommandBars();
    void buildStatusBar();
    void connectEngine();
    void onExecute(CommandBarControl* control);
    void onInitPopup(CommandBar* popup);
    void onAddressDropDown();
    void onAddressEnter();
    bool onNavigationRequest(const QUrl& url, int type, bool isMainFrame);
    QWebEnginePage* onNewWindowRequest();
    void onUrlChanged(const QUrl& url);
    void showPageKind(const QUrl& url);
    void onLoadStarted();
    void onLoadProgress(int progress);
    void onLoadFinished(bool ok);
    void onTitleChanged(const QString& title);
    void onSiteIconChanged(const QIcon& icon);
    void onRecentlyClosedChanged();
    void onWindowCloseRequested();
    void onAddressChosen(int index);
    void updateHistoryButtons();
    void showAddress(const QString& address, bool force);
    void setCaption(const QString& caption);
    void setSmallIcon(const QIcon& icon);
    void showDefaultIcon();
    void showProgramIcon();
    void finishInitialising();
    // Keeps `navigation` for the window's first showing; false when the window is shown already.
    bool deferWhileInitialising(std::function<void()> navigation);
    void goHome();
    void openNetworkSettings();
    void attachFrame(QMdiSubWindow* frame);
    // Tells the page whether the window is on show in its workspace (a tab under the current
    // one is not), so that a page nobody sees neither renders nor animates.
    void updateOnShow();
    bool isOnShow() const;
    // The close request's steps; true when the window is released and may go.
    bool closeRequest(bool fromApplication);
    void recordClosedPage();
    void releaseWindow();
    QString displayAddress(const QUrl& url) const;
    clsRecentClosedPages* recentlyClosedList();
    static void reportError(const QString& where, const QString& what);

    QMainWindow* mInner = nullptr;
    QWidget* mContainer = nullptr;
    CommandBars* mBars = nullptr;
    cWebBrowser* mHost = nullptr;
    CommandBarControl* mAddress = nullptr;
    CommandBarControl* mBack = nullptr;
    CommandBarControl* mForward = nullptr;
    QAction* mAddressIcon = nullptr;
    QPointer<QMdiSubWindow> mFrame;
    QPointer<clsRecentClosedPages> RecentclosedPages;
    QString mCaption;
    QIcon mSmallIcon;
    bool mInitialising = true;
    // What goURL or GoInnerPage asked for before the window was first shown.
    std::function<void()> mPendingNavigation;
    bool mClosing = false;
    bool mLoaded = false;
    bool mReleased = false;
    // The program's icon (an internal page's) is shown, rather than a site's or the default.
    bool mProgramIconShown = false;
    bool mAddressEdited = false;
    // The address list is open, so a chosen entry navigates.
    bool mAddressListOpen = false;
    bool mAssistantInitialised = false;
    bool mInnerRefreshPending = false;
};
