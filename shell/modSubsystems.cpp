#include "shell/modSubsystems.h"

#include "controls/DockingPanes.h"
#include "core/QvIds.h"
#include "core/modInitial.h"
#include "search/frmAdvSearch.h"
#include "search/frmSearch.h"
#include "search/modAssistantPanels.h"
#include "shell/frmMain.h"
#include "web/cltWebPage.h"
#include "web/frmBrowser.h"

namespace modSubsystems {

void Install() {
    frmMain::Extensions& ext = frmMain::extensions();

    // Browsing: the first window is the pending window of the opener, shown as the start page
    // and filled with the recently-closed-pages page. It is made once the main window is on the
    // screen: starting the web engine takes longer than the whole rest of the start, and the
    // user sees the window meanwhile.
    ext.commands[Cmd::NewPage] = [](CommandBarControl*) { cltWebPage::Global()->OpenNewPage(); };
    modInitial::AddStartupStep([] {
        cltWebPage* opener = cltWebPage::Global();
        opener->CreateFirstWindow();
        opener->initialNewWebPage();
        opener->NewPage(QStringLiteral("rcp"));
    });

    // Search: the quick search pane (420) and the advanced search pane (421) get their windows
    // when first shown; the quick pane's "超级搜索.." opens the advanced one. Every browser
    // window's assistant menu gets the translation and site-search panels on its first opening.
    ext.createPaneContent = [previous = ext.createPaneContent](int paneId) -> QWidget* {
        if (paneId == PaneId::Search) {
            auto* quick = new frmSearch;
            QObject* window = modInitial::gDockingPanes ? modInitial::gDockingPanes->window() : nullptr;
            if (auto* main = qobject_cast<frmMain*>(window))
                QObject::connect(quick, &frmSearch::showAdvSearchPane, main, &frmMain::showAdvSearchPane);
            return quick;
        }
        if (paneId == PaneId::AdvancedSearch)
            return new frmAdvSearch;
        return previous ? previous(paneId) : nullptr;
    };
    frmBrowser::SetAssistantMenuHandler(&modAssistantPanels::AddAssistantPanels);

    // After the user data is saved: the browser windows close as the application closes, then
    // the opener goes.
    modInitial::AddShutdownStep(nullptr, [] {
        frmBrowser::CloseAllWindows();
        cltWebPage::ReleaseGlobal();
    });
}

} // namespace modSubsystems
