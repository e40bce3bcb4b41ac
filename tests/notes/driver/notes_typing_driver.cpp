// Types into the first note of a User.dat, one character per millisecond, until it is killed.
//
//   notes_typing_driver FOLDER [SAVE_INTERVAL_MS]
//
// Prints "ready N" once the note's window is open (N: the length of the note's text), then
// "typed N" after every character. The note's text is expected to be a prefix of PlannedText;
// typing goes on from where it stands.
#include "core/clsUserData.h"
#include "notes/clsPostNote.h"
#include "notes/clsPostNotes.h"
#include "notes/frmPostNote.h"

#include "PlannedText.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: notes_typing_driver FOLDER [SAVE_INTERVAL_MS]\n");
        return 2;
    }
    clsUserData userData(QString::fromLocal8Bit(argv[1]) + "/User.dat", nullptr);
    if (!userData.LoadError().isEmpty()) {
        std::fprintf(stderr, "cannot load: %s\n", qPrintable(userData.LoadError()));
        return 3;
    }
    clsPostNotes* notes = clsPostNotes::Of(&userData);
    if (argc > 2)
        notes->SetSaveInterval(QString::fromLocal8Bit(argv[2]).toInt());
    clsPostNote* note = notes->Count() > 0 ? notes->GetPostNote(0) : notes->AddNew();
    if (!note->FormHandle)
        note->Show();
    QPlainTextEdit* edit = note->FormHandle->txt_Note();
    edit->setFocus();
    edit->moveCursor(QTextCursor::End);
    std::printf("ready %d\n", int(edit->toPlainText().size()));
    std::fflush(stdout);

    QTimer keys;
    QObject::connect(&keys, &QTimer::timeout, edit, [edit] {
        const qsizetype length = edit->toPlainText().size();
        const QString text(PlannedChar(length));
        // A key with text, as a keyboard or an input method delivers it.
        const int key = text == "\n" ? int(Qt::Key_Return) : 0;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(edit, &press);
        QApplication::sendEvent(edit, &release);
        std::printf("typed %d\n", int(edit->toPlainText().size()));
        std::fflush(stdout);
    });
    keys.start(1);
    return QApplication::exec();
}
