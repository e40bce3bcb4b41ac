#include "controls/AutoHidePanel.h"

#include <QApplication>
#include <QBoxLayout>
#include <QEasingCurve>
#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>

namespace {

constexpr int kShadow = 8;
constexpr int kGrip = 5;
// The part of the workspace a slid-out pane always leaves uncovered, so there is somewhere to
// click to send it back.
constexpr int kUncovered = 24;
// The least size across the edge: a title bar and a little of the content.
constexpr int kLeast = 48;
// The share of the pane that the first frame of a slide-out shows.
constexpr double kFirstFrame = 0.3;

bool vertical(Qt::DockWidgetArea area) {
    return area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea;
}

// The soft shadow on the open edge of a slid-out pane. It lets the mouse through to the
// workspace below it.
class SlideShadow : public QWidget {
public:
    explicit SlideShadow(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        hide();
    }
    Qt::DockWidgetArea area = Qt::TopDockWidgetArea;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QPointF from, to;
        switch (area) {
        case Qt::LeftDockWidgetArea:
            from = QPointF(0, 0), to = QPointF(width(), 0);
            break;
        case Qt::RightDockWidgetArea:
            from = QPointF(width(), 0), to = QPointF(0, 0);
            break;
        case Qt::BottomDockWidgetArea:
            from = QPointF(0, height()), to = QPointF(0, 0);
            break;
        default:
            from = QPointF(0, 0), to = QPointF(0, height());
            break;
        }
        QLinearGradient gradient(from, to);
        gradient.setColorAt(0, QColor(0, 0, 0, 60));
        gradient.setColorAt(0.4, QColor(0, 0, 0, 22));
        gradient.setColorAt(1, QColor(0, 0, 0, 0));
        p.fillRect(rect(), gradient);
    }
};

} // namespace

AutoHidePanel::AutoHidePanel(QWidget* frame) : QWidget(frame) {
    setObjectName(QStringLiteral("autoHidePanel"));
    hide();
    mShadow = new SlideShadow(frame);

    mSheet = new QWidget(this);
    mSheet->setObjectName(QStringLiteral("autoHideSheet"));
    mSheet->setAutoFillBackground(true);
    mSheet->installEventFilter(this);

    mOuter = new QBoxLayout(QBoxLayout::TopToBottom, mSheet);
    mOuter->setContentsMargins(1, 1, 1, 1);
    mOuter->setSpacing(0);

    mGrip = new QWidget(mSheet);
    mGrip->setObjectName(QStringLiteral("autoHideGrip"));
    mGrip->installEventFilter(this);
    mOuter->addWidget(mGrip);

    mAnimation = new QVariantAnimation(this);
    connect(mAnimation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { applyVisible(value.toInt()); });
    connect(mAnimation, &QVariantAnimation::finished, this, [this] {
        if (!mOut) {
            hide();
            if (mShadow)
                mShadow->hide();
            emit slidIn();
        }
    });
    setArea(Qt::TopDockWidgetArea);
}

AutoHidePanel::~AutoHidePanel() {
    delete mShadow;
}

void AutoHidePanel::setWidget(QWidget* widget) {
    if (widget == mWidget)
        return;
    if (mWidget)
        mOuter->removeWidget(mWidget);
    mWidget = widget;
    if (widget) {
        mOuter->insertWidget(0, widget, 1);
        widget->show();
    }
}

void AutoHidePanel::setArea(Qt::DockWidgetArea area) {
    mArea = area;
    static_cast<SlideShadow*>(mShadow.data())->area = area;
    // The grip sits on the open edge, the one toward the workspace.
    switch (area) {
    case Qt::LeftDockWidgetArea:
        mOuter->setDirection(QBoxLayout::LeftToRight);
        break;
    case Qt::RightDockWidgetArea:
        mOuter->setDirection(QBoxLayout::RightToLeft);
        break;
    case Qt::BottomDockWidgetArea:
        mOuter->setDirection(QBoxLayout::BottomToTop);
        break;
    default:
        mOuter->setDirection(QBoxLayout::TopToBottom);
        break;
    }
    if (vertical(area)) {
        mGrip->setFixedSize(kGrip, QWIDGETSIZE_MAX);
        mGrip->setMinimumHeight(0);
        mGrip->setCursor(Qt::SizeHorCursor);
    } else {
        mGrip->setFixedSize(QWIDGETSIZE_MAX, kGrip);
        mGrip->setMinimumWidth(0);
        mGrip->setCursor(Qt::SizeVerCursor);
    }
    if (mOut)
        place(mWorkspace);
}

void AutoHidePanel::setExtent(int extent) {
    mExtent = qMax(1, extent);
    if (mOut && mAnimation->state() != QAbstractAnimation::Running)
        place(mWorkspace);
}

int AutoHidePanel::clampedExtent() const {
    const int room = vertical(mArea) ? mWorkspace.width() : mWorkspace.height();
    return qMax(kLeast, qMin(mExtent, room - kUncovered));
}

void AutoHidePanel::slideOut(const QRect& workspace, int durationMs) {
    mWorkspace = workspace;
    const int full = clampedExtent();
    const bool wasOut = mOut;
    mOut = true;
    mAnimation->stop();
    // Laid out at full size before the first frame, so nothing inside moves while it slides.
    if (vertical(mArea))
        mSheet->setFixedSize(full, workspace.height());
    else
        mSheet->setFixedSize(workspace.width(), full);
    mOuter->activate();
    raise();
    if (mShadow)
        mShadow->raise();
    if (durationMs <= 0 || (wasOut && mVisible >= full)) {
        applyVisible(full);
    } else {
        const int first = qMax(mVisible, int(full * kFirstFrame));
        applyVisible(first);
        mAnimation->setStartValue(first);
        mAnimation->setEndValue(full);
        mAnimation->setEasingCurve(QEasingCurve::OutCubic);
        mAnimation->setDuration(durationMs);
        mAnimation->start();
    }
    show();
    if (mShadow)
        mShadow->show();
}

void AutoHidePanel::slideIn(int durationMs) {
    if (!mOut)
        return;
    mOut = false;
    mAnimation->stop();
    if (durationMs <= 0 || !isVisible()) {
        applyVisible(0);
        hide();
        if (mShadow)
            mShadow->hide();
        emit slidIn();
        return;
    }
    mAnimation->setStartValue(mVisible);
    mAnimation->setEndValue(0);
    mAnimation->setEasingCurve(QEasingCurve::InCubic);
    mAnimation->setDuration(durationMs);
    mAnimation->start();
}

void AutoHidePanel::finishSlideIn() {
    if (mOut || mAnimation->state() != QAbstractAnimation::Running)
        return;
    mAnimation->stop();
    applyVisible(0);
    hide();
    if (mShadow)
        mShadow->hide();
    emit slidIn();
}

void AutoHidePanel::place(const QRect& workspace) {
    mWorkspace = workspace;
    if (!mOut)
        return;
    const int full = clampedExtent();
    if (vertical(mArea))
        mSheet->setFixedSize(full, workspace.height());
    else
        mSheet->setFixedSize(workspace.width(), full);
    if (mAnimation->state() == QAbstractAnimation::Running)
        mAnimation->setEndValue(full);
    else
        applyVisible(full);
}

// Shows `visible` pixels of the sheet, measured from the strip's edge of the workspace.
void AutoHidePanel::applyVisible(int visible) {
    mVisible = visible;
    const QRect ws = mWorkspace;
    const QSize sheet = mSheet->size();
    QRect panel, shadow;
    QPoint sheetAt;
    switch (mArea) {
    case Qt::LeftDockWidgetArea:
        panel = QRect(ws.left(), ws.top(), visible, ws.height());
        sheetAt = QPoint(visible - sheet.width(), 0);
        shadow = QRect(panel.right() + 1, ws.top(), kShadow, ws.height());
        break;
    case Qt::RightDockWidgetArea:
        panel = QRect(ws.right() - visible + 1, ws.top(), visible, ws.height());
        sheetAt = QPoint(0, 0);
        shadow = QRect(panel.left() - kShadow, ws.top(), kShadow, ws.height());
        break;
    case Qt::BottomDockWidgetArea:
        panel = QRect(ws.left(), ws.bottom() - visible + 1, ws.width(), visible);
        sheetAt = QPoint(0, 0);
        shadow = QRect(ws.left(), panel.top() - kShadow, ws.width(), kShadow);
        break;
    default:
        panel = QRect(ws.left(), ws.top(), ws.width(), visible);
        sheetAt = QPoint(0, visible - sheet.height());
        shadow = QRect(ws.left(), panel.bottom() + 1, ws.width(), kShadow);
        break;
    }
    setGeometry(panel);
    mSheet->move(sheetAt);
    if (mShadow)
        mShadow->setGeometry(shadow.intersected(ws));
}

bool AutoHidePanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mSheet && event->type() == QEvent::Paint) {
        // A one-pixel border around the sheet, over its filled background.
        QPainter p(mSheet);
        p.setPen(mSheet->palette().color(QPalette::Mid));
        p.drawRect(mSheet->rect().adjusted(0, 0, -1, -1));
        return true;
    }
    if (watched == mGrip) {
        const bool across = vertical(mArea);
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() == Qt::LeftButton) {
                mDragOrigin = across ? int(e->globalPosition().x()) : int(e->globalPosition().y());
                mDragExtent = clampedExtent();
                return true;
            }
            break;
        }
        case QEvent::MouseMove: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (mDragOrigin >= 0) {
                const int now = across ? int(e->globalPosition().x()) : int(e->globalPosition().y());
                // Dragging toward the workspace makes the pane larger.
                const int sign =
                    (mArea == Qt::RightDockWidgetArea || mArea == Qt::BottomDockWidgetArea) ? -1 : 1;
                mExtent = qMax(1, mDragExtent + sign * (now - mDragOrigin));
                place(mWorkspace);
                return true;
            }
            break;
        }
        case QEvent::MouseButtonRelease:
            if (mDragOrigin >= 0) {
                mDragOrigin = -1;
                mExtent = clampedExtent();
                emit extentDragged(mExtent);
                return true;
            }
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void AutoHidePanel::enterEvent(QEnterEvent* event) {
    emit pointerEntered();
    QWidget::enterEvent(event);
}

void AutoHidePanel::leaveEvent(QEvent* event) {
    emit pointerLeft();
    QWidget::leaveEvent(event);
}
