#pragma once
#include "controls/TaskDialog.h"

#include <QList>
#include <QWidget>

// The hidden window that hosts one question of modMessagebox: it fills its task dialog with the
// program's common settings and the question, shows it modally and keeps the answer.
class frmMsgbox : public QWidget {
    Q_OBJECT
public:
    explicit frmMsgbox(QWidget* parent = nullptr);

    TaskDialog TaskDialog1;
    // The identifier of the pressed button.
    qint32 ReturnValue = 0;
    // True once a button of the dialog was pressed.
    bool isReturned = false;

    // Resets the dialog, fills it (title "确认", the question icon) and shows it modally over the
    // active window; returns ReturnValue. Empty texts are left out of the dialog.
    qint32 Ask(const QString& mainInstruction, const QString& content, const QString& note,
               const QList<TaskDialog::Button>& buttons, int defaultButton);

private:
    void TaskDialog1_ButtonClick(int id);
};
