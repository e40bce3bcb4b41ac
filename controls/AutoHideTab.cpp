#include "controls/AutoHideTab.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int kIcon = 16;
constexpr int kThickness = 26;
constexpr int kPadStart = 8;
constexpr int kGap = 6;
constexpr int kPadEnd = 10;
constexpr int kBar = 3;

} // namespace

AutoHideTab::AutoHideTab(Qt::DockWidgetArea area, QWidget* parent) : QAbstractButton(parent), mArea(area) {
    setObjectName(QStringLiteral("autoHideTab"));
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
    setIconSize(QSize(kIcon, kIcon));
    connect(this, &QAbstractButton::clicked, this, &AutoHideTab::activated);
    mHover.setSingleShot(true);
    connect(&mHover, &QTimer::timeout, this, [this] {
        if (underMouse() && !mExpanded && isEnabled())
            emit hoverOpen();
    });
}

void AutoHideTab::setArea(Qt::DockWidgetArea area) {
    if (area == mArea)
        return;
    mArea = area;
    updateGeometry();
    update();
}

void AutoHideTab::setTitle(const QString& title) {
    setText(title);
    setAccessibleName(title);
    setToolTip(title);
    updateGeometry();
}

void AutoHideTab::setExpanded(bool expanded) {
    if (expanded == mExpanded)
        return;
    mExpanded = expanded;
    mHover.stop();
    update();
}

QSize AutoHideTab::sizeHint() const {
    const int length = kPadStart + kIcon + kGap + fontMetrics().horizontalAdvance(text()) + kPadEnd;
    return vertical() ? QSize(kThickness, length) : QSize(length, kThickness);
}

void AutoHideTab::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QPalette& pal = palette();
    QColor accent = pal.color(QPalette::Highlight);

    // Work in the tab's own lying-down frame: length along x, thickness along y. Both side
    // strips read from top to bottom; the accent bar lies on the edge toward the workspace.
    QSize frame = size();
    bool barAtTop = false;
    switch (mArea) {
    case Qt::LeftDockWidgetArea:
    case Qt::RightDockWidgetArea:
        p.translate(width(), 0);
        p.rotate(90);
        frame.transpose();
        barAtTop = mArea == Qt::LeftDockWidgetArea;
        break;
    case Qt::BottomDockWidgetArea:
        barAtTop = true;
        break;
    default:
        break;
    }
    const QRect r(QPoint(0, 0), frame);

    if (mExpanded) {
        p.fillRect(r, pal.color(QPalette::Base));
    } else if (underMouse() || isDown()) {
        QColor hover = accent;
        hover.setAlpha(isDown() ? 70 : 40);
        p.fillRect(r, hover);
    }
    const QColor bar = (mExpanded || underMouse()) ? accent : pal.color(QPalette::Mid);
    const int barY = barAtTop ? r.top() : r.bottom() - kBar + 1;
    p.fillRect(QRect(r.left() + 1, barY, r.width() - 2, kBar), bar);

    const QRect content(r.left(), barAtTop ? kBar : 0, r.width(), r.height() - kBar);
    const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
    const QPixmap pixmap = icon().pixmap(QSize(kIcon, kIcon), devicePixelRatio(), mode);
    int x = content.left() + kPadStart;
    if (!pixmap.isNull()) {
        // The icon stands upright on every strip.
        const QPointF centre = p.transform().map(QPointF(x + kIcon / 2.0, content.center().y() + 1));
        p.save();
        p.resetTransform();
        p.drawPixmap(QRectF(centre.x() - kIcon / 2.0, centre.y() - kIcon / 2.0, kIcon, kIcon).toRect(),
                     pixmap);
        p.restore();
    }
    x += kIcon + kGap;
    p.setPen(pal.color(isEnabled() ? QPalette::WindowText : QPalette::PlaceholderText));
    p.drawText(QRect(x, content.top(), content.right() - x, content.height()),
               Qt::AlignVCenter | Qt::AlignLeft, text());

    if (hasFocus()) {
        QPen pen(accent, 1, Qt::DotLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(content.adjusted(2, 2, -3, -2));
    }
}

void AutoHideTab::enterEvent(QEnterEvent* event) {
    if (mHoverDelay > 0 && !mExpanded)
        mHover.start(mHoverDelay);
    update();
    QAbstractButton::enterEvent(event);
}

void AutoHideTab::leaveEvent(QEvent* event) {
    mHover.stop();
    update();
    emit pointerLeft();
    QAbstractButton::leaveEvent(event);
}

void AutoHideTab::mousePressEvent(QMouseEvent* event) {
    // Opens on the press, as page tabs do, and without the button's own immediate repaint:
    // the tab and the pane appear together in the next frame.
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    mHover.stop();
    emit activated();
}

void AutoHideTab::keyPressEvent(QKeyEvent* event) {
    // Space is the button's own key; Enter opens the pane too, as on a page tab.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!event->isAutoRepeat())
            click();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}
