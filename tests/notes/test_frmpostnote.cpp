#include "NotesFixture.h"

#include "platform/Twips.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <QtTest/qtestspontaneevent.h>

namespace {
// The close box: the window system asks the window to close, and the window goes through its
// whole close (the widget's close event, hiding, deletion).
void closeBox(QWidget* window) {
    QCloseEvent event;
    QSpontaneKeyEvent::setSpontaneous(&event);
    QCoreApplication::sendEvent(window->windowHandle(), &event);
}
QRect pixelsOf(const QWidget* window) {
    return QRect(window->pos(), window->size());
}
} // namespace

TEST_F(NotesTest, ANewNoteOpensTopMostAtTheDefaultPlaceAndWorksFromTheKeyboard) {
    load("");
    clsPostNote* note = notes->AddNew();
    frmPostNote* window = note->FormHandle;
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(window->windowTitle(), "便签[" + note->CreateTime() + "]");
    EXPECT_EQ(window->txt_Note()->toPlainText(), "");
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(pixelsOf(window),
              QRect(screen.x() + screen.width() / 2 - 100, screen.y() + screen.height() / 2 - 100, 300, 200));
    EXPECT_EQ(window->centralWidget(), window->txt_Note());

    // Typing goes to the edit box; Tab leaves it for "删除", where Space asks before deleting.
    QPlainTextEdit* edit = window->txt_Note();
    QToolButton* remove = window->deleteButton()->toolButton();
    EXPECT_EQ(window->focusWidget(), edit);
    EXPECT_EQ(edit->accessibleName(), "便签内容");
    EXPECT_EQ(remove->accessibleName(), "删除");
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_EQ(window->focusWidget(), remove);
    QTest::keyClick(remove, Qt::Key_Space);
    EXPECT_EQ(questions, QStringList{"真的要删除该便签？"});
    EXPECT_TRUE(note->FormHandle);
}

TEST_F(NotesTest, GeometryIsSavedInTwipsAndRestored) {
    load("");
    clsPostNote* note = notes->AddNew();
    note->FormHandle->move(123, 77);
    note->FormHandle->resize(250, 180);
    const double x = 1440.0 / QGuiApplication::primaryScreen()->logicalDotsPerInchX();
    const double y = 1440.0 / QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    const QStringList twips = {QString::number(qRound(123 * x)), QString::number(qRound(77 * y)),
                               QString::number(qRound(250 * x)), QString::number(qRound(180 * y))};
    auto geometryOnDisk = [this] {
        return QStringList{onDisk("left").value(0), onDisk("top").value(0), onDisk("width").value(0),
                           onDisk("height").value(0)};
    };
    EXPECT_EVENTUALLY(geometryOnDisk() == twips);

    // The close box hides the note; the next window opens in the same place.
    closeBox(note->FormHandle);
    EXPECT_EQ(onDisk("visible"), QStringList{"0"});
    note->Show();
    EXPECT_EQ(pixelsOf(note->FormHandle), QRect(123, 77, 250, 180));
    notes->FlushSave();
    EXPECT_EQ(geometryOnDisk(), twips); // reopening does not round the stored place

    notes->UnloadForExit();
    reload();
    notes->ShowVisible();
    EXPECT_EQ(pixelsOf(notes->GetPostNote(0)->FormHandle), QRect(123, 77, 250, 180));

    // A place on no screen (a monitor that is gone), or no size, gives the default place.
    load("<postnotes>" + noteXml("1", "1", "", "top='-90000' left='-90000' width='3000' height='3000'") +
         noteXml("2", "1", "", "top='0' left='0' width='' height=''") + "</postnotes>");
    notes->ShowVisible();
    const QRect place = frmPostNote::DefaultGeometry(QGuiApplication::primaryScreen());
    EXPECT_EQ(pixelsOf(notes->GetPostNote(0)->FormHandle), place);
    EXPECT_EQ(pixelsOf(notes->GetPostNote(1)->FormHandle), place);
}

TEST_F(NotesTest, TextChangesAreSavedAndOnlyTheCloseBoxHidesTheNote) {
    load("");
    addButton();
    clsPostNote* note = notes->AddNew();
    QPlainTextEdit* edit = note->FormHandle->txt_Note();
    QTest::keyClicks(edit, "call <5> & 'soon'");
    edit->insertPlainText("\n王先生");
    const QString typed = "call <5> & 'soon'\n王先生";
    EXPECT_EVENTUALLY(onDisk("text") == QStringList{typed});
    edit->setPlainText("   "); // blank text survives the file too
    EXPECT_EVENTUALLY(onDisk("text") == QStringList{"   "});

    // The program closing the window (as at exit) leaves the note open for the next start.
    note->FormHandle->close();
    EXPECT_FALSE(note->FormHandle);
    EXPECT_EQ(onDisk("visible"), QStringList{"1"});

    note->Show();
    QPointer<frmPostNote> window = note->FormHandle.data();
    closeBox(window);
    EXPECT_EQ(onDisk("visible"), QStringList{"0"});
    EXPECT_EQ(openDropDown()->Item(3)->Id(), Cmd::NoteShow);
    EXPECT_EVENTUALLY(!window);
}
