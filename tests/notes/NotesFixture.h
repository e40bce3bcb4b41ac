#pragma once
#include "controls/CommandBars.h"
#include "controls/TaskDialog.h"
#include "core/QvIds.h"
#include "core/XmlDocument.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "notes/clsPostNote.h"
#include "notes/clsPostNotes.h"
#include "notes/frmPostNote.h"
#include "platform/PlainMessage.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

// Failures show texts as texts.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

// Lets events run until the condition holds (five seconds at most), then checks it.
#define EXPECT_EVENTUALLY(condition)                                                                         \
    do {                                                                                                     \
        (void)QTest::qWaitFor([&] { return bool(condition); }, 5000);                                        \
        EXPECT_TRUE(condition);                                                                              \
    } while (0)

// One `postnote` element as the program writes it.
inline QString noteXml(const QString& id, const QString& visible = "0", const QString& text = QString(),
                       const QString& geometry = "top='' left='' width='' height=''") {
    return "<postnote psid='" + id + "' createtime='t" + id + "' visible='" + visible + "' " + geometry +
           ">" + text + "</postnote>";
}

// A User.dat of its own, its notes, and the notes button on a toolbar of a main window whose
// bars route commands to the notes. Questions get `answer`; plain messages go to `messages`.
class NotesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        TaskDialog::SetAnswerer([this](const TaskDialog& d) -> std::optional<int> {
            questions << d.MainInstructionText;
            return answer;
        });
        SetPlainMessageHandler([this](const QString& text, const QString&) { messages << text; });
    }
    void TearDown() override {
        userData.reset();
        QApplication::processEvents();
        TaskDialog::SetAnswerer({});
        SetPlainMessageHandler({});
    }

    QString path() const { return dir.filePath("User.dat"); }
    // Writes User.dat with the given `postnotes` section (none when empty) and loads the notes.
    clsPostNotes* load(const QString& section) {
        modDataFile::WriteEncryptedFile(path(), "<data><globalinfo userid=\"1\"/>" + section + "</data>");
        return reload();
    }
    // Drops the store (its windows close unsaved, as in a crash) and loads the file again.
    clsPostNotes* reload() {
        userData.reset();
        QApplication::processEvents();
        userData = std::make_unique<clsUserData>(path(), nullptr);
        return notes = clsPostNotes::Of(userData.get());
    }
    // An attribute (or with "text", the text) of every note in the file as it is now.
    QStringList onDisk(const QString& name) {
        XmlDocument doc;
        EXPECT_TRUE(doc.loadXML(modDataFile::ReadEncryptedFile(path())));
        QStringList values;
        for (const XmlNode& n : doc.selectNodes("data/postnotes/postnote"))
            values << (name == "text" ? n.text() : n.getAttribute(name));
        return values;
    }
    QStringList ids() const {
        QStringList out;
        for (const clsPostNote* n : notes->NewEnum())
            out << QString::number(n->psID());
        return out;
    }
    CommandBarControl* addButton() {
        window = std::make_unique<QMainWindow>();
        auto* bars = new CommandBars(window.get());
        QObject::connect(bars, &CommandBars::Execute, notes, &clsPostNotes::OnExecute);
        toolbar = bars->Add("工具");
        return notes->initPostNoteCommandbars(toolbar);
    }
    CommandBar* openDropDown() {
        CommandBar* popup = toolbar->Find(Cmd::NoteAdd)->CommandBar();
        emit popup->menu()->aboutToShow();
        return popup;
    }

    QTemporaryDir dir;
    std::unique_ptr<clsUserData> userData;
    clsPostNotes* notes = nullptr;
    std::unique_ptr<QMainWindow> window;
    CommandBar* toolbar = nullptr;
    int answer = Answer::No;
    QStringList questions, messages;
};
