#pragma once
#include "core/XmlDocument.h"

#include <QObject>
#include <QPointer>

class CommandBar;
class CommandBarControl;
class clsLocalSoftware;

// The application buttons of the toolbar "本地工具": "我的软件" (602) with the user's own
// applications, and one button (601) per entry of the common data's `appbtnlayout`. Each
// drop-down is built anew whenever it opens, so it shows the latest scan and the latest custom
// applications.
//
// An application button's drop-down follows its layout element's children: `txtbtn` a label,
// `ls` the found program of that id (701, with the file's own icon; nothing when the scan did
// not find it), `sp` a separator above the next label or program entry, `weblink` the catalogue
// link of that id (580). A pending separator carries on past web links and missing programs.
class clsAppButtonBar : public QObject {
    Q_OBJECT
public:
    // Lives as long as the toolbar.
    clsAppButtonBar(clsLocalSoftware* software, CommandBar* toolbar);

    CommandBar* Toolbar() const { return mToolbar; }
    CommandBarControl* MySoftwareButton() const { return mMySoftware; }

    // Adds "我的软件" and one button per child of `layout` (the layout element's markup as its
    // parameter), each reachable with Tab and opened with Down or F4.
    void Build(const XmlNode& layout);

    // Fills the drop-down of one of this bar's application buttons or of "我的软件"; other
    // popups are left alone.
    void OnInitCommandsPopup(CommandBar* popup);
    void FillApplicationDropDown(CommandBar* popup);
    void FillMySoftwareDropDown(CommandBar* popup);

private:
    void describe(CommandBarControl* control);
    int fileIconNumber(const QString& path) const;

    QPointer<clsLocalSoftware> mSoftware;
    CommandBar* mToolbar;
    CommandBarControl* mMySoftware = nullptr;
};
