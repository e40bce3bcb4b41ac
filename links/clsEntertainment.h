#pragma once
#include "controls/TreeView.h"
#include "core/XmlDocument.h"

#include <QObject>
#include <QPersistentModelIndex>
#include <QPointer>

class clsCommonData;
class clsLinks;

// Builds the entertainment tree from the common data's `entlayout` section (folders and sites as
// in the navigation tree, without keys, tips or favorites) and handles its events. Folders are
// built on their first click; a folder that is closed loses its children and is built afresh on
// its next click. A `navlink` whose `linkid` is not in the catalogue is left out (the developer
// log says so).
class clsEntertainment : public QObject {
    Q_OBJECT
public:
    explicit clsEntertainment(QObject* parent = nullptr);

    clsCommonData* Parent = nullptr;
    void Load(const XmlNode& entlayout);
    XmlNode XMLNode() const { return mNode; }

    TreeView* tvwNav() const { return mTree; }
    void setTvwNav(TreeView* tree);

    // Builds the top level (null) or the children of a folder; throws QvError for a malformed
    // `navnode`.
    void iniTreeView(QTreeWidgetItem* tvwNode = nullptr);

    bool JustCollapsed() const { return mJustCollapsed; }
    QTreeWidgetItem* CurrentNode() const;

    void onNodeClick(QTreeWidgetItem* node);
    void onClick();
    void onExpand(QTreeWidgetItem* node);
    void onCollapse(QTreeWidgetItem* node);

private:
    clsLinks* links() const;

    XmlNode mNode;
    QPointer<TreeView> mTree;
    QPersistentModelIndex mCurrent;
    bool mJustCollapsed = false;
};

// The entertainment layout of a common data store; see NavigateOf.
clsEntertainment* EntertainmentOf(clsCommonData* common);
