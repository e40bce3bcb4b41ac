#include "shell/modSubsystems.h"

#include "core/QvIds.h"
#include "core/modInitial.h"
#include "recent/clsRecentFile.h"
#include "recent/clsRecentFileMenu.h"
#include "shell/frmMain.h"
#include "web/cltWebPage.h"
#include "web/frmBrowser.h"

namespace {

// The recent-documents store of the program: made when the main window asks for its menu,
// released by the shutdown.
std::unique_ptr<clsRecentFile>& recentFile() {
    static std::unique_ptr<clsRecentFile> store;
    return store;
}

} // namespace

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

    // Recent documents: the drop-down "最近的文档" on toolbar "工具". Its commands are carried
    // out by the menu, which shows their failures itself.
    ext.addRecentDocumentsMenu = [](CommandBar* toolbar) {
        if (!recentFile())
            recentFile() = std::make_unique<clsRecentFile>();
        recentFile()->initlRecentFileMenu(toolbar);
    };
    for (int id : clsRecentFileMenu::CommandIds()) {
        ext.commands[id] = [](CommandBarControl* control) {
            if (clsRecentFileMenu* menu = recentFile() ? recentFile()->Menu() : nullptr)
                menu->Execute(control);
        };
    }
    modInitial::AddShutdownStep(nullptr, [] { recentFile().reset(); });

    // After the user data is saved: the browser windows close as the application closes, then
    // the opener goes.
    modInitial::AddShutdownStep(nullptr, [] {
        frmBrowser::CloseAllWindows();
        cltWebPage::ReleaseGlobal();
    });
}

} // namespace modSubsystems
