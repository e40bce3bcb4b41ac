#include "core/frmMsgbox.h"

#include "controls/IconStore.h"
#include "core/modInitial.h"

#include <QApplication>
#include <QStyle>

namespace {
constexpr int kQuestionIcon = 900;
constexpr int kQuestionIconSize = 32;
} // namespace

frmMsgbox::frmMsgbox(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmMsgbox"));
    TaskDialog1.ButtonClick = [this](int id) { TaskDialog1_ButtonClick(id); };
}

void frmMsgbox::TaskDialog1_ButtonClick(int id) {
    ReturnValue = id;
    isReturned = true;
}

qint32 frmMsgbox::Ask(const QString& mainInstruction, const QString& content, const QString& note,
                      const QList<TaskDialog::Button>& buttons, int defaultButton) {
    TaskDialog1.Reset();
    TaskDialog1.WindowTitle = QStringLiteral("确认");
    TaskDialog1.MainInstructionText = mainInstruction;
    TaskDialog1.ContentText = content;
    TaskDialog1.FooterText = note;
    for (const TaskDialog::Button& button : buttons)
        TaskDialog1.AddButton(button.caption, button.id);
    TaskDialog1.DefaultButton = defaultButton;
    TaskDialog1.MainIconSize = kQuestionIconSize;
    if (modInitial::gIconStore && modInitial::gIconStore->contains(kQuestionIcon))
        TaskDialog1.MainIcon = modInitial::gIconStore->icon(kQuestionIcon);
    else // without the icon library the question still shows a question mark
        TaskDialog1.MainIcon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxQuestion);

    QWidget* owner = QApplication::activeWindow();
    if (!owner)
        owner = modInitial::gMainWindow.data();
    const int shown = TaskDialog1.ShowDialog(owner);
    // A question answered without a press of a button (dismissed, or answered for a test)
    // returns what the dialog gave back.
    if (!isReturned)
        ReturnValue = shown;
    return ReturnValue;
}
