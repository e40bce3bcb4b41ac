#pragma once
#include "core/XmlDocument.h"

#include <QObject>
#include <QString>

class QWidget;
class clsUserData;
class clsRecentClosedPages;

// The browsing session kept in the user data's `actstatus` section: the address of every open
// browser window (`openedpages`), the last address reached on each social site of the panel
// (`usersns`) and the recently closed pages. Changes stay in the in-memory document until the
// user data is saved.
//
// Window handles and site identifiers are looked up as numbers (the key stands unquoted in the
// selection), so "007" finds the record of "7". A key that is not a plain decimal number never
// finds a record.
//
// Every operation but RemoveUserSNS goes on with its next step when one fails; in developer mode
// the failure is written to the developer log.
class clsActStatus : public QObject {
    Q_OBJECT
public:
    explicit clsActStatus(clsUserData* parent = nullptr);

    clsUserData* Parent = nullptr;
    XmlNode XMLNode;
    XmlNode OpenedPageNode;
    XmlNode UserSNSNode;

    // Takes the `actstatus` element; its `openedpages` and `usersns` children are created when missing.
    void Load(XmlNode node);
    // The recently closed pages, created (with their `RecentlyClosedPages` element) on first use.
    clsRecentClosedPages* RecentlyClosedPages();

    // Records the address a browser window has completed. A window without a record gets one at
    // its tab position in the main window (none when it has no tab there); an empty address
    // leaves the record as it is.
    void UpdateOpenedPage(QWidget* frmhWnd, const QString& url);
    void RemoveOpenedPageRecord(QWidget* frmhWnd);

    // Records the last address reached on a social site (an empty address is written too).
    void UpdateUserSNS(const QString& LinkId, const QString& url);
    // Throws QvError when the site has no record.
    void RemoveUserSNS(const QString& LinkId);
    // The recorded address, or empty when the site has none.
    QString getSNSLastOpenUrl(const QString& LinkId);

    // The handle a window is recorded by, as decimal text: the number the program gives each
    // window once and keeps with it (cWebBrowser::WindowHandle), not its native window id.
    static QString HandleOf(QWidget* window);
    // The text without the characters an XML file cannot hold (control characters other than tab
    // and line breaks, U+FFFE, U+FFFF). Pages can carry them in addresses and titles; written into
    // the user data they would make the whole file unreadable at the next start.
    static QString XmlSafe(const QString& text);

private:
    XmlNode AddOpenedPage(const QString& handle, qint16 position);
    XmlNode AddUserSNSRecord();
    XmlNode findOpenedPage(const QString& handle) const;
    XmlNode findUserSNS(const QString& LinkId) const;

    clsRecentClosedPages* mRecentlyClosedPages = nullptr;
};

// The session state of a user data store: created and loaded on the first call, the same object
// (a child of the store) on every later one. Null for a null store.
clsActStatus* ActStatusOf(clsUserData* userData);
