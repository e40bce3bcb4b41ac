#include "controls/StatusBar.h"

#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QStatusBar>

// ---------------------------------------------------------------------------------------------
// StatusBarPane

StatusBarPane::StatusBarPane(QObject* parent, int id, bool progress) : QObject(parent), mId(id) {
    if (progress) {
        mProgress = new QProgressBar;
        mProgress->setRange(0, 100);
        mProgress->setValue(0);
        mProgress->setTextVisible(false);
        mProgress->installEventFilter(this);
    } else {
        mLabel = new QLabel;
        mLabel->setTextFormat(Qt::PlainText);
        mLabel->setContentsMargins(4, 0, 4, 0);
        mLabel->installEventFilter(this);
    }
}

QWidget* StatusBarPane::widget() const {
    if (mLabel)
        return mLabel;
    return mProgress;
}

QString StatusBarPane::Text() const {
    if (mLabel)
        return mLabel->text();
    return mProgress->isTextVisible() ? mProgress->format() : QString();
}

void StatusBarPane::setText(const QString& text) {
    if (mLabel) {
        mLabel->setText(text);
        return;
    }
    // A progress pane shows a text over the bar only when it has one.
    mProgress->setFormat(text);
    mProgress->setTextVisible(!text.isEmpty());
}

void StatusBarPane::setWidth(int width) {
    mWidth = qMax(0, width);
    QWidget* pane = widget();
    if (mWidth > 0) {
        pane->setFixedWidth(mWidth);
    } else {
        pane->setMinimumWidth(0);
        pane->setMaximumWidth(QWIDGETSIZE_MAX);
    }
}

void StatusBarPane::setVisible(bool visible) {
    mVisible = visible;
    widget()->setVisible(visible);
}

void StatusBarPane::setStretch(bool stretch) {
    if (mStretch == stretch)
        return;
    mStretch = stretch;
    if (auto* bar = qobject_cast<StatusBar*>(parent()))
        bar->place(this);
}

void StatusBarPane::setBold(bool bold) {
    QFont font = widget()->font();
    font.setBold(bold);
    widget()->setFont(font);
}

void StatusBarPane::setFontFamily(const QString& family) {
    QFont font = widget()->font();
    font.setFamilies({family});
    widget()->setFont(font);
}

void StatusBarPane::setClickable(bool clickable) {
    mClickable = clickable;
    if (clickable)
        widget()->setCursor(Qt::PointingHandCursor);
    else
        widget()->unsetCursor();
}

void StatusBarPane::setToolTip(const QString& tip) {
    widget()->setToolTip(tip);
}

void StatusBarPane::setProgressRange(int maximum) {
    if (!mProgress)
        return;
    // QProgressBar resets a value left outside a narrower range; the bar keeps it, cut to the
    // new maximum.
    const int value = mProgress->value();
    mProgress->setMaximum(qMax(0, maximum));
    mProgress->setValue(qBound(0, value, mProgress->maximum()));
}

void StatusBarPane::setProgressValue(int value) {
    if (!mProgress)
        return;
    // QProgressBar ignores a value outside its range and keeps showing the old one; a download
    // that reports more than it announced shows a full bar instead.
    mProgress->setValue(qBound(mProgress->minimum(), value, mProgress->maximum()));
}

int StatusBarPane::ProgressValue() const {
    return mProgress ? mProgress->value() : 0;
}

int StatusBarPane::ProgressMaximum() const {
    return mProgress ? mProgress->maximum() : 0;
}

bool StatusBarPane::eventFilter(QObject* watched, QEvent* event) {
    if (mClickable && watched == widget() && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        // A press that is dragged off the pane and released elsewhere is no click.
        if (mouse->button() == Qt::LeftButton && widget()->rect().contains(mouse->position().toPoint())) {
            if (auto* bar = qobject_cast<StatusBar*>(parent()))
                emit bar->PaneClick(mId);
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// StatusBar

StatusBar::StatusBar(QStatusBar* bar) : QObject(bar), mBar(bar) {}

StatusBarPane* StatusBar::AddPane(int id) {
    return addPane(id, false);
}

StatusBarPane* StatusBar::AddProgressPane(int id) {
    return addPane(id, true);
}

StatusBarPane* StatusBar::addPane(int id, bool progress) {
    auto* pane = new StatusBarPane(this, id, progress);
    mPanes.append(pane);
    place(pane);
    return pane;
}

StatusBarPane* StatusBar::FindPane(int id) const {
    for (StatusBarPane* pane : mPanes) {
        if (pane->Id() == id)
            return pane;
    }
    return nullptr;
}

void StatusBar::RemovePane(int id) {
    StatusBarPane* pane = FindPane(id);
    if (!pane)
        return;
    mPanes.removeOne(pane);
    QWidget* widget = pane->widget();
    removeKeepingOthers(widget);
    delete widget;
    delete pane;
}

int StatusBar::VisiblePaneCount() const {
    int count = 0;
    for (const StatusBarPane* pane : mPanes) {
        if (pane->Visible())
            ++count;
    }
    return count;
}

// QStatusBar::removeWidget (Qt 6.4) hides the widget after the removed one instead of the
// removed one: every other widget of the bar keeps the visibility it had.
void StatusBar::removeKeepingOthers(QWidget* widget) {
    QList<QPair<QWidget*, bool>> hidden;
    const auto children = mBar->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (child != widget)
            hidden.append({child, child->isHidden()});
    }
    mBar->removeWidget(widget);
    for (const auto& [child, wasHidden] : std::as_const(hidden)) {
        if (child->isHidden() != wasHidden)
            child->setVisible(!wasHidden);
    }
}

// Puts the pane's widget at its place among the panes, with its stretch. Panes are ordinary
// status bar widgets, left to right in the order they were added.
void StatusBar::place(StatusBarPane* pane) {
    QWidget* widget = pane->widget();
    if (widget->parentWidget() == mBar)
        removeKeepingOthers(widget);
    mBar->insertWidget(int(mPanes.indexOf(pane)), widget, pane->mStretch ? 1 : 0);
    // The pane's own visibility decides, whatever removing and inserting did to it.
    widget->setVisible(pane->mVisible);
}
