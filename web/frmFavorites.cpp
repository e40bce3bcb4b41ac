#include "web/frmFavorites.h"

#include "controls/CommandBars.h"
#include "controls/TreeView.h"
#include "core/QvIds.h"
#include "core/modInitial.h"
#include "platform/ShellService.h"
#include "web/cltWebPage.h"
#include "web/modFavorites.h"

#include <QVBoxLayout>

frmFavorites::frmFavorites(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("收藏夹"));
    setObjectName(QStringLiteral("frmFavorites"));
    mTree = new TreeView(this);
    mTree->setObjectName(QStringLiteral("tvwFavorites"));
    mTree->setAccessibleName(QStringLiteral("收藏夹"));
    mTree->SetIconStore(modInitial::gIconStore);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(mTree);
    connect(mTree, &TreeView::Click, this, &frmFavorites::onClick);
    QString folder;
    if (modFavorites::FavoritesFolder(folder))
        modFavorites::FillTreeNode(folder, mTree, nullptr);
}

void frmFavorites::onClick() {
    QTreeWidgetItem* node = mTree->currentItem();
    if (!node)
        return;
    if (TreeView::IconNumber(node) == modFavorites::FolderIcon) {
        if (node->isExpanded())
            return;
        TreeView::RemoveChildren(node);
        modFavorites::FillTreeNode(TreeView::Tag(node).toString(), mTree, node);
        node->setExpanded(true);
        return;
    }
    const QString address = modFavorites::NodeAddress(node);
    if (!address.isEmpty())
        cltWebPage::Global()->Add(address);
}

void frmFavorites::FillFavoritesMenu(CommandBar* menu) {
    if (!menu)
        return;
    CommandBarControl* owner = menu->ParentControl();
    if (owner && owner->Id() == Cmd::FavoriteFolder) {
        modFavorites::FillMenu(owner->Parameter(), menu);
        return;
    }
    QString folder;
    if (modFavorites::FavoritesFolder(folder))
        modFavorites::FillMenu(folder, menu);
}

void frmFavorites::RunFavoritesCommand(CommandBarControl* control) {
    if (!control)
        return;
    if (control->Id() == Cmd::OrganizeFavorites) {
        OrganizeFavorites();
    } else if (control->Id() == Cmd::FavoriteEntry && !control->Parameter().isEmpty()) {
        cltWebPage::Global()->Add(control->Parameter());
    }
}

bool frmFavorites::OrganizeFavorites() {
    QString folder;
    return modFavorites::FavoritesFolder(folder) && ShellService::instance().open(folder);
}
