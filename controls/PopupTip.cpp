#include "controls/PopupTip.h"

#include <QLabel>

PopupTip::PopupTip(QWidget* parent) : QFrame(parent, Qt::ToolTip | Qt::FramelessWindowHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QStringLiteral("提示"));
    mText = new QLabel(this);
    mText->setWordWrap(true);
    mText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    mText->setTextFormat(Qt::PlainText);
    hide();
}

void PopupTip::SetBackground(const QRect& rect, const QColor& background, const QColor& border) {
    setFixedSize(rect.size());
    setStyleSheet(QStringLiteral("PopupTip { background-color: %1; border: 1px solid %2; }")
                      .arg(background.name(), border.name()));
}

void PopupTip::SetTextItem(const QRect& rect, int pointSize) {
    mText->setGeometry(rect);
    QFont font = mText->font();
    font.setPointSize(pointSize);
    mText->setFont(font);
}

void PopupTip::SetText(const QString& text) {
    mText->setText(text);
}

QString PopupTip::Text() const {
    return mText->text();
}

void PopupTip::ShowAt(const QPoint& globalPos) {
    move(globalPos);
    show();
    raise();
}
