#include "shell/modSubsystems.h"

#include "controls/DockingPanes.h"
#include "core/QvIds.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modInitial.h"
#include "notes/clsPostNotes.h"
#include "search/frmAdvSearch.h"
#include "search/frmSearch.h"
#include "search/modAssistantPanels.h"
#include "shell/frmMain.h"
#include "update/clsOnlineUpdate.h"
#include "update/modServerRequests.h"
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

    // Sticky notes: the notes button on toolbar "工具" (which also reopens the notes that were
    // open at the last exit) and the commands of its drop-down. At the end the note windows
    // close before the user data is saved, so their last places go into that save and the notes
    // stay marked visible.
    ext.addNotesControl = [](CommandBar* toolbar) -> CommandBarControl* {
        clsPostNotes* notes = modInitial::gData ? clsPostNotes::Of(modInitial::gData->UserData()) : nullptr;
        return notes ? notes->initPostNoteCommandbars(toolbar) : nullptr;
    };
    for (int id : {Cmd::NoteAdd, Cmd::NoteHideAll, Cmd::NoteShowAll, Cmd::NoteHide, Cmd::NoteShow,
                   Cmd::NoteDeleteAll}) {
        ext.commands[id] = [](CommandBarControl* control) {
            if (modInitial::gData) {
                if (clsPostNotes* notes = clsPostNotes::Of(modInitial::gData->UserData()))
                    notes->OnExecute(control);
            }
        };
    }
    modInitial::AddShutdownStep(
        [] {
            if (modInitial::gData && modInitial::gData->HasUserData()) {
                if (clsPostNotes* notes = clsPostNotes::Existing(modInitial::gData->UserData()))
                    notes->UnloadForExit();
            }
        },
        nullptr);

    // Update: the user identifier and the statistics ping go through the text fetcher; the file
    // list is checked after the first page is open (unless the command line turned it off) and
    // on command 104; closing the main window cancels a running download before the save.
    modServerRequests::Install();
    ext.commands[Cmd::CheckUpdate] = [](CommandBarControl*) {
        clsOnlineUpdate::Global()->OnlineUpdateChecking();
    };
    modInitial::AddStartupStep([] {
        if (!modInitial::gOnlineUpdateOff)
            clsOnlineUpdate::Global()->OnlineUpdateChecking();
    });
    ext.beforeSave = [] { clsOnlineUpdate::Global()->CancelDownload(); };

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
