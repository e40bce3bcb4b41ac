#pragma once
#include <QString>

class CommandBar;
class CommandBarControl;
class QWebEnginePage;

// The back and forward buttons of a page's tool bar (a browser window or a web pane) and their
// history menus.
namespace modWebHistory {

// Which menu SetHistoryButton fills.
constexpr int HistoryBack = 16;
constexpr int HistoryForward = 32;
// A history menu lists at most this many entries.
constexpr int MaxHistoryEntries = 30;

// Enables the two buttons as far as the page's history goes.
void UpdateButtons(QWebEnginePage* page, CommandBarControl* back, CommandBarControl* forward);
// Empties `menu` and lists the page's back (nearest first) or forward history in it: one
// Cmd::HistoryEntry per step, captioned with the entry's title (its address when it has none),
// its tag the relative step (-1, -2 ... or 1, 2 ...).
void FillMenu(QWebEnginePage* page, int flags, CommandBar* menu);
// Goes `step` entries back (negative) or forward; a step outside the history does nothing.
void Go(QWebEnginePage* page, int step);
// A page title as a menu caption: "&" is shown, not taken as a mnemonic mark.
QString MenuCaption(const QString& text);

} // namespace modWebHistory
