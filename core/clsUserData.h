#pragma once
#include "core/XmlDocument.h"

#include <QObject>
#include <QString>
#include <functional>

class clsData;
class CommandBar;

// Everything kept per user, in Data/User.dat: the user identifier, the session, the sticky
// notes, the found software, the custom applications and the docking layout. The document is
// loaded once and written back as a whole by Save.
class clsUserData : public QObject {
    Q_OBJECT
public:
    // The initial document of a first start.
    static QString InitialDocument() { return QStringLiteral("<data><globalinfo userid=\"\"/></data>"); }

    // Loads the file. Never throws: when the file cannot be read, decrypted or parsed the
    // document stays empty and LoadError() says why.
    explicit clsUserData(clsData* parent = nullptr);
    // An empty path: nothing is read, and Save refuses until a document is loaded with LoadText
    // and a path is set.
    clsUserData(const QString& path, clsData* parent);
    // Replaces the document with the given text (used when no file can be used).
    bool LoadText(const QString& text);

    clsData* Parent = nullptr;
    // The `data` element, or a null node when the file did not load.
    XmlNode XMLNode;
    const XmlDocument& Document() const { return mDocument; }
    QString FilePath() const { return mPath; }
    QString LoadError() const { return mLoadError; }

    // The first child of `parent` that `name` selects; created empty and appended last when missing.
    static XmlNode GetOrCreateChild(XmlNode parent, const QString& name);

    // The stored user identifier. Reading it while it is empty sends a new identifier request
    // (through the requester, when one is installed) and returns the empty text at once.
    QString userID();
    void setUserID(const QString& id);
    // The reply of an identifier request: a number becomes the identifier, anything else is dropped.
    void OnUserIDReply(const QString& ReturnValue);

    XmlNode LocalSoftsXMLNode();
    XmlNode LocalCustomsAppXMLNode();
    // Puts the `localsofts` element of the given text in place of the stored section.
    void LocalSoftUpdateByXMLString(const QString& LocalSoftXMLString);
    // Adds a button (Cmd::OpenProgram) per found program to the bar: caption, the file as parameter,
    // the tip as tooltip and the file's own small icon.
    void LocalSoftLoadToCommandBar(CommandBar* Toolbar);

    // Stores the docking layout, then writes the whole document encrypted (atomically).
    // Throws QvError when the file cannot be written.
    void Save();

    // What the HTTP fetcher and the main window install.
    // The identifier request: called with the address to fetch; the reply goes to OnUserIDReply.
    static void SetUserIDRequester(std::function<void(clsUserData*, const QString& url)> requester);
    // The current docking layout as an XML text (empty: nothing to store).
    static void SetDockingLayoutProvider(std::function<QString()> provider);

signals:
    void userIDReceived(const QString& id);

private:
    void storeDockingLayout();
    XmlNode globalInfo();

    QString mPath;
    XmlDocument mDocument;
    QString mLoadError;
    bool mRequestPending = false;
};
