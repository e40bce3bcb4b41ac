#pragma once
#include <QObject>
#include <QPointer>
#include <QString>

class cWebBrowser;
class ExternalRecentlyClosedPages;

// The object that the program's internal pages see as `external` through the web channel:
// the recently closed pages, adding a favorite, the program folder and a test message.
//
// Only an internal page can reach it (see InnerPages); every call checks that again against the
// host's current page, so a call that arrives after the page went, or after the window was
// released, does nothing. Nothing here runs a nested event loop inside a channel call: what
// asks the user (the favorite dialog, the test message) is posted and runs once the call has
// returned, so a window closed meanwhile cannot pull the channel away under it.
class BrowserExternal : public QObject {
    Q_OBJECT
    // Read by the channel when the page connects: the list of the current user data.
    Q_PROPERTY(QObject* RecentlyClosedPages READ RecentlyClosedPages CONSTANT)
public:
    explicit BrowserExternal(cWebBrowser* host);

    // The recently closed pages of the session state, as the page may use them.
    QObject* RecentlyClosedPages() const;

    // Adds a favorite: the page `vURL` titled `vTitle`, or with an empty address the page the
    // host shows (the host's add-favorite command). Posted.
    Q_INVOKABLE void AddFavorite(const QString& vURL, const QString& vTitle);
    // The program folder.
    Q_INVOKABLE QString GetHostAppPath() const;
    // Shows the plain message "abcOK". Posted.
    Q_INVOKABLE void testMsg() const;

    // Whether a call from the page may act now: the host is alive and shows an internal page.
    bool CallAllowed() const;

private:
    QPointer<cWebBrowser> mHost;
    ExternalRecentlyClosedPages* mPages;
};
