#pragma once
#include <QObject>
#include <QString>

class clsData;

// The web-mail login: fills a copy of a service's descriptor with the user name and the
// password and hands it to the page opener, which posts the login directly or through the
// middle page. Nothing typed is kept: the copy is a document of its own, its values are blanked
// as soon as the request is on its way, and the catalogue is never changed.
class clsMailFunction : public QObject {
    Q_OBJECT
public:
    explicit clsMailFunction(clsData* hub);

    // The hub's mail function, created on the first call as a child of the hub (released with
    // it). Null for a null hub.
    static clsMailFunction* Of(clsData* hub);
    // The mail function of the program's hub; null when there is no hub.
    static clsMailFunction* Program();

    // Logs in to the service `intMailboxID` of the hub's common data. Every parameter captioned
    // "用户名" gets `strUserName`, every one captioned "密码" gets `strPassword`, untrimmed (for a
    // post form-encoded, so the site receives exactly the typed text).
    // Throws QvError when the catalogue has no such service, when the service would send the
    // password in the address (get method), or when the page opener refuses the descriptor.
    void MailLogin(int intMailboxID, const QString& strUserName, const QString& strPassword);

private:
    clsData* mHub;
};
