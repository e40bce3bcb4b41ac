#include "controls/PopupTip.h"

#include <QLabel>
#include <QPainter>

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
    mBackground = background;
    mBorder = border;
    update();
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

void PopupTip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), mBackground);
    painter.setPen(mBorder);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void PopupTip::ShowAt(const QPoint& globalPos) {
    move(globalPos);
    show();
    raise();
}
