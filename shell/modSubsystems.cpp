#include "shell/modSubsystems.h"

#include "controls/CommandBars.h"
#include "controls/DockingPanes.h"
#include "controls/TabbedWorkspace.h"
#include "core/QvIds.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modInitial.h"
#include "core/modTools.h"
#include "links/clsLinks.h"
#include "links/frmEnt.h"
#include "links/frmIMMSN.h"
#include "links/frmNav.h"
#include "links/frmSNS.h"
#include "links/modPaneCommandbars.h"
#include "mail/frmMailbox.h"
#include "notes/clsPostNotes.h"
#include "recent/clsRecentFile.h"
#include "recent/clsRecentFileMenu.h"
#include "search/frmAdvSearch.h"
#include "search/frmSearch.h"
#include "search/modAssistantPanels.h"
#include "shell/frmMain.h"
#include "software/clsLocalSoftware.h"
#include "software/frmSelectCustomFile.h"
#include "update/clsOnlineUpdate.h"
#include "update/modServerRequests.h"
#include "web/cWebBrowser.h"
#include "web/cltWebPage.h"
#include "web/frmAddFavorite.h"
#include "web/frmBrowser.h"
#include "web/frmFavorites.h"
#include "web/frmPaneWebPage.h"
#include "web/modSiteIcons.h"

#include <QApplication>
#include <QWebEnginePage>

#include <QWidget>
#include <cstdio>
#include <ctime>

namespace modSubsystems {
namespace {

// The recent-documents store of the program: made when the main window asks for its menu,
// released by the shutdown.
std::unique_ptr<clsRecentFile>& recentFile() {
    static std::unique_ptr<clsRecentFile> store;
    return store;
}

bool isWebPane(int paneId) {
    return paneId == PaneId::Music || paneId == PaneId::Novel || paneId == PaneId::Movie ||
           paneId == PaneId::Stock;
}

// Links and trees: the navigation and entertainment trees, the community panel, the web panes
// with their library menus, the MSN window, and the favorites of the
// browser windows.
void installLinks(frmMain::Extensions& ext) {
    auto previousContent = ext.createPaneContent;
    ext.createPaneContent = [previousContent](int paneId) -> QWidget* {
        switch (paneId) {
        case PaneId::Navigation:
            return new frmNav;
        case PaneId::Entertainment:
            return new frmEnt;
        case PaneId::Community:
            return new frmSNS;
        default:
            break;
        }
        if (isWebPane(paneId)) {
            auto* pane = new frmPaneWebPage;
            pane->PaneId = paneId;
            return pane;
        }
        return previousContent ? previousContent(paneId) : nullptr;
    };

    auto previousAttached = ext.paneContentAttached;
    ext.paneContentAttached = [previousAttached](int paneId, QWidget* content) {
        if (auto* pane = qobject_cast<frmPaneWebPage*>(content); pane && isWebPane(paneId)) {
            pane->PaneId = paneId;
            modPaneCommandbars::AddLibraryMenus(pane, paneId, ProgramLinks());
            return;
        }
        if (previousAttached)
            previousAttached(paneId, content);
    };

    auto previousExpanding = ext.paneExpanding;
    ext.paneExpanding = [previousExpanding](int paneId, QWidget* content) {
        if (auto* pane = qobject_cast<frmPaneWebPage*>(content); pane && isWebPane(paneId)) {
            // A pane shows its page from its first display on; later displays keep the page.
            if (!pane->isAssignedURL())
                pane->goURL(paneId == PaneId::Stock ? modPaneCommandbars::StockPageAddress(ProgramLinks())
                                                    : QStringLiteral("about:blank"));
            return;
        }
        if (previousExpanding)
            previousExpanding(paneId, content);
    };

    modTools::SetMSNInquiryHandler([] {
        auto* window = new frmIMMSN(modInitial::gMainWindow);
        window->show();
    });

    frmBrowser::SetFavoritesMenuHandler(
        [](frmBrowser*, CommandBar* menu) { frmFavorites::FillFavoritesMenu(menu); },
        [](frmBrowser*, CommandBarControl* control) { frmFavorites::RunFavoritesCommand(control); });
    cWebBrowser::SetAddFavoriteHandler([](const QString& url, const QString& title) {
        QWidget* parent =
            QApplication::activeWindow() ? QApplication::activeWindow() : modInitial::gMainWindow.data();
        frmAddFavorite::AddFavorite(parent, title, url);
    });
}

} // namespace

QStringList BenchmarkPages() {
    return qEnvironmentVariable("QV_BENCH_PAGES").split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

void ReportToBenchmark(const char* moment) {
    static const bool asked = qEnvironmentVariableIsSet("QV_BENCH_PAGES");
    if (!asked)
        return;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::printf("%s %.3f\n", moment, double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6);
    std::fflush(stdout);
}

void Install() {
    frmMain::Extensions& ext = frmMain::extensions();

    // Browsing: the first window is the pending window of the opener, shown as the start page
    // and filled with the recently-closed-pages page. It is made once the main window is on the
    // screen: starting the web engine takes longer than the whole rest of the start, and the
    // user sees the window meanwhile.
    ext.commands[Cmd::NewPage] = [](CommandBarControl*) { cltWebPage::Global()->OpenNewPage(); };
    modInitial::AddStartupStep([] {
        cltWebPage* opener = cltWebPage::Global();
        // The favorites show the icons of the sites the browser windows have shown.
        QObject::connect(opener, &cltWebPage::windowCreated, opener,
                         [](frmBrowser* window) { modSiteIcons::Watch(window->page()); });
        opener->CreateFirstWindow();
        opener->initialNewWebPage();
        frmBrowser* first = opener->PendingFirstWindow();
        // What can wait for the first page follows once it has loaded.
        if (QWebEnginePage* page = first ? first->page() : nullptr)
            QObject::connect(page, &QWebEnginePage::loadFinished, qApp, &modInitial::FirstPageShown,
                             Qt::SingleShotConnection);
        const QStringList benchmarkPages = BenchmarkPages();
        if (benchmarkPages.isEmpty()) {
            opener->NewPage(QStringLiteral("rcp"));
            return;
        }
        opener->Add(benchmarkPages.first());
        ReportToBenchmark("load");
        for (const QString& page : benchmarkPages.mid(1))
            opener->Add(page);
        if (modInitial::gWorkspace && first)
            modInitial::gWorkspace->Activate(first);
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
    // list is checked once the first page has loaded (unless the command line turned it off) and
    // on Cmd::CheckUpdate; closing the main window cancels a running download before the save.
    modServerRequests::Install();
    ext.commands[Cmd::CheckUpdate] = [](CommandBarControl*) {
        clsOnlineUpdate::Global()->OnlineUpdateCheckingOnRequest();
    };
    modInitial::AddLateStartupStep([] {
        if (!modInitial::gOnlineUpdateOff)
            clsOnlineUpdate::Global()->OnlineUpdateChecking();
    });
    ext.beforeSave = [] { clsOnlineUpdate::Global()->CancelDownload(); };

    // Search: the quick search pane and the advanced search pane get their windows
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
    installLinks(ext);

    // Web mail: the mail pane (307) gets its window as it first comes out; the window fills its
    // service box from the common data's mail catalogue.
    ext.createPaneContent = [previous = ext.createPaneContent](int paneId) -> QWidget* {
        if (paneId == PaneId::Mail)
            return new frmMailbox;
        return previous ? previous(paneId) : nullptr;
    };

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
    // Local software: the application buttons of toolbar "本地工具" and their drop-downs, the
    // web links and the custom-application window they offer, and the rescan command (the main
    // window then refills the bar that held it with the programs found).
    ext.addLocalSoftware = [](CommandBar* toolbar) {
        if (clsLocalSoftware* software = clsLocalSoftware::Program())
            software->initialAppLocation(toolbar);
    };
    ext.commands[Cmd::OpenLink] = [](CommandBarControl* control) {
        if (clsLocalSoftware* software = clsLocalSoftware::Program(); software && control)
            software->OpenWebLink(control->Parameter());
    };
    ext.commands[Cmd::RescanSoftware] = [](CommandBarControl*) {
        if (clsLocalSoftware* software = clsLocalSoftware::Program())
            software->ScanLocalSoft();
    };
    ext.commands[Cmd::AddSoftware] = [](CommandBarControl*) {
        if (modInitial::gData)
            frmSelectCustomFile::ShowWindow(modInitial::gData->UserData(), modInitial::gMainWindow);
    };

    // After the user data is saved: the browser windows close as the application closes, then
    // the opener goes.
    modInitial::AddShutdownStep(nullptr, [] {
        frmBrowser::CloseAllWindows();
        cltWebPage::ReleaseGlobal();
    });
}

} // namespace modSubsystems
