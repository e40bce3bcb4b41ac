#include "NotesFixture.h"

#include "core/QvError.h"

#include <QDir>
#include <QTimer>

namespace {
// The entries of a list: id:caption, "-off" when disabled, "|" when a group starts, "=parameter".
QString describe(CommandBar* popup) {
    QStringList out;
    for (CommandBarControl* c : popup->Controls())
        out << QString::number(c->Id()) + ":" + c->Caption() + (c->Enabled() ? "" : "-off") +
                   (c->BeginGroup() ? "|" : "") + (c->Parameter().isEmpty() ? "" : "=" + c->Parameter());
    return out.join("; ");
}
} // namespace

TEST_F(NotesTest, AnEmptySectionStartsAtOneAndListsAnOpenNoteByItsTime) {
    load("");
    CommandBarControl* button = addButton();
    EXPECT_EQ(userData->XMLNode.lastChild().nodeName(), "postnotes"); // created on first access
    EXPECT_EQ(button->Id(), Cmd::NoteAdd);
    EXPECT_EQ(button->Caption(), "便签");
    EXPECT_EQ(button->type(), CommandBarControl::SplitButtonPopup);
    EXPECT_EQ(describe(openDropDown()),
              QStringLiteral("%1:显示所有便签-off; %2:删除所有便签-off; %3:隐藏所有便签-off|")
                  .arg(Cmd::NoteShowAll)
                  .arg(Cmd::NoteDeleteAll)
                  .arg(Cmd::NoteHideAll));

    // From the keyboard: Tab reaches the button, Down opens its list.
    EXPECT_EQ(button->toolButton()->focusPolicy(), Qt::TabFocus);
    EXPECT_EQ(button->toolButton()->accessibleName(), "便签");
    window->show();
    bool listOpened = false;
    QTimer::singleShot(20, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            listOpened = menu->actions().size() >= 3;
            menu->close();
        }
    });
    QTest::keyClick(button->toolButton(), Qt::Key_Down);
    EXPECT_EVENTUALLY(listOpened);

    // The button part: a new note, saved, open, listed as open (Cmd::NoteHide) under its time.
    button->Execute();
    ASSERT_EQ(ids(), QStringList{"1"});
    clsPostNote* note = notes->GetPostNote("1");
    ASSERT_TRUE(note->FormHandle && note->FormHandle->isVisible());
    EXPECT_EQ(note->XMLNode().attributeNames(),
              QStringList({"psid", "createtime", "visible", "top", "left", "width", "height"}));
    EXPECT_EVENTUALLY(onDisk("visible") == QStringList{"1"});
    note->FormHandle->txt_Note()->setPlainText("王先生 <回电>");
    const QString time = note->CreateTime();
    EXPECT_EQ(describe(openDropDown()),
              QStringLiteral("%1:显示所有便签-off; %2:删除所有便签; %3:隐藏所有便签|; %4:   ")
                      .arg(Cmd::NoteShowAll)
                      .arg(Cmd::NoteDeleteAll)
                      .arg(Cmd::NoteHideAll)
                      .arg(Cmd::NoteHide) +
                  time + "=1");
    EXPECT_EQ(openDropDown()->Item(3)->DescriptionText(), "王先生 <回电>");

    // Its entry hides it; then it is listed as hidden (Cmd::NoteShow) and its entry shows it again.
    openDropDown()->Item(3)->Execute();
    EXPECT_FALSE(note->FormHandle);
    EXPECT_EQ(describe(openDropDown()),
              QStringLiteral("%1:显示所有便签; %2:删除所有便签; %3:隐藏所有便签-off|; %4:   ")
                      .arg(Cmd::NoteShowAll)
                      .arg(Cmd::NoteDeleteAll)
                      .arg(Cmd::NoteHideAll)
                      .arg(Cmd::NoteShow) +
                  time + "=1");
    openDropDown()->Item(3)->Execute();
    EXPECT_TRUE(note->FormHandle);
}

TEST_F(NotesTest, IdsFollowTheLastNoteAndNeverCollide) {
    load("<postnotes>" + noteXml("1") + noteXml("5") + noteXml("3") + "</postnotes>");
    EXPECT_EQ(notes->AddNew()->psID(), 4); // the last note's id plus one, not the largest plus one
    EXPECT_EQ(notes->AddNew()->psID(), 6); // 5 is taken
    EXPECT_EQ(onDisk("psid"), QStringList({"1", "5", "3", "4", "6"}));

    // Duplicates, no numbers, leading zeros, zero, beyond 16 and 32 bits, missing attributes:
    // every note is listed under an id of its own; other children stay as they are.
    load("<postnotes>" + noteXml("7", "1", "A") + noteXml("7", "0", "B") + noteXml("x", "0", "C") +
         "<postnote psid='007'>D</postnote><!-- c --><other/>" + noteXml("40000", "0", "E") +
         noteXml("0", "0", "F") + noteXml("9999999999", "0", "G") + "</postnotes>");
    EXPECT_EQ(ids(), QStringList({"7", "8", "9", "10", "40000", "1", "2"}));
    QStringList texts;
    for (const clsPostNote* n : notes->NewEnum())
        texts << n->Text() + (notes->Find(QString::number(n->psID())) == n ? "" : "?");
    EXPECT_EQ(texts, QStringList({"A", "B", "C", "D", "E", "F", "G"}));
    EXPECT_EQ(notes->GetPostNote(3)->Visible(), "0");
    EXPECT_EQ(notes->AddNew()->psID(), 3); // new ids stay within 16 bits
    EXPECT_EQ(onDisk("psid"), QStringList({"7", "8", "9", "10", "40000", "1", "2", "3"}));
    EXPECT_EQ(userData->XMLNode.selectNodes("postnotes/other").length(), 1);

    load("<postnotes>" + noteXml("2") + noteXml("32767") + "</postnotes>");
    EXPECT_EQ(notes->AddNew()->psID(), 1); // round from the top of the range
    EXPECT_THROW(notes->GetPostNote("99"), QvError);
    EXPECT_THROW(notes->Add(new clsPostNote(notes), "1"), QvError);
}

TEST_F(NotesTest, DeleteAllAsksOnceAndCancellingChangesNothing) {
    load("<postnotes>" + noteXml("1", "1", "one") + noteXml("2", "0", "two") + "</postnotes>");
    addButton(); // reopens note 1
    QPointer<frmPostNote> window = notes->GetPostNote("1")->FormHandle.data();
    ASSERT_TRUE(window);
    notes->FlushSave();
    const QString before = modDataFile::ReadEncryptedFile(path());

    openDropDown()->Find(Cmd::NoteDeleteAll)->Execute(); // "稍后(&N)"
    EXPECT_EQ(questions, QStringList{"真的要删除所有便签？"});
    EXPECT_EQ(ids(), QStringList({"1", "2"}));
    EXPECT_TRUE(window && window->isVisible());
    QApplication::processEvents();
    EXPECT_EQ(modDataFile::ReadEncryptedFile(path()), before);

    answer = Answer::Yes;
    openDropDown()->Find(Cmd::NoteDeleteAll)->Execute();
    EXPECT_EQ(questions.size(), 2); // one question for all notes
    EXPECT_EQ(notes->Count(), 0);
    EXPECT_EQ(onDisk("psid"), QStringList());
    EXPECT_EVENTUALLY(!window);
}

TEST_F(NotesTest, DeletingAnOpenNoteClosesItsWindowBeforeTheElementGoes) {
    load("<postnotes>" + noteXml("1", "1", "one") + noteXml("2", "1", "two") + "</postnotes>");
    notes->ShowVisible();
    const XmlNode element = notes->GetPostNote("1")->XMLNode();
    QPointer<frmPostNote> window = notes->GetPostNote("1")->FormHandle.data();
    struct CloseProbe : QObject {
        XmlNode element;
        bool elementThere = false;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Close)
                elementThere = !element.parentNode().isNull();
            return false;
        }
    } probe;
    probe.element = element;
    window->installEventFilter(&probe);

    window->deleteButton()->Execute(); // "稍后(&N)" keeps everything
    EXPECT_EQ(questions, QStringList{"真的要删除该便签？"});
    EXPECT_TRUE(window && window->isVisible());
    answer = Answer::Yes;
    window->deleteButton()->Execute();
    EXPECT_TRUE(probe.elementThere);
    EXPECT_TRUE(element.parentNode().isNull());
    EXPECT_EQ(ids(), QStringList{"2"});
    EXPECT_EQ(onDisk("psid"), QStringList{"2"});
    EXPECT_EVENTUALLY(!window);
}

TEST_F(NotesTest, NotesOpenAtExitReopenAtStartAndHiddenOnesStayHidden) {
    load("<postnotes>" + noteXml("1", "0") + noteXml("2", "1") + noteXml("3", "1") + "</postnotes>");
    addButton();
    EXPECT_FALSE(notes->GetPostNote("1")->FormHandle);
    EXPECT_TRUE(notes->GetPostNote("2")->FormHandle);
    notes->GetPostNote("3")->Hide();
    notes->ShowAll();
    EXPECT_TRUE(notes->GetPostNote("1")->FormHandle && notes->GetPostNote("3")->FormHandle);
    notes->HideAll();
    EXPECT_EQ(onDisk("visible"), QStringList({"0", "0", "0"}));
    notes->GetPostNote("2")->Show();
    notes->GetPostNote("3")->Show();
    notes->GetPostNote("3")->FormHandle->txt_Note()->setPlainText("edited");

    notes->UnloadForExit(); // the end of the program
    EXPECT_FALSE(notes->GetPostNote("2")->FormHandle);
    EXPECT_EQ(onDisk("visible"), QStringList({"0", "1", "1"}));
    reload();
    addButton();
    EXPECT_FALSE(notes->GetPostNote("1")->FormHandle);
    ASSERT_TRUE(notes->GetPostNote("2")->FormHandle && notes->GetPostNote("3")->FormHandle);
    EXPECT_EQ(notes->GetPostNote("3")->FormHandle->txt_Note()->toPlainText(), "edited");
}

TEST_F(NotesTest, ChangesAreGatheredButReachTheFileBeforeTheWindowCloses) {
    load("");
    notes->SetSaveInterval(60 * 1000); // no gathered save comes by itself here
    clsPostNote* note = notes->AddNew();
    const int saves = notes->SaveCount();
    QTest::keyClicks(note->FormHandle->txt_Note(), "abc");
    EXPECT_EQ(notes->SaveCount(), saves); // the creation was just saved: the keys wait
    EXPECT_EQ(onDisk("text"), QStringList{""});
    note->FormHandle->Unload(frmPostNote::UnloadByCode);
    EXPECT_EQ(notes->SaveCount(), saves + 1);
    EXPECT_EQ(onDisk("text"), QStringList{"abc"});

    // With the real interval a burst of keys makes a few writes, and the last text arrives.
    notes->SetSaveInterval(200);
    note->Show();
    const int before = notes->SaveCount();
    QTest::keyClicks(note->FormHandle->txt_Note(), QString(40, 'x'));
    EXPECT_EVENTUALLY(onDisk("text") == QStringList{"abc" + QString(40, 'x')});
    EXPECT_LE(notes->SaveCount() - before, 4);
}

TEST_F(NotesTest, AFailedSaveIsReportedOnceAndTheNextGoodSaveWritesEverything) {
    load("");
    QPlainTextEdit* edit = notes->AddNew()->FormHandle->txt_Note();
    notes->SetSaveInterval(0);
    notes->FlushSave();
    // A folder where the file should be: the write cannot replace it.
    QFile::remove(path());
    ASSERT_TRUE(QDir(dir.path()).mkdir("User.dat"));
    edit->setPlainText("first");
    edit->setPlainText("not lost");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("便签无法保存"));
    ASSERT_TRUE(QDir(dir.path()).rmdir("User.dat"));
    edit->appendPlainText("!");
    EXPECT_EQ(onDisk("text"), QStringList{"not lost\n!"});
    EXPECT_EQ(messages.size(), 1);
}
