#pragma once
#include <QIcon>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

// A modal question: a window title, a bold main instruction, a content text, an optional note,
// custom buttons that return numeric results, a default button (the one Enter presses) and a
// main icon. Every question of the program goes through ShowDialog, so a test can answer it
// without a person (SetAnswerer), and the end-to-end tests of the real program can have it
// answered with the default button (environment variable QV_AUTOANSWER; the main instruction
// then goes to stderr as "QV question: <text>").
class TaskDialog {
public:
    struct Button {
        int id;
        QString caption;
    };

    void Reset();
    QString WindowTitle;
    QString MainInstructionText;
    QString ContentText;
    QString FooterText;
    QIcon MainIcon;
    int MainIconSize = 32;
    void AddButton(const QString& caption, int id) { mButtons.append({id, caption}); }
    QList<Button> Buttons() const { return mButtons; }
    int DefaultButton = 0;
    // Told the identifier when the user presses one of the shown dialog's buttons, before the
    // dialog closes (not when it is dismissed or answered without showing). Reset keeps it.
    std::function<void(int)> ButtonClick;

    // Shows the question modally and returns the identifier of the pressed button. A question
    // dismissed without a button (Escape, the window's close box) returns the default button's
    // identifier, the safe answer of every question.
    int ShowDialog(QWidget* parent = nullptr) const;

    // A function that answers questions instead of the user: it gets the question and returns
    // the identifier, or nothing to let the dialog show. An empty function removes it.
    using Answerer = std::function<std::optional<int>(const TaskDialog&)>;
    static void SetAnswerer(Answerer answerer);

    // The dialog widget, for tests that press keys in it: built but not shown. `result` (when
    // given) holds the default button's identifier and receives the pressed button's.
    QWidget* CreateWidget(QWidget* parent, int* result) const;
    // The identifier a dismissal returns: DefaultButton, or the first button's when
    // DefaultButton names none of the buttons.
    int DefaultResult() const;

private:
    QList<Button> mButtons;
};
