#pragma once
#include "core/XmlDocument.h"

#include <QObject>
#include <QPointer>
#include <QString>

class CommandBar;
class clsAppButtonBar;
class clsCommonData;
class clsLinks;
class clsUserData;

// The office software of this machine. The common data's `localsoftdefs` section lists the known
// programs, each with one or more locators (ways to find its file) tried in document order; the
// scan keeps the first locator that leads to an existing file and stores the programs found in
// the user data's `localsofts` section. The application buttons of the toolbar "本地工具" offer
// them (clsAppButtonBar).
//
// Locators. The text of `targettype` followed by that of `action` selects the method:
//  - "FileLink": `targetfile` is the path, every "%SystemRoot%" (this exact case) replaced by the
//    Windows folder (the environment variable Windir);
//  - "RegRead": `targetfile` names a registry value that holds a folder; the path is that folder
//    followed directly by `filename`;
//  - "RegLink": `targetfile` names a registry value that holds the path itself, possibly in
//    double quotes (one leading and one trailing quote are removed).
// A registry value of the expandable-text type loses its last character before use. Any other
// method is passed over. Registry references read "ROOT\key path|value name", the roots being
// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER; another root finds nothing.
class clsLocalSoftware : public QObject {
    Q_OBJECT
public:
    explicit clsLocalSoftware(QObject* parent = nullptr);
    ~clsLocalSoftware() override;

    clsCommonData* Parent = nullptr;

    // Keeps the definitions section.
    void Load(const XmlNode& definitions);
    XmlNode XMLNode() const { return mDefinitions; }

    // The user data that scans write to and the drop-downs read: the one set here, else the
    // program's.
    clsUserData* UserData() const;
    void SetUserData(clsUserData* userData);
    // The link catalogue of the common data (null without common data).
    clsLinks* Links() const;

    // Runs the scan and puts its result in place of the user data's `localsofts` section (the
    // file is written with the next save of the user data). When the scan fails (a definition
    // without `targetfile` or `regvaluetype`, a type that is no number, no definitions, no user
    // data) the section stays as it was, the user is told what failed, and false is returned.
    bool ScanLocalSoft();
    // The scan on its own: a `localsofts` element with one `localsoft` (lsid, caption, file, tip)
    // per program found, in definition order. Throws QvError when a definition cannot be read.
    XmlDocument ScanResult() const;
    // Scans once per run when the user data has never held a scan result, so that a new user
    // sees the programs without running the scan command first.
    void EnsureScanned();

    // Adds "我的软件" and the application buttons of the common data's `appbtnlayout` to the
    // toolbar and fills their drop-downs whenever they open.
    void initialAppLocation(CommandBar* Toolbar);
    // The buttons made by initialAppLocation (null before, and after their toolbar went).
    clsAppButtonBar* AppButtons() const;

    // Opens the catalogue's link with that id (the web-link entries of the drop-downs); a link
    // that cannot be opened is reported to the user.
    void OpenWebLink(const QString& id) const;

    // The object of a common data store: created and loaded with the store's `localsoftdefs`
    // section on the first call, the same object while the store keeps that document.
    static clsLocalSoftware* Of(clsCommonData* common);
    // The program's: that of the data hub's common data (null without a hub).
    static clsLocalSoftware* Program();

private:
    XmlNode mDefinitions;
    QPointer<clsUserData> mUserData;
    QPointer<clsAppButtonBar> mButtons;
    bool mFirstScanTried = false;
};
