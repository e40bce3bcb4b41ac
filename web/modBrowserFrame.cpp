#include "web/modBrowserFrame.h"

#include "controls/CommandBars.h"
#include "controls/StatusBar.h"
#include "core/QvIds.h"

#include <QMainWindow>
#include <QStatusBar>
#include <QVBoxLayout>

namespace modBrowserFrame {

QWidget* EmbedInnerWindow(QWidget* form, QObject* resizeWatcher, QMainWindow** inner) {
    auto* layout = new QVBoxLayout(form);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* window = new QMainWindow(form);
    // A main window always makes itself a window of its own; this one lives inside the form.
    window->setWindowFlags(Qt::Widget);
    layout->addWidget(window);
    auto* container = new QWidget(window);
    window->setCentralWidget(container);
    container->installEventFilter(resizeWatcher);
    *inner = window;
    return container;
}

void BuildStatusBar(CommandBars* bars) {
    StatusBar* status = bars->statusBar();
    status->AddPane(StatusPaneId::Main)->setVisible(false);
    status->AddPane(StatusPaneId::BrowserStatusText)->setWidth(500);
    StatusBarPane* progress = status->AddProgressPane(StatusPaneId::BrowserProgress);
    progress->setWidth(150);
    progress->setVisible(false);
    status->bar()->setVisible(true);
}

void ShowLoadProgress(CommandBars* bars, int progress) {
    StatusBarPane* pane = bars->statusBar()->FindPane(StatusPaneId::BrowserProgress);
    if (!pane)
        return;
    pane->setProgressRange(100);
    pane->setVisible(true);
    if (progress >= 0 && progress <= 100)
        pane->setProgressValue(progress);
}

void HideLoadProgress(CommandBars* bars) {
    if (StatusBarPane* pane = bars->statusBar()->FindPane(StatusPaneId::BrowserProgress))
        pane->setVisible(false);
}

} // namespace modBrowserFrame
