#include "links/clsEntertainment.h"

#include "controls/TreeView.h"
#include "core/QvError.h"
#include "core/clsCommonData.h"
#include "links/clsLinks.h"
#include "links/modLinkTrees.h"

#include <QHash>

#include <exception>

namespace {

const char* const kModule = "Class Module clsEntertainment";

} // namespace

clsEntertainment::clsEntertainment(QObject* parent) : QObject(parent) {}

void clsEntertainment::Load(const XmlNode& entlayout) {
    mNode = entlayout;
}

clsLinks* clsEntertainment::links() const {
    clsLinks* catalogue = LinksOf(Parent);
    if (!catalogue)
        throw QvError(QvErrors::ObjectMissing, QStringLiteral("the entertainment tree has no common data"));
    return catalogue;
}

void clsEntertainment::setTvwNav(TreeView* tree) {
    if (mTree)
        disconnect(mTree, nullptr, this, nullptr);
    mTree = tree;
    if (!tree)
        return;
    connect(tree, &TreeView::NodeClick, this, &clsEntertainment::onNodeClick);
    connect(tree, &TreeView::Click, this, &clsEntertainment::onClick);
    connect(tree, &TreeView::Expand, this, &clsEntertainment::onExpand);
    connect(tree, &TreeView::Collapse, this, &clsEntertainment::onCollapse);
    // A collapse only counts for the click of the same mouse gesture; see clsNavigate.
    connect(tree, &TreeView::MouseUp, this, [this] { mJustCollapsed = false; });
}

QTreeWidgetItem* clsEntertainment::CurrentNode() const {
    return mTree ? mTree->NodeAt(mCurrent) : nullptr;
}

void clsEntertainment::iniTreeView(QTreeWidgetItem* tvwNode) {
    if (!mTree)
        throw QvError(QvErrors::ObjectMissing, QStringLiteral("the entertainment layout has no tree"));
    const XmlNode parentElement = tvwNode ? modLinkTrees::TagElement(tvwNode) : mNode;
    if (parentElement.isNull())
        throw QvError(QvErrors::ObjectMissing,
                      tvwNode ? QStringLiteral("the node is not a layout folder")
                              : QStringLiteral("the common data has no <entlayout> section"));
    const XmlNodeList elements = parentElement.childElements();
    for (const XmlNode& element : elements) {
        const QString name = element.nodeName();
        if (name == QLatin1String("navnode")) {
            const QString caption = element.requiredAttribute(QStringLiteral("caption"));
            const int icon = modLinkTrees::IconNumber(element.requiredAttribute(QStringLiteral("iconno")),
                                                      modLinkTrees::FolderIcon);
            mTree->AddNode(tvwNode, QString(), caption, icon, modLinkTrees::ElementTag(element));
        } else if (name == QLatin1String("navlink")) {
            clsLink link;
            try {
                link = links()->getLinkById(element.getAttribute(QStringLiteral("linkid")));
            } catch (const QvError& e) {
                modLinkTrees::ReportError(e.number(), e.description(), QStringLiteral("iniTreeView"),
                                          QString::fromLatin1(kModule));
                continue;
            }
            const int icon = modLinkTrees::IconNumber(link.IconNum, tvwNode ? modLinkTrees::NestedSiteIcon
                                                                            : modLinkTrees::TopLevelSiteIcon);
            mTree->AddNode(tvwNode, QString(), link.Caption, icon, modLinkTrees::ElementTag(element));
        }
    }
}

void clsEntertainment::onNodeClick(QTreeWidgetItem* node) {
    mCurrent = mTree ? mTree->PersistentIndex(node) : QPersistentModelIndex();
}

void clsEntertainment::onClick() {
    modLinkTrees::Trapped("tvwNav_Click", kModule, [this] {
        QTreeWidgetItem* node = mTree ? mTree->currentItem() : nullptr;
        const XmlNode element = modLinkTrees::TagElement(node);
        if (element.isNull())
            return;
        if (element.nodeName() == QLatin1String("navnode")) {
            const bool build = node->childCount() == 0 && !mJustCollapsed;
            mJustCollapsed = false;
            if (build) {
                iniTreeView(node);
                node->setExpanded(true);
            }
        } else if (element.nodeName() == QLatin1String("navlink")) {
            links()->getLinkById(element.requiredAttribute(QStringLiteral("linkid"))).OpenWebPage();
        }
    });
}

void clsEntertainment::onExpand(QTreeWidgetItem* node) {
    modLinkTrees::Trapped("tvwNav_Expand", kModule, [this, node] {
        const XmlNode element = modLinkTrees::TagElement(node);
        if (element.isNull())
            return;
        const QString icon = element.getAttribute(QStringLiteral("eiconno"));
        if (!icon.trimmed().isEmpty())
            mTree->SetIconNumber(node, modLinkTrees::IconNumber(icon, TreeView::IconNumber(node)));
    });
}

void clsEntertainment::onCollapse(QTreeWidgetItem* node) {
    modLinkTrees::Trapped("tvwNav_Collapse", kModule, [this, node] {
        const XmlNode element = modLinkTrees::TagElement(node);
        if (element.isNull())
            return;
        const QString icon = element.getAttribute(QStringLiteral("iconno"));
        if (!icon.trimmed().isEmpty())
            mTree->SetIconNumber(node, modLinkTrees::IconNumber(icon, TreeView::IconNumber(node)));
        mJustCollapsed = mTree->InMouseGesture();
        // The folder that closed is built afresh from the common data on its next click.
        TreeView::RemoveChildren(node);
    });
}

clsEntertainment* EntertainmentOf(clsCommonData* common) {
    if (!common)
        return nullptr;
    static QHash<const clsCommonData*, QPointer<clsEntertainment>> trees;
    const XmlNode section =
        common->XMLNode.isNull() ? XmlNode() : common->XMLNode.selectSingleNode(QStringLiteral("entlayout"));
    QPointer<clsEntertainment>& entry = trees[common];
    if (!entry || entry->XMLNode() != section || entry->Parent != common) {
        if (entry)
            entry->deleteLater();
        entry = new clsEntertainment;
        entry->Parent = common;
        entry->Load(section);
    }
    return entry;
}
