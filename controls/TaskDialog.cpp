#include "controls/TaskDialog.h"

#include <QApplication>
#include <QDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <cstdio>

namespace {

TaskDialog::Answerer& answerer() {
    static TaskDialog::Answerer function;
    return function;
}

// Texts of a question may come from the user's own data (a document's name), so they are shown
// as they are, never read as rich text.
QLabel* plainLabel(const QString& text, const QString& name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

void TaskDialog::Reset() {
    WindowTitle.clear();
    MainInstructionText.clear();
    ContentText.clear();
    FooterText.clear();
    MainIcon = QIcon();
    MainIconSize = 32;
    mButtons.clear();
    DefaultButton = 0;
}

void TaskDialog::SetAnswerer(Answerer function) {
    answerer() = std::move(function);
}

int TaskDialog::DefaultResult() const {
    for (const Button& button : mButtons) {
        if (button.id == DefaultButton)
            return DefaultButton;
    }
    return mButtons.isEmpty() ? DefaultButton : mButtons.first().id;
}

QWidget* TaskDialog::CreateWidget(QWidget* parent, int* result) const {
    const int defaultId = DefaultResult();
    if (result)
        *result = defaultId;

    auto* dialog = new QDialog(parent);
    dialog->setObjectName(QStringLiteral("TaskDialog"));
    dialog->setWindowTitle(WindowTitle);
    dialog->setSizeGripEnabled(false);

    auto* outer = new QVBoxLayout(dialog);
    outer->setSpacing(10);

    auto* body = new QHBoxLayout;
    body->setSpacing(14);
    if (!MainIcon.isNull()) {
        auto* icon = new QLabel(dialog);
        icon->setObjectName(QStringLiteral("mainIcon"));
        icon->setPixmap(MainIcon.pixmap(MainIconSize, MainIconSize));
        icon->setFixedSize(MainIconSize, MainIconSize);
        body->addWidget(icon, 0, Qt::AlignTop);
    }
    auto* texts = new QVBoxLayout;
    texts->setSpacing(8);
    QLabel* instruction = plainLabel(MainInstructionText, QStringLiteral("mainInstruction"), dialog);
    QFont big = instruction->font();
    big.setBold(true);
    if (big.pointSizeF() > 0)
        big.setPointSizeF(big.pointSizeF() * 1.25);
    instruction->setFont(big);
    texts->addWidget(instruction);
    if (!ContentText.isEmpty())
        texts->addWidget(plainLabel(ContentText, QStringLiteral("content"), dialog));
    texts->addStretch(1);
    body->addLayout(texts, 1);
    outer->addLayout(body);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    QPushButton* defaultButton = nullptr;
    for (const Button& button : mButtons) {
        auto* push = new QPushButton(button.caption, dialog);
        push->setObjectName(QStringLiteral("button%1").arg(button.id));
        push->setProperty("taskDialogButtonId", button.id);
        // Only the default button answers Enter, whichever button has the focus.
        push->setAutoDefault(false);
        if (button.id == defaultId && !defaultButton)
            defaultButton = push;
        const int id = button.id;
        const std::function<void(int)> clicked = ButtonClick;
        QObject::connect(push, &QPushButton::clicked, dialog, [dialog, result, id, clicked] {
            if (result)
                *result = id;
            if (clicked)
                clicked(id);
            dialog->accept();
        });
        buttonRow->addWidget(push);
    }
    if (defaultButton) {
        defaultButton->setAutoDefault(true);
        defaultButton->setDefault(true);
        defaultButton->setFocus(Qt::OtherFocusReason);
    }
    outer->addLayout(buttonRow);

    if (!FooterText.isEmpty()) {
        auto* line = new QFrame(dialog);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        outer->addWidget(line);
        auto* footer = new QHBoxLayout;
        footer->setSpacing(6);
        auto* infoIcon = new QLabel(dialog);
        infoIcon->setObjectName(QStringLiteral("footerIcon"));
        const int small = 16;
        infoIcon->setPixmap(
            dialog->style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(small, small));
        infoIcon->setFixedSize(small, small);
        footer->addWidget(infoIcon, 0, Qt::AlignTop);
        QLabel* note = plainLabel(FooterText, QStringLiteral("footer"), dialog);
        QFont smaller = note->font();
        if (smaller.pointSizeF() > 0)
            smaller.setPointSizeF(smaller.pointSizeF() * 0.9);
        note->setFont(smaller);
        footer->addWidget(note, 1);
        outer->addLayout(footer);
    }

    dialog->setMinimumWidth(360);
    return dialog;
}

int TaskDialog::ShowDialog(QWidget* parent) const {
    if (const Answerer& answer = answerer()) {
        if (const std::optional<int> id = answer(*this))
            return *id;
    }
    if (qEnvironmentVariableIsSet("QV_AUTOANSWER")) {
        std::fprintf(stderr, "QV question: %s\n", MainInstructionText.toUtf8().constData());
        std::fflush(stderr);
        return DefaultResult();
    }
    // A dismissal (Escape, the close box) leaves the default button's identifier in `result`:
    // the default is each question's safe answer, so closing the question never does the
    // risky thing (closing the exit question must not end the program).
    int result = DefaultResult();
    QPointer<QWidget> widget = CreateWidget(parent, &result);
    auto* dialog = static_cast<QDialog*>(widget.data());
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->exec();
    delete widget.data();
    return result;
}
