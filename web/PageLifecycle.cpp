#include "web/PageLifecycle.h"

#include <QApplication>
#include <QEvent>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

int gFreezeDelayMs = PageLifecycle::DefaultFreezeDelayMs;

} // namespace

int PageLifecycle::FreezeDelayMs() {
    return gFreezeDelayMs;
}

void PageLifecycle::SetFreezeDelayMs(int ms) {
    gFreezeDelayMs = ms < 0 ? DefaultFreezeDelayMs : ms;
}

PageLifecycle* PageLifecycle::Watch(QWebEngineView* view) {
    if (!view)
        return nullptr;
    if (auto* existing = view->findChild<PageLifecycle*>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new PageLifecycle(view);
}

PageLifecycle::PageLifecycle(QWebEngineView* view)
    : QObject(view), mView(view), mViewHidden(!view->isVisible()) {
    mFreezeTimer.setSingleShot(true);
    connect(&mFreezeTimer, &QTimer::timeout, this, [this] {
        mFreezeDue = true;
        tryFreeze();
    });
    view->installEventFilter(this);
}

void PageLifecycle::SetOnShow(bool onShow) {
    if (mOnShow == onShow)
        return;
    mOnShow = onShow;
    update();
}

bool PageLifecycle::eventFilter(QObject* watched, QEvent* event) {
    if (watched != mView)
        return false;
    if (mChangingDrawing)
        return false;
    switch (event->type()) {
    case QEvent::Show:
        mViewHidden = false;
        update();
        // The view's own handler would make the page visible whatever its owner says.
        return true;
    case QEvent::Hide:
        // Also the hiding that comes with a minimised window (a spontaneous event).
        mViewHidden = true;
        update();
        return true;
    case QEvent::ChildAdded:
        // The engine gives the view a new drawing widget when the page moves to another
        // process (a navigation to another site); one that arrives off show goes as well.
        if (!mReleasedDrawing.isEmpty())
            QTimer::singleShot(0, this, [this] {
                QWebEnginePage* page = mView ? mView->page() : nullptr;
                if (page && !page->isVisible() && !mOnShow && !mReleasedDrawing.isEmpty())
                    setDrawingReleased(true);
            });
        return false;
    default:
        return false;
    }
}

void PageLifecycle::update() {
    QWebEnginePage* page = mView ? mView->page() : nullptr;
    if (!page)
        return;
    if (!mViewHidden && mOnShow) {
        // On show: visible (and a frozen page active) before anything is drawn.
        mHidePending = false;
        mFreezeTimer.stop();
        mFreezeDue = false;
        setDrawingReleased(false);
        page->setVisible(true);
        return;
    }
    if (!mHidePending) {
        mHidePending = true;
        QTimer::singleShot(0, this, &PageLifecycle::settleHidden);
    }
}

void PageLifecycle::settleHidden() {
    if (!mHidePending)
        return;
    mHidePending = false;
    QWebEnginePage* page = mView ? mView->page() : nullptr;
    if (!page || (!mViewHidden && mOnShow) || !page->isVisible())
        return;
    page->setVisible(false);
    if (!mOnShow)
        setDrawingReleased(true);
    mFreezeDue = false;
    mFreezeTimer.start(FreezeDelayMs());
}

void PageLifecycle::setDrawingReleased(bool released) {
    if (!mView || mChangingDrawing)
        return;
    mChangingDrawing = true;
    if (released) {
        // The widget that has the focus would pass it on to the next window's widgets when it
        // goes, which would bring that window to the top; a page off show keeps no focus.
        QWidget* focus = QApplication::focusWidget();
        if (focus && (focus == mView || mView->isAncestorOf(focus)))
            focus->clearFocus();
        const auto drawing = mView->findChildren<QQuickWidget*>(QString(), Qt::FindDirectChildrenOnly);
        for (QQuickWidget* widget : drawing) {
            if (widget->isHidden())
                continue;
            // Hidden without a persistent scene, the widget lets go of the scene's textures.
            widget->quickWindow()->setPersistentSceneGraph(false);
            widget->hide();
            mReleasedDrawing << widget;
        }
    } else {
        for (const QPointer<QWidget>& widget : std::as_const(mReleasedDrawing)) {
            if (!widget)
                continue;
            if (auto* quick = qobject_cast<QQuickWidget*>(widget.data()))
                quick->quickWindow()->setPersistentSceneGraph(true);
            widget->show();
        }
        mReleasedDrawing.clear();
    }
    mChangingDrawing = false;
}

void PageLifecycle::tryFreeze() {
    QWebEnginePage* page = mView ? mView->page() : nullptr;
    if (!mFreezeDue || !page || page->isVisible())
        return;
    using State = QWebEnginePage::LifecycleState;
    if (page->lifecycleState() != State::Active)
        return;
    // The engine recommends staying active while the page plays audio, loads, captures or is
    // tied to another page; freezing waits until it says otherwise.
    if (page->recommendedState() == State::Active) {
        connect(page, &QWebEnginePage::recommendedStateChanged, this, &PageLifecycle::tryFreeze,
                Qt::UniqueConnection);
        return;
    }
    disconnect(page, &QWebEnginePage::recommendedStateChanged, this, &PageLifecycle::tryFreeze);
    mFreezeDue = false;
    page->setLifecycleState(State::Frozen);
}
