#include "controls/CommandBars.h"
#include "controls/TaskDialog.h"
#include "core/QvIds.h"
#include "core/XmlDocument.h"
#include "core/clsData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "notes/clsPostNote.h"
#include "notes/clsPostNotes.h"
#include "notes/frmPostNote.h"
#include "platform/Twips.h"
#include "shell/frmMain.h"
#include "shell/modSubsystems.h"

#include <QDir>
#include <QPointer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The notes as the program plugs them in: the button on toolbar "工具" with its tooltip, the
// notes open at the last exit reopened in place, the button's command, and the program's end
// closing the note windows without hiding the notes.
TEST(NotesWiringTest, TheMainWindowCarriesTheNotesFromStartToExit) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    modInitial::SetAppPath(dir.path());
    modInitial::ResetShutdown();
    QDir(dir.path()).mkpath("Data");
    const QString path = dir.filePath("Data/User.dat");
    modDataFile::WriteEncryptedFile(
        path, "<data><globalinfo userid=\"1\"/><postnotes><postnote psid='1' createtime='a' visible='1' "
              "top='1500' left='1500' width='4500' height='3000'/><postnote psid='2' createtime='b' "
              "visible='0' top='' left='' width='' height=''/></postnotes></data>");
    frmMain::extensions() = frmMain::Extensions();
    modSubsystems::Install();
    modInitial::gData = new clsData;

    auto window = std::make_unique<frmMain>();
    window->show();
    CommandBarControl* button = window->toolBarTools()->Item(1);
    EXPECT_EQ(button->Id(), Cmd::NoteAdd);
    EXPECT_EQ(button->TooltipText(), "便签功能可以让你随时记录下电话信息,别人的口信等");
    clsPostNotes* notes = clsPostNotes::Existing(modInitial::gData->UserData());
    ASSERT_TRUE(notes && notes->GetPostNote("1")->FormHandle);
    EXPECT_FALSE(notes->GetPostNote("2")->FormHandle);
    QPointer<frmPostNote> first = notes->GetPostNote("1")->FormHandle.data();
    EXPECT_EQ(QRect(first->pos(), first->size()), Twips::ToPixels(QRect(1500, 1500, 4500, 3000)));
    button->Execute();
    ASSERT_EQ(notes->Count(), 3);
    QPointer<frmPostNote> added = notes->GetPostNote("3")->FormHandle.data();

    window->close();
    EXPECT_EQ(modInitial::gData, nullptr);
    EXPECT_TRUE((!first || !first->isVisible()) && (!added || !added->isVisible()));
    XmlDocument saved;
    ASSERT_TRUE(saved.loadXML(modDataFile::ReadEncryptedFile(path)));
    QStringList visible;
    for (const XmlNode& n : saved.selectNodes("data/postnotes/postnote"))
        visible << n.getAttribute("psid") + "=" + n.getAttribute("visible");
    EXPECT_EQ(visible, QStringList({"1=1", "2=0", "3=1"}));
    window.reset();
    frmMain::extensions() = frmMain::Extensions();
}
