#pragma once
#include "web/NavigateOptions.h"
#include "web/modWebHistory.h"

#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

class CommandBar;
class CommandBarControl;
class CommandBars;
class QMainWindow;
class QWebEnginePage;
class QWebEngineView;
class cWebBrowser;

// A web pane: a docked page with the reduced browser tool bar "浏览器基本功能" (back and forward
// with their history menus, stop, refresh and the tools menu), a status bar and the page, hosted
// like a browser window. It keeps its pages to itself: library entries (Cmd::FavoriteEntry) and pop-ups of
// its page navigate the pane.
class frmPaneWebPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int HistoryBack = modWebHistory::HistoryBack;
    static constexpr int HistoryForward = modWebHistory::HistoryForward;
    static constexpr int MaxHistoryEntries = modWebHistory::MaxHistoryEntries;

    explicit frmPaneWebPage(QWidget* parent = nullptr);
    ~frmPaneWebPage() override;

    QWebEngineView* WebBrowser() const;
    QWebEnginePage* page() const;
    cWebBrowser* host() const { return mHost; }
    CommandBars* commandBars() const { return mBars; }
    // The tool bar, where the main window adds the library menus.
    CommandBar* toolBar() const { return mToolBar; }
    // The main-window pane that shows this window (0 when none was told).
    int PaneId = 0;

    // Navigates the pane; with PostData the request is a POST of its GBK bytes with the Headers.
    void goURL(const QString& strURL, const NavigateOptions& options = {});
    // True once goURL was called.
    bool isAssignedURL() const { return mAssigned; }
    QString Caption() const { return mCaption; }
    bool isClosing() const { return mClosing; }

    bool HistoryLogConnect();
    // Fills a history menu: at most 30 entries (Cmd::HistoryEntry), relative steps -1, -2 ... or 1, 2 ...
    void SetHistoryButton(int flags, CommandBar* menu);
    void WebHistoryGo(int step);

    // The close of the pane's own close command or of the program: releases the engine. The
    // window itself goes with its owner.
    void RequestClose();

signals:
    void titleChanged(const QString& caption);
    // The page asked to close its window.
    void closeRequested();

protected:
    // The page for a pop-up of the page; the pane's own navigation by default.
    virtual QWebEnginePage* newWindowPage();
    // A top-level document completed at `url`.
    virtual void documentComplete(const QUrl& url);
    // Commands the pane does not know itself.
    virtual void executeOther(CommandBarControl* control);
    // How errors of commands name this window in the developer log.
    virtual QString moduleText() const;
    void reportError(const QString& procedure, const QString& description) const;

private:
    void buildCommandBars();
    void buildStatusBar();
    void connectEngine();
    void onExecute(CommandBarControl* control);
    void onInitPopup(CommandBar* popup);
    void onLoadStarted();
    void onLoadProgress(int progress);
    void onLoadFinished(bool ok);
    void onTitleChanged(const QString& title);
    void updateHistoryButtons();

    QMainWindow* mInner = nullptr;
    QWidget* mContainer = nullptr;
    CommandBars* mBars = nullptr;
    CommandBar* mToolBar = nullptr;
    CommandBarControl* mBack = nullptr;
    CommandBarControl* mForward = nullptr;
    cWebBrowser* mHost = nullptr;
    QString mCaption;
    bool mAssigned = false;
    bool mClosing = false;
    bool mReleased = false;

    bool eventFilter(QObject* watched, QEvent* event) override;
};
