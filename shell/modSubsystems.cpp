#include "shell/modSubsystems.h"

#include "core/modInitial.h"
#include "shell/frmMain.h"
#include "web/cltWebPage.h"
#include "web/frmBrowser.h"

namespace modSubsystems {

void Install() {
    frmMain::Extensions& ext = frmMain::extensions();

    // Browsing: the first window is made at the start of the main window's load and shown at
    // its end; start-up then fills it with the recently-closed-pages page.
    ext.createFirstWindows = [](frmMain*) { cltWebPage::Global()->CreateFirstWindow(); };
    ext.showStartPage = [](frmMain*) { cltWebPage::Global()->initialNewWebPage(); };
    ext.commands[197] = [](CommandBarControl*) { cltWebPage::Global()->OpenNewPage(); };
    modInitial::AddStartupStep([] { cltWebPage::Global()->NewPage(QStringLiteral("rcp")); });

    // After the user data is saved: the browser windows close as the application closes, then
    // the opener goes.
    modInitial::AddShutdownStep(nullptr, [] {
        frmBrowser::CloseAllWindows();
        cltWebPage::ReleaseGlobal();
    });
}

} // namespace modSubsystems
