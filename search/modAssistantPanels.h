#pragma once

class CommandBar;
class QWidget;
class frmBrowser;

// The panels of a browser window's assistant menu ("助手").
namespace modAssistantPanels {

// Puts the page-translation and the site-search panel into the menu, both holding the address
// the window shows now. Called on the menu's first opening; the panels live with the menu.
void AddAssistantPanels(frmBrowser* browser, CommandBar* menu);

// Tab and Shift+Tab inside a panel: moves the focus to the panel's next (previous) control and
// returns true, or returns false at the panel's end, so that the menu moves on to its next item.
bool FocusNextInPanel(QWidget* panel, bool next);

} // namespace modAssistantPanels
