#include "shell/modSubsystems.h"

#include "controls/CommandBars.h"
#include "core/QvIds.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modInitial.h"
#include "notes/clsPostNotes.h"
#include "shell/frmMain.h"
#include "software/clsLocalSoftware.h"
#include "software/frmSelectCustomFile.h"
#include "web/cltWebPage.h"
#include "web/frmBrowser.h"

#include <QWidget>

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
