#pragma once
#include <QWidget>

class CommandBar;
class CommandBarControl;
class TreeView;

// The favorites window "收藏夹": the favorites folder as a tree. A click on a closed folder reads
// it again; a click on a shortcut opens its address in a new browser tab.
class frmFavorites : public QWidget {
    Q_OBJECT
public:
    explicit frmFavorites(QWidget* parent = nullptr);
    TreeView* tvwFavorites() const { return mTree; }

    // The favorites menu of a browser window (Cmd::Favorites) or one of its folders (Cmd::FavoriteFolder),
    // emptied of its entries by the window: filled from the favorites folder, respectively the folder's path.
    static void FillFavoritesMenu(CommandBar* menu);
    // The favorites commands of a browser window: an entry (Cmd::FavoriteEntry) opens its address in a new
    // tab, Cmd::OrganizeFavorites opens the favorites folder in the file manager.
    static void RunFavoritesCommand(CommandBarControl* control);
    // Opens the favorites folder in the file manager; false when there is none or it cannot open.
    static bool OrganizeFavorites();

private:
    void onClick();

    TreeView* mTree = nullptr;
};
