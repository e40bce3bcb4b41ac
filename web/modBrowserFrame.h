#pragma once

class CommandBars;
class QMainWindow;
class QObject;
class QWidget;

// The frame that browser windows and web panes share: a main window of its own (for the command
// bars) inside the form, the web view's container as its central widget, and the status bar
// with the status text and the load progress.
namespace modBrowserFrame {

// Puts an inner main window into `form` and returns the container its web view goes into. The
// container's resizes go to `resizeWatcher`.
QWidget* EmbedInnerWindow(QWidget* form, QObject* resizeWatcher, QMainWindow** inner);

// The status bar: the hidden main pane, the status text and the (hidden) progress pane.
void BuildStatusBar(CommandBars* bars);

// Shows the load progress (0 to 100) in the progress pane.
void ShowLoadProgress(CommandBars* bars, int progress);
// Hides the progress pane once the load has ended.
void HideLoadProgress(CommandBars* bars);

} // namespace modBrowserFrame
