#pragma once
#include <QObject>
#include <QString>

class cWebBrowser;

// The object that the program's internal pages see as `external` through the web channel:
// the recently closed pages, adding a favorite, the program folder and a test message. Only
// internal pages get it; ordinary pages have no channel at all.
class BrowserExternal : public QObject {
    Q_OBJECT
    // Read by the channel when the page connects: the list of the current user data.
    Q_PROPERTY(QObject* RecentlyClosedPages READ RecentlyClosedPages CONSTANT)
public:
    explicit BrowserExternal(cWebBrowser* host);

    // The recently closed pages of the session state, or null without user data.
    QObject* RecentlyClosedPages() const;

    // Adds a favorite: the page `vURL` titled `vTitle`, or with an empty address the page the
    // host shows (the host's add-favorite command).
    Q_INVOKABLE void AddFavorite(const QString& vURL, const QString& vTitle);
    // The program folder.
    Q_INVOKABLE QString GetHostAppPath() const;
    // Shows the plain message "abcOK".
    Q_INVOKABLE void testMsg() const;

private:
    cWebBrowser* mHost;
};
