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
    if (!view || !view->parentWidget())
        return nullptr;
    if (auto* existing = view->findChild<PageLifecycle*>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new PageLifecycle(view);
}

PageLifecycle::PageLifecycle(QWebEngineView* view)
    : QObject(view), mView(view), mHolder(view->parentWidget()), mHolderHidden(!mHolder->isVisible()) {
    mFreezeTimer.setSingleShot(true);
    connect(&mFreezeTimer, &QTimer::timeout, this, [this] {
        mFreezeDue = true;
        tryFreeze();
    });
    view->installEventFilter(this);
    mHolder->installEventFilter(this);
    // The view waits for its first showing until things have settled.
    setDrawingReleased(true);
    update();
}

void PageLifecycle::SetOnShow(bool onShow) {
    if (mOnShow == onShow)
        return;
    mOnShow = onShow;
    update();
}

bool PageLifecycle::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::Show && type != QEvent::Hide)
        return false;
    // The view's own handlers would make its page visible or hidden with the view, whatever
    // its owner says; the page follows the view's holder and its owner here instead.
    if (watched == mView)
        return true;
    if (watched == mHolder) {
        // Also the hiding that comes with a minimised window (a spontaneous event).
        mHolderHidden = type == QEvent::Hide;
        update();
    }
    return false;
}

void PageLifecycle::update() {
    if (shouldShow() && !mNeverShown) {
        // Back on show: visible (and a frozen page active) before anything is drawn.
        mSettlePending = false;
        showPage();
        return;
    }
    if (!mSettlePending) {
        mSettlePending = true;
        QTimer::singleShot(0, this, &PageLifecycle::settle);
    }
}

void PageLifecycle::settle() {
    if (!mSettlePending)
        return;
    mSettlePending = false;
    QWebEnginePage* page = mView ? mView->page() : nullptr;
    if (!page)
        return;
    if (shouldShow()) {
        mNeverShown = false;
        showPage();
        return;
    }
    // Also a page whose engine has not started yet: it would start visible.
    page->setVisible(false);
    if (!mOnShow)
        setDrawingReleased(true);
    mFreezeDue = false;
    mFreezeTimer.start(FreezeDelayMs());
}

void PageLifecycle::showPage() {
    mFreezeTimer.stop();
    mFreezeDue = false;
    setDrawingReleased(false);
    if (QWebEnginePage* page = mView ? mView->page() : nullptr)
        page->setVisible(true);
}

void PageLifecycle::setDrawingReleased(bool released) {
    if (!mView || mDrawingReleased == released)
        return;
    mDrawingReleased = released;
    const auto drawing = mView->findChildren<QQuickWidget*>(QString(), Qt::FindDirectChildrenOnly);
    if (released) {
        // The widget that has the focus would pass it on to the next window's widgets when it
        // goes, which would bring that window to the top; a page off show keeps no focus.
        QWidget* focus = QApplication::focusWidget();
        if (focus && (focus == mView || mView->isAncestorOf(focus)))
            focus->clearFocus();
        // Hidden without a persistent scene, the drawing widget lets go of the scene's
        // textures; one that the engine makes while the view is hidden starts nothing.
        for (QQuickWidget* widget : drawing)
            widget->quickWindow()->setPersistentSceneGraph(false);
        mView->hide();
    } else {
        for (QQuickWidget* widget : drawing)
            widget->quickWindow()->setPersistentSceneGraph(true);
        mView->show();
    }
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
