#include "links/clsNavigate.h"

#include "controls/PopupTip.h"
#include "controls/TreeView.h"
#include "core/QvError.h"
#include "core/clsCommonData.h"
#include "links/clsLinks.h"
#include "links/modLinkTrees.h"
#include "web/cltWebPage.h"
#include "web/modFavorites.h"

#include <QCursor>
#include <QHash>

#include <exception>

namespace {

const char* const kModule = "Class Module clsNavigate";
const char* const kRootKey = "Favroot";
const char* const kRootText = "我的网址";

} // namespace

clsNavigate::clsNavigate(QObject* parent) : QObject(parent) {}

void clsNavigate::Load(const XmlNode& navlayout) {
    mNode = navlayout;
}

clsLinks* clsNavigate::links() const {
    clsLinks* catalogue = LinksOf(Parent);
    if (!catalogue)
        throw QvError(QvErrors::ObjectMissing, QStringLiteral("the navigation has no common data"));
    return catalogue;
}

void clsNavigate::setTvwNav(TreeView* tree) {
    if (mTree)
        disconnect(mTree, nullptr, this, nullptr);
    mTree = tree;
    if (!tree)
        return;
    connect(tree, &TreeView::NodeClick, this, &clsNavigate::onNodeClick);
    connect(tree, &TreeView::Click, this, &clsNavigate::onClick);
    connect(tree, &TreeView::Expand, this, &clsNavigate::onExpand);
    connect(tree, &TreeView::Collapse, this, &clsNavigate::onCollapse);
    connect(tree, &TreeView::MouseMove, this, &clsNavigate::onMouseMove);
    connect(tree, &TreeView::MouseLeave, this, &clsNavigate::onMouseLeave);
    // A collapse only counts for the click of the same mouse gesture (the click that ends a
    // double click); the arrow and the keyboard close folders without any click to follow.
    connect(tree, &TreeView::MouseUp, this, [this] { mJustCollapsed = false; });
}

void clsNavigate::SetPopTip(PopupTip* inPopup) {
    mPopTip = inPopup;
    if (!inPopup)
        return;
    inPopup->SetBackground(QRect(0, 0, 200, 100), QColor(255, 255, 225), QColor(0, 0, 0));
    inPopup->SetTextItem(QRect(QPoint(10, 10), QPoint(190, 90)), 9);
}

QTreeWidgetItem* clsNavigate::CurrentNode() const {
    return mTree ? mTree->NodeAt(mCurrent) : nullptr;
}

bool clsNavigate::IsFavoritesNode(const QTreeWidgetItem* node) {
    return TreeView::Key(node).startsWith(QLatin1Char('F'));
}

bool clsNavigate::IsFavoritesRoot(const QTreeWidgetItem* node) {
    return TreeView::Key(node) == QLatin1String(kRootKey);
}

void clsNavigate::iniTreeView(QTreeWidgetItem* tvwNode) {
    if (!mTree)
        throw QvError(QvErrors::ObjectMissing, QStringLiteral("the navigation has no tree"));
    XmlNode parentElement;
    if (!tvwNode) {
        mTree->AddNode(nullptr, QString::fromLatin1(kRootKey), QString::fromUtf8(kRootText),
                       FavoritesRootIcon);
        parentElement = mNode;
        if (parentElement.isNull())
            throw QvError(QvErrors::ObjectMissing,
                          QStringLiteral("the common data has no <navlayout> section"));
    } else {
        parentElement = modLinkTrees::TagElement(tvwNode);
        if (parentElement.isNull())
            throw QvError(QvErrors::ObjectMissing, QStringLiteral("the node is not a layout folder"));
    }
    const XmlNodeList elements = parentElement.childElements();
    for (XmlNode element : elements) {
        ++mCounter;
        const QString key = QStringLiteral("L%1").arg(mCounter);
        const QString name = element.nodeName();
        if (name == QLatin1String("navnode")) {
            const QString caption = element.requiredAttribute(QStringLiteral("caption"));
            const int icon = modLinkTrees::IconNumber(element.requiredAttribute(QStringLiteral("iconno")),
                                                      modLinkTrees::FolderIcon);
            element.requiredAttribute(QStringLiteral("eiconno"));
            const bool expand =
                modLinkTrees::ParseBoolean(element.requiredAttribute(QStringLiteral("explandonload")));
            QTreeWidgetItem* folder =
                mTree->AddNode(tvwNode, key, caption, icon, modLinkTrees::ElementTag(element));
            if (expand) {
                iniTreeView(folder);
                folder->setExpanded(true);
            }
        } else if (name == QLatin1String("navlink")) {
            const QString linkId = element.getAttribute(QStringLiteral("linkid"));
            clsLink link;
            try {
                link = links()->getLinkById(linkId);
            } catch (const QvError& e) {
                // One broken entry of the layout does not take the rest of the tree with it.
                modLinkTrees::ReportError(e.number(), e.description(), QStringLiteral("iniTreeView"),
                                          QString::fromLatin1(kModule));
                continue;
            }
            element.setAttribute(QStringLiteral("tip"), link.Tip);
            const int icon = modLinkTrees::IconNumber(link.IconNum, tvwNode ? modLinkTrees::NestedSiteIcon
                                                                            : modLinkTrees::TopLevelSiteIcon);
            mTree->AddNode(tvwNode, key, link.Caption, icon, modLinkTrees::ElementTag(element));
        }
    }
}

void clsNavigate::onNodeClick(QTreeWidgetItem* node) {
    mCurrent = mTree ? mTree->PersistentIndex(node) : QPersistentModelIndex();
}

void clsNavigate::onClick() {
    modLinkTrees::Trapped("tvwNav_Click", kModule, [this] {
        QTreeWidgetItem* node = CurrentNode();
        if (!node)
            return;
        if (IsFavoritesNode(node))
            clickFavorites(node);
        else
            clickLayout(node);
    });
}

void clsNavigate::clickFavorites(QTreeWidgetItem* node) {
    if (node->childCount() > 0) {
        node->setExpanded(!node->isExpanded());
        return;
    }
    QPersistentModelIndex guard = mTree->PersistentIndex(node);
    if (IsFavoritesRoot(node)) {
        QString folder;
        if (modFavorites::FavoritesFolder(folder))
            modFavorites::FillTreeNode(folder, mTree, node);
    } else {
        const int icon = TreeView::IconNumber(node);
        // A folder is a folder whether it shows its closed or its open icon (an empty folder
        // stays childless after it was opened).
        if (icon == modFavorites::FolderIcon || icon == modFavorites::OpenFolderIcon) {
            modFavorites::FillTreeNode(TreeView::Tag(node).toString(), mTree, node);
        } else {
            const QString address = modFavorites::NodeAddress(node);
            if (!address.isEmpty())
                cltWebPage::Global()->Add(address);
        }
    }
    if (QTreeWidgetItem* still = mTree ? mTree->NodeAt(guard) : nullptr)
        still->setExpanded(true);
}

void clsNavigate::clickLayout(QTreeWidgetItem* node) {
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
}

void clsNavigate::onExpand(QTreeWidgetItem* node) {
    modLinkTrees::Trapped("tvwNav_Expand", kModule, [this, node] {
        if (IsFavoritesNode(node)) {
            if (!IsFavoritesRoot(node) && TreeView::IconNumber(node) == modFavorites::FolderIcon)
                mTree->SetIconNumber(node, modFavorites::OpenFolderIcon);
            return;
        }
        const XmlNode element = modLinkTrees::TagElement(node);
        if (element.isNull())
            return;
        const QString icon = element.requiredAttribute(QStringLiteral("eiconno"));
        if (!icon.trimmed().isEmpty())
            mTree->SetIconNumber(node, modLinkTrees::IconNumber(icon, TreeView::IconNumber(node)));
    });
}

void clsNavigate::onCollapse(QTreeWidgetItem* node) {
    modLinkTrees::Trapped("tvwNav_Collapse", kModule, [this, node] {
        if (IsFavoritesNode(node)) {
            if (!IsFavoritesRoot(node) && TreeView::IconNumber(node) == modFavorites::OpenFolderIcon)
                mTree->SetIconNumber(node, modFavorites::FolderIcon);
            return;
        }
        const XmlNode element = modLinkTrees::TagElement(node);
        if (element.isNull())
            return;
        mJustCollapsed = mTree->InMouseGesture();
        const QString icon = element.requiredAttribute(QStringLiteral("iconno"));
        if (!icon.trimmed().isEmpty())
            mTree->SetIconNumber(node, modLinkTrees::IconNumber(icon, TreeView::IconNumber(node)));
    });
}

void clsNavigate::closeTip() {
    if (mPopTip)
        mPopTip->Close();
}

void clsNavigate::onMouseMove(const QPoint& viewportPos) {
    if (!mTree)
        return;
    QTreeWidgetItem* node = mTree->HitTest(viewportPos);
    if (!node) {
        closeTip();
        mTipNode = QPersistentModelIndex();
        return;
    }
    const QPersistentModelIndex index = mTree->PersistentIndex(node);
    if (index == mTipNode)
        return;
    mTipNode = index;
    closeTip();
    // Only layout nodes carry a tip; any other node (favorites, an element without one) shows none.
    const XmlNode element = modLinkTrees::TagElement(node);
    if (element.isNull() || !mPopTip)
        return;
    const QString tip = element.getAttribute(QStringLiteral("tip"));
    if (tip.isEmpty())
        return;
    mPopTip->SetText(tip);
    mPopTip->ShowAt(QCursor::pos() + QPoint(250, 105));
}

void clsNavigate::onMouseLeave() {
    closeTip();
    mTipNode = QPersistentModelIndex();
}

clsNavigate* NavigateOf(clsCommonData* common) {
    if (!common)
        return nullptr;
    // One navigation per store and document; see LinksOf.
    static QHash<const clsCommonData*, QPointer<clsNavigate>> navigations;
    const XmlNode section =
        common->XMLNode.isNull() ? XmlNode() : common->XMLNode.selectSingleNode(QStringLiteral("navlayout"));
    QPointer<clsNavigate>& entry = navigations[common];
    if (!entry || entry->XMLNode() != section || entry->Parent != common) {
        if (entry)
            entry->deleteLater();
        entry = new clsNavigate;
        entry->Parent = common;
        entry->Load(section);
    }
    return entry;
}
