#include "controls/PaneCaption.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace {

constexpr int kGlyph = 16;

// A push pin drawn in the text colour: standing upright while the pane is pinned (docked),
// lying on its side while the pane only slides out from its strip.
QIcon pinIcon(bool upright, const QColor& color) {
    QPixmap pixmap(kGlyph * 2, kGlyph * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (!upright) {
        p.translate(kGlyph / 2.0, kGlyph / 2.0);
        p.rotate(90);
        p.translate(-kGlyph / 2.0, -kGlyph / 2.0);
    }
    p.setPen(QPen(color, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(5.5, 1.5, 5, 6.5), 1, 1);
    p.drawLine(QPointF(3.5, 8.5), QPointF(12.5, 8.5));
    p.drawLine(QPointF(8, 8.5), QPointF(8, 14.5));
    return QIcon(pixmap);
}

QIcon closeIcon(const QColor& color) {
    QPixmap pixmap(kGlyph * 2, kGlyph * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color, 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4.5, 4.5), QPointF(11.5, 11.5));
    p.drawLine(QPointF(11.5, 4.5), QPointF(4.5, 11.5));
    return QIcon(pixmap);
}

QToolButton* newButton(QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::TabFocus);
    button->setIconSize(QSize(kGlyph, kGlyph));
    button->setFixedSize(22, 22);
    return button;
}

} // namespace

PaneCaption::PaneCaption(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("paneCaption"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 2, 2, 2);
    layout->setSpacing(4);
    mIcon = new QLabel(this);
    mIcon->setFixedSize(16, 16);
    mTitle = new QLabel(this);
    mTitle->setTextFormat(Qt::PlainText);
    mPin = newButton(this);
    mPin->setObjectName(QStringLiteral("panePinButton"));
    mClose = newButton(this);
    mClose->setObjectName(QStringLiteral("paneCloseButton"));
    mClose->setAccessibleName(QStringLiteral("关闭"));
    mClose->setToolTip(QStringLiteral("关闭"));
    layout->addWidget(mIcon);
    layout->addWidget(mTitle, 1);
    layout->addWidget(mPin);
    layout->addWidget(mClose);
    connect(mPin, &QToolButton::clicked, this, &PaneCaption::pinClicked);
    connect(mClose, &QToolButton::clicked, this, &PaneCaption::closeClicked);
    refreshButtons();
}

QString PaneCaption::title() const {
    return mTitle->text();
}

void PaneCaption::setTitle(const QString& title) {
    mTitle->setText(title);
    setAccessibleName(title);
}

void PaneCaption::setIcon(const QIcon& icon) {
    mIcon->setPixmap(icon.isNull() ? QPixmap() : icon.pixmap(16, 16));
}

void PaneCaption::setDocked(bool docked) {
    if (docked == mDocked)
        return;
    mDocked = docked;
    refreshButtons();
}

void PaneCaption::setActive(bool active) {
    if (active == mActive)
        return;
    mActive = active;
    refreshButtons();
    update();
}

void PaneCaption::refreshButtons() {
    // The pin says what a press does: a docked pane goes to its strip, a slid-out one docks.
    const QString pinText = mDocked ? QStringLiteral("自动隐藏") : QStringLiteral("停靠");
    mPin->setAccessibleName(pinText);
    mPin->setToolTip(pinText);
    const QColor ink = palette().color(mActive ? QPalette::HighlightedText : QPalette::WindowText);
    mPin->setIcon(pinIcon(mDocked, ink));
    mClose->setIcon(closeIcon(ink));
    QPalette titlePalette = mTitle->palette();
    titlePalette.setColor(QPalette::WindowText, ink);
    mTitle->setPalette(titlePalette);
}

QSize PaneCaption::sizeHint() const {
    return QSize(QWidget::sizeHint().width(), qMax(26, QWidget::sizeHint().height()));
}

void PaneCaption::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor fill =
        mActive ? palette().color(QPalette::Highlight) : palette().color(QPalette::Window).darker(106);
    p.fillRect(rect(), fill);
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(rect().bottomLeft(), rect().bottomRight());
}

void PaneCaption::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        refreshButtons();
    QWidget::changeEvent(event);
}
