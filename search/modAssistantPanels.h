#pragma once

class CommandBar;
class frmBrowser;

// The panels of a browser window's assistant menu ("助手").
namespace modAssistantPanels {

// Puts the page-translation and the site-search panel into the menu, both holding the address
// the window shows now. Called on the menu's first opening; the panels live with the menu.
void AddAssistantPanels(frmBrowser* browser, CommandBar* menu);

} // namespace modAssistantPanels
