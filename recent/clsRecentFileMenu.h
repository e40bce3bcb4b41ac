#pragma once
#include "controls/CommandBars.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

class QMenu;
class clsRecentFile;
class XmlNode;
class XmlNodeList;

// The drop-down button "最近的文档" of a toolbar and its menus. Every opening rescans the
// recent sources and shows the ten newest documents, sub-menus with the counts by date and by
// type, and "删除" with deletion by date and by type. A right click (or the menu key) on a
// document offers "删除" and "打开文件夹" in the context menu "最近打开文档".
class clsRecentFileMenu : public QObject {
    Q_OBJECT
public:
    clsRecentFileMenu(clsRecentFile* store, CommandBar* toolbar);
    ~clsRecentFileMenu() override;

    CommandBarControl* MenuButton() const { return mButton; }
    CommandBar* ContextMenu() const { return mContext; }

    // The commands Execute carries out.
    static QList<int> CommandIds();
    // Carries out a command of the menus. Any failure is shown in a plain message box: the
    // error number directly followed by its description.
    void Execute(CommandBarControl* control);

private:
    void onPopup(CommandBar* popup);
    void onRightClick(CommandBarControl* control, const QPoint& globalPos);
    void fillDropDown(CommandBar* bar);
    void addDocumentEntry(CommandBar* bar, const XmlNode& record);
    void watchKeys(CommandBar* bar);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void run(CommandBarControl* control);
    void deleteByPeriod();
    // The query behind a count sub-menu.
    XmlNodeList recordsOf(int subMenuId) const;

    // The bars belong to the window, which may go before this menu does.
    clsRecentFile* mStore;
    QPointer<CommandBar> mToolbar;
    QPointer<CommandBars> mBars;
    QPointer<CommandBarControl> mButton;
    QPointer<CommandBar> mContext;
};
