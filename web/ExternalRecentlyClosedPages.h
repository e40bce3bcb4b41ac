#pragma once
#include <QFuture>
#include <QObject>
#include <QPointer>
#include <QString>

class BrowserExternal;
class clsRecentClosedPages;

// The recently closed pages as an internal page reaches them through `external`. Every call
// goes to the list of the user data that is current at that moment, so a page never holds on
// to a list that was released (the user data reloaded, the program ending); a call from a page
// that is no internal page any more does nothing.
//
// Removing asks the user first. The question is asked once the channel call has returned, and
// the answer comes back to the page when the user has given it: a nested event loop inside a
// channel call would let the page, its channel and its window go while the call still runs.
// One question at a time: a removal requested while one is open is refused (false).
class ExternalRecentlyClosedPages : public QObject {
    Q_OBJECT
public:
    explicit ExternalRecentlyClosedPages(BrowserExternal* external);

    // The list as the body of a script function (clsRecentClosedPages::GetWebData); an empty
    // list when there is none or the call is not allowed.
    Q_INVOKABLE QString GetWebData();
    // Removes one record after asking (unless `isSilent`); true when it went.
    Q_INVOKABLE QFuture<bool> Remove(const QString& vAsctime, bool isSilent);
    // Clears the list after asking; true when it was cleared.
    Q_INVOKABLE QFuture<bool> RemoveAll();

signals:
    // After every change of the current list.
    void Changed();

private:
    clsRecentClosedPages* list();
    QFuture<bool> ask(std::function<bool(clsRecentClosedPages*)> work);

    BrowserExternal* mExternal;
    QPointer<clsRecentClosedPages> mConnected;
    bool mAsking = false;
};
