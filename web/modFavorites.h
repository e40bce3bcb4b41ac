#pragma once
#include <QIcon>
#include <QString>
#include <QStringList>

class CommandBar;
class QTreeWidgetItem;
class TreeView;

// The user's favorites: a folder whose subfolders are folders of favorites and whose ".url"
// files are shortcuts (INI text, section "InternetShortcut", keys "URL" and "IconFile"). The
// favorites are never copied; every listing reads the folder again.
//
// The folder is the value "Favorites" of the registry view's key
// "Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders" (current user) when it
// is set, else the program's own folder "Quorvel/Favorites" in the user's data directory
// ($XDG_DATA_HOME, ~/.local/share by default), which is created when missing.
namespace modFavorites {

// Tree nodes and menu entries.
constexpr int FolderIcon = 801;
constexpr int OpenFolderIcon = 802;
constexpr int SiteIcon = 800;
// One listing keeps at most this many folders and this many shortcuts.
constexpr int MaxListed = 501;
// Values read from a shortcut are cut to this length.
constexpr int MaxValueLength = 2048;

// The favorites folder; false when there is none (a registry folder that does not exist, or the
// program's own folder cannot be created).
bool FavoritesFolder(QString& path);

// What a shortcut file holds.
struct Shortcut {
    QString url;
    QString iconFile;
};
// Reads "URL" and "IconFile" of section "InternetShortcut" (names in any case); an unreadable
// file or a missing key gives empty values.
Shortcut ReadShortcut(const QString& file);

// The entries of one folder: subfolder names, then shortcut file names (with ".url"), each sorted
// by name without regard to case, at most MaxListed of each.
struct Listing {
    QStringList folders;
    QStringList shortcuts;
};
Listing ListFolder(const QString& folder);

// The display name of a shortcut file: its name without ".url".
QString ShortcutCaption(const QString& fileName);

// The next number of the favorites keys ("F" + number), unique for the life of the program.
int NextKeyNumber();

// Adds the folder's entries as children of `node` (top-level nodes when it is null): folders with
// icon FolderIcon and their path as tag, then shortcuts with their address as tag and icon SiteIcon, showing
// the site's own icon when the program has seen it (modSiteIcons). Returns the number of nodes
// added.
//
// The shortcut files are read once the nodes are on screen, a few at a time, so a folder of
// hundreds of shortcuts shows at once; NodeAddress reads a node's file at once when it is asked
// before that.
int FillTreeNode(const QString& folder, TreeView* tree, QTreeWidgetItem* node);
// The address of a shortcut node (its tag once its file was read); empty for other nodes.
QString NodeAddress(QTreeWidgetItem* node);
// True while a shortcut node's file has not been read yet.
bool IsPending(const QTreeWidgetItem* node);

// Adds the folder's entries to a menu: a submenu Cmd::FavoriteFolder per folder (its path as parameter,
// filled when it opens) and an entry Cmd::FavoriteEntry per shortcut (its address as parameter, the site's
// icon when the program has seen it).
void FillMenu(const QString& folder, CommandBar* menu);

// Name rules of the add dialog: the name becomes a file of the favorites folder, so it must not
// be empty, "." or "..", nor hold a path separator or a control character. `why` receives the
// reason shown to the user.
bool IsValidShortcutName(const QString& name, QString* why = nullptr);
// A file name proposed from a page title: the characters the rules refuse become "_".
QString ShortcutNameFromTitle(const QString& title);

enum class WriteResult { Written, Exists, InvalidName, OutsideFolder, Failed };
// Writes "<name>.url" into `folder` (which must be the favorites folder or below it) with the
// address as "URL". An existing file is replaced only with `replace`. Line breaks in the address
// are dropped, so it cannot add keys of its own. The file is written atomically.
WriteResult WriteShortcut(const QString& favoritesRoot, const QString& folder, const QString& name,
                          const QString& url, bool replace, QString* writtenPath = nullptr);

// The folders below the favorites folder as paths relative to it ("" is the folder itself),
// depth first and sorted, at most MaxListed; symbolic links are not followed.
QStringList SubfolderTree(const QString& favoritesRoot);

} // namespace modFavorites
