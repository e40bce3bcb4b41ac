#pragma once
#include "core/XmlDocument.h"
#include "web/NavigateOptions.h"

#include <QObject>
#include <QPointer>
#include <QString>

class frmBrowser;
class frmMiddle;

// The page opener: turns addresses, internal page names and link descriptors into browser
// windows (tabs of the main window). It exists once (Global()).
class cltWebPage : public QObject {
    Q_OBJECT
public:
    // The one opener, created on first use.
    static cltWebPage* Global();
    // Releases the global opener (shutdown).
    static void ReleaseGlobal();

    // Creates the pending first window, not shown yet (the main window does this at the start of
    // its load); the same window while it is pending.
    frmBrowser* CreateFirstWindow();
    frmBrowser* PendingFirstWindow() const;

    // Marks the pending first window as the start-up window and shows it.
    void initialNewWebPage();
    // A new window with the recently-closed-pages page.
    void OpenNewPage();
    // Opens an internal page by name ("" opens about:blank).
    void NewPage(const QString& innerPages);
    // Opens an address in the pending first window, else in a new window; an empty address gives
    // a window that is not navigated (for new-window requests). Returns the window used.
    frmBrowser* Add(const QString& strURL, const NavigateOptions& options = {});
    // Opens a link descriptor (get, post or middle); throws QvError for a malformed descriptor
    // before any window opens (get and post).
    void OpenWebPageAsNode(const XmlNode& methodNode);

    frmMiddle* MiddlePage() const;

    // Creates a browser window as a new tab of the main window (a top-level window when there is
    // no main window) and shows it, not navigated.
    frmBrowser* CreateWindow();

signals:
    // Every browser window the opener creates, the pending first window included.
    void windowCreated(frmBrowser* window);

private:
    cltWebPage();
    void onMiddleEnded();
    // Into the main window's tabs when there is one; shown.
    void showWindow(frmBrowser* window);
    // The pending first window (shown), or null; the slot is empty afterwards.
    frmBrowser* takeFirstWindow();

    QPointer<frmBrowser> mFirstWindow;
    QPointer<frmMiddle> mfrmMiddle;
};
