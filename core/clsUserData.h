#pragma once
#include "core/XmlDocument.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QTimer;

class clsData;
class CommandBar;

// Everything kept per user, in Data/User.dat: the user identifier, the session, the sticky
// notes, the found software, the custom applications and the docking layout. The document is
// loaded once and written back as a whole by Save.
//
// Every edit of the document marks the user data as changed, and a changed user data is saved
// by itself SaveDelayMs after the first unsaved change (several changes in that time make one
// save). A sudden end of the program (power loss, a kill, the display gone) therefore loses at
// most the changes of those last seconds. Code that changes the data some other way calls
// MarkDirty.
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
    ~clsUserData() override;
    // Replaces the document with the given text (used when no file can be used).
    bool LoadText(const QString& text);

    // How long after the first unsaved change the user data is written.
    static constexpr int SaveDelayMs = 3000;
    // The user data changed: it is saved within SaveDelayMs. Does nothing for user data that has
    // no file (kept in memory only) or did not load.
    void MarkDirty();
    // Changes not yet written to the file.
    bool IsDirty() const { return mDirty; }
    // No file to save to: the data lives in memory only for this run.
    bool IsMemoryOnly() const { return mPath.isEmpty(); }
    // Sets the file that Save writes (for a document loaded with LoadText).
    void SetFilePath(const QString& path) { mPath = path; }

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

    // Stores the docking layout, then writes the whole document encrypted (atomically, synced).
    // Throws QvError when the file cannot be written; the old file then stays as it was and
    // the changes stay marked as unsaved.
    void Save();
    // Writes the document as it is, without asking the windows for the docking layout: for an
    // end of the program where the windows may no longer be usable (the display is gone).
    // Throws QvError like Save.
    void SaveWithoutLayout();

    // The warning a failed save shows, naming the file and the reason.
    static QString SaveFailureMessage(const QString& path, const QString& reason);

    // Deals with the temporary files "User.dat.XXXXXX" that an interrupted save left beside the
    // file at `path`: one that is newer than the file and readable is kept aside as
    // "User.dat.unsaved-<date-time>", every other one is deleted. Returns the paths kept aside.
    static QStringList RecoverInterruptedSaves(const QString& path);

    // What the HTTP fetcher and the main window install.
    // The identifier request: called with the address to fetch; the reply goes to OnUserIDReply.
    static void SetUserIDRequester(std::function<void(clsUserData*, const QString& url)> requester);
    // The current docking layout as an XML text (empty: nothing to store).
    static void SetDockingLayoutProvider(std::function<QString()> provider);

signals:
    void userIDReceived(const QString& id);
    // After every successful write of the file.
    void saved();
    // After a save of the timer failed; the user has been warned once for the run of failures.
    void saveFailed(const QString& reason);

private:
    void storeDockingLayout();
    void write(bool withLayout);
    void saveOnTimer();
    void watchDocument();
    XmlNode globalInfo();

    QString mPath;
    XmlDocument mDocument;
    QString mLoadError;
    bool mRequestPending = false;
    bool mDirty = false;
    // Edits made by the save itself (the docking layout) are part of what it writes.
    bool mSaving = false;
    bool mFailureShown = false;
    QTimer* mSaveTimer = nullptr;
};
