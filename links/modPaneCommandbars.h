#pragma once
#include <QString>
#include <QStringList>

class CommandBar;
class CommandBarControl;
class clsLinks;
class frmPaneWebPage;

// The library menus the main window adds to its web panes: one button with a menu per group of
// catalogue categories, whose entries (Cmd::FavoriteEntry) show a site in the pane.
namespace modPaneCommandbars {

// A menu captioned `caption` (starting a group) at the end of the bar, holding the links of the
// categories in catalogue order: caption, icon (the favorites site icon when the link has none) and the
// link's plain address as parameter. A link without a plain address is left out (the developer log says so).
CommandBarControl* AddLibraryMenu(CommandBar* bar, clsLinks* links, int id, const QString& caption, int icon,
                                  const QStringList& categories);

// The menus of the music, video and novel panes (PaneId::Music, PaneId::Movie, PaneId::Novel); other panes
// get none.
void AddLibraryMenus(frmPaneWebPage* pane, int paneId, clsLinks* links);

// The page the stock-quotes pane (PaneId::Stock) opens: the first link of category "stock" in the
// catalogue, else the Shanghai composite index page of a public quotes service.
QString StockPageAddress(clsLinks* links);

} // namespace modPaneCommandbars
