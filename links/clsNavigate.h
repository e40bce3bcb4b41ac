#pragma once
#include "controls/PopupTip.h"
#include "controls/TreeView.h"
#include "core/XmlDocument.h"

#include <QObject>
#include <QPersistentModelIndex>
#include <QPointer>

class clsCommonData;
class clsLinks;

// Builds the navigation tree from the common data's `navlayout` section and handles its events:
// the favorites root "我的网址" (filled from the favorites folder on its first click), the layout
// folders and sites with keys "L1", "L2" ... from a counter that runs on for the life of the
// object, folders built on first click (or at once when `explandonload` is set), sites opened in
// new browser tabs, and the tool tip of the node under the pointer.
//
// A `navlink` whose `linkid` is not in the catalogue is left out (the developer log says so); the
// rest of the tree is built.
class clsNavigate : public QObject {
    Q_OBJECT
public:
    static constexpr int FavoritesRootIcon = 196;

    explicit clsNavigate(QObject* parent = nullptr);

    clsCommonData* Parent = nullptr;
    void Load(const XmlNode& navlayout);
    XmlNode XMLNode() const { return mNode; }

    TreeView* tvwNav() const { return mTree; }
    void setTvwNav(TreeView* tree);
    // Takes the popup for the tool tips and lays it out (200 by 100, light yellow).
    void SetPopTip(PopupTip* inPopup);
    PopupTip* PopTip() const { return mPopTip; }

    // Builds the top level (null) or the children of a layout folder. Throws QvError for a
    // malformed `navnode`.
    void iniTreeView(QTreeWidgetItem* tvwNode = nullptr);

    int Counter() const { return mCounter; }
    bool JustCollapsed() const { return mJustCollapsed; }
    QTreeWidgetItem* CurrentNode() const;

    // Key tests of the node table.
    static bool IsFavoritesNode(const QTreeWidgetItem* node);
    static bool IsFavoritesRoot(const QTreeWidgetItem* node);

    // The tree's events (connected by setTvwNav).
    void onNodeClick(QTreeWidgetItem* node);
    void onClick();
    void onExpand(QTreeWidgetItem* node);
    void onCollapse(QTreeWidgetItem* node);
    void onMouseMove(const QPoint& viewportPos);
    void onMouseLeave();

private:
    clsLinks* links() const;
    void clickFavorites(QTreeWidgetItem* node);
    void clickLayout(QTreeWidgetItem* node);
    void closeTip();

    XmlNode mNode;
    QPointer<TreeView> mTree;
    QPointer<PopupTip> mPopTip;
    int mCounter = 0;
    QPersistentModelIndex mCurrent;
    QPersistentModelIndex mTipNode;
    bool mJustCollapsed = false;
};

// The navigation of a common data store: created with the store's `navlayout` section on the
// first call, the same object while the store keeps that document. Null for a null store.
clsNavigate* NavigateOf(clsCommonData* common);
