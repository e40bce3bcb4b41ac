#include "shell/modSubsystems.h"

#include "core/QvIds.h"
#include "core/modInitial.h"
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

    // After the user data is saved: the browser windows close as the application closes, then
    // the opener goes.
    modInitial::AddShutdownStep(nullptr, [] {
        frmBrowser::CloseAllWindows();
        cltWebPage::ReleaseGlobal();
    });
}

} // namespace modSubsystems
