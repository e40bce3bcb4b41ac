#include "controls/TabbedWorkspace.h"

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QTimer>

TabbedWorkspace::TabbedWorkspace(QMdiArea* area) : QObject(area), mArea(area) {
    mArea->setDocumentMode(true);
    mArea->setTabsClosable(true);
    mArea->setTabsMovable(true);
    mArea->setViewMode(QMdiArea::TabbedView);
    // Every tab's window stays maximised: the area would otherwise turn the window it leaves
    // into a normal one (a smaller page, laid out and drawn again) and maximise it again on the
    // way back, on every change of tab.
    mArea->setOption(QMdiArea::DontMaximizeSubWindowOnActivation);
    // The tab row is part of the area itself wherever the tab bar does not cover it.
    mArea->installEventFilter(this);
    connect(mArea, &QMdiArea::subWindowActivated, this, &TabbedWorkspace::shownWindowsMayHaveChanged);
    watchTabBar();
}

TabbedWorkspace* TabbedWorkspace::Of(const QWidget* window) {
    for (const QWidget* w = window; w; w = w->parentWidget()) {
        if (auto* frame = qobject_cast<const QMdiSubWindow*>(w)) {
            QMdiArea* area = frame->mdiArea();
            return area ? area->findChild<TabbedWorkspace*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
        }
    }
    return nullptr;
}

void TabbedWorkspace::watchTabBar() {
    // Only the area's own bar: a child window may well hold tab bars of its own.
    const QList<QTabBar*> bars = mArea->findChildren<QTabBar*>(Qt::FindDirectChildrenOnly);
    QTabBar* bar = bars.isEmpty() ? nullptr : bars.last();
    if (bar != mWatched) {
        if (mWatched)
            mWatched->removeEventFilter(this);
        mWatched = bar;
        if (bar) {
            // Tabs as wide as their titles, so the row keeps an empty part to double-click.
            bar->setExpanding(false);
            bar->installEventFilter(this);
            connect(bar, &QTabBar::currentChanged, this, &TabbedWorkspace::shownWindowsMayHaveChanged);
        }
    }
    syncTabVisibility();
}

QTabBar* TabbedWorkspace::tabBar() const {
    return IsTabbed() ? mWatched.data() : nullptr;
}

QMdiSubWindow* TabbedWorkspace::AddWindow(QWidget* window) {
    if (!window)
        return nullptr;
    if (QMdiSubWindow* existing = subWindowOf(window))
        return existing;
    QMdiSubWindow* frame = mArea->addSubWindow(window);
    frame->installEventFilter(this);
    // A tab shows its window filling the whole workspace.
    if (IsTabbed())
        frame->showMaximized();
    else
        frame->show();
    watchTabBar();
    return frame;
}

QMdiSubWindow* TabbedWorkspace::subWindowOf(const QWidget* window) const {
    if (!window)
        return nullptr;
    const QList<QMdiSubWindow*> frames = mArea->subWindowList(QMdiArea::CreationOrder);
    for (QMdiSubWindow* frame : frames) {
        if (frame == window || frame->widget() == window)
            return frame;
    }
    return nullptr;
}

int TabbedWorkspace::TabIndexOf(const QWidget* window) const {
    QMdiSubWindow* frame = subWindowOf(window);
    if (!frame || frame->isHidden())
        return -1;
    // A window that hid itself leaves an empty frame; a minimized or shaded frame hides its
    // window too, but still stands for it.
    if (frame->widget() && frame->widget()->isHidden() && !frame->isMinimized() && !frame->isShaded())
        return -1;
    // The area keeps its frames in tab order (moving a tab moves the frame in that list), and a
    // frame's tab index is its place there. While the windows are arranged as separate windows
    // this is the tab they get back, so callers that keep things in tab order still can.
    const int index = int(mArea->subWindowList(QMdiArea::CreationOrder).indexOf(frame));
    if (IsTabbed() && (!mWatched || index >= mWatched->count()))
        return -1;
    return index;
}

int TabbedWorkspace::TabCount() const {
    if (IsTabbed())
        return mWatched ? mWatched->count() : 0;
    return int(mArea->subWindowList().size());
}

QList<QWidget*> TabbedWorkspace::Windows() const {
    QList<QWidget*> windows;
    const QList<QMdiSubWindow*> frames = mArea->subWindowList(QMdiArea::CreationOrder);
    for (QMdiSubWindow* frame : frames) {
        if (frame->widget())
            windows << frame->widget();
    }
    return windows;
}

QWidget* TabbedWorkspace::ActiveWindow() const {
    // currentSubWindow(), unlike activeSubWindow(), still answers while the application is not the
    // active one.
    QMdiSubWindow* frame = mArea->currentSubWindow();
    return frame ? frame->widget() : nullptr;
}

void TabbedWorkspace::Activate(QWidget* window) {
    if (QMdiSubWindow* frame = subWindowOf(window))
        mArea->setActiveSubWindow(frame);
}

bool TabbedWorkspace::IsOnShow(const QWidget* window) const {
    QMdiSubWindow* frame = subWindowOf(window);
    if (!frame || frame->isHidden() || frame->isMinimized())
        return false;
    if (!IsTabbed())
        return true;
    // The tabs' windows lie on top of each other, filling the area: the one on top is seen. This
    // holds also while the program is not the active one and the area has no active window.
    const QList<QMdiSubWindow*> stack = mArea->subWindowList(QMdiArea::StackingOrder);
    for (auto it = stack.crbegin(); it != stack.crend(); ++it) {
        if (!(*it)->isHidden() && !(*it)->isMinimized())
            return *it == frame;
    }
    return false;
}

void TabbedWorkspace::Arrange(Arrangement arrangement) {
    mArea->setViewMode(QMdiArea::SubWindowView);
    watchTabBar();
    switch (arrangement) {
    case Cascade:
        mArea->cascadeSubWindows();
        break;
    case TileHorizontal:
        tileInLine(true);
        break;
    case TileVertical:
        tileInLine(false);
        break;
    }
    shownWindowsMayHaveChanged();
}

void TabbedWorkspace::tileInLine(bool stacked) {
    // The area's own tiling makes a grid; these arrangements put the windows in one column
    // (one under the other, full width) or one row (side by side, full height).
    QList<QMdiSubWindow*> frames;
    for (QMdiSubWindow* frame : mArea->subWindowList(QMdiArea::CreationOrder)) {
        if (!frame->isHidden() && !frame->isMinimized())
            frames << frame;
    }
    if (frames.isEmpty())
        return;
    const QRect space = mArea->viewport()->rect();
    const int count = int(frames.size());
    const int total = stacked ? space.height() : space.width();
    int offset = 0;
    for (int i = 0; i < count; ++i) {
        // Spread the leftover pixels over the first windows so the row or column is filled.
        const int extent = total / count + (i < total % count ? 1 : 0);
        QMdiSubWindow* frame = frames.at(i);
        if (frame->isMaximized())
            frame->showNormal();
        if (stacked)
            frame->setGeometry(space.left(), space.top() + offset, space.width(), extent);
        else
            frame->setGeometry(space.left() + offset, space.top(), extent, space.height());
        offset += extent;
    }
}

void TabbedWorkspace::Tabbed() {
    QMdiSubWindow* current = mArea->currentSubWindow();
    mArea->setViewMode(QMdiArea::TabbedView);
    watchTabBar();
    // Back from cascading or tiling: every tab fills the workspace again.
    for (QMdiSubWindow* frame : mArea->subWindowList()) {
        if (!frame->isHidden())
            frame->showMaximized();
    }
    if (current)
        mArea->setActiveSubWindow(current);
    shownWindowsMayHaveChanged();
}

void TabbedWorkspace::shownWindowsMayHaveChanged() {
    // Told at once, so that a window coming on show shows its content before the next paint,
    // and again once the area has settled: it hides and shows frames for a moment while it adds
    // a tab or changes a window's state.
    emit ShownWindowsChanged();
    if (mShownChangePending)
        return;
    mShownChangePending = true;
    QTimer::singleShot(0, this, [this] {
        mShownChangePending = false;
        emit ShownWindowsChanged();
    });
}

bool TabbedWorkspace::IsTabbed() const {
    return mArea->viewMode() == QMdiArea::TabbedView;
}

void TabbedWorkspace::syncTabVisibility() {
    // The area keeps a tab for a hidden child window; such a window has no tab as far as the
    // program is concerned, so its tab is not shown either. Tabs are only touched when they are
    // wrong: changing one may move the current tab, which makes the area show and hide frames.
    if (!mWatched || !IsTabbed())
        return;
    const QList<QMdiSubWindow*> frames = mArea->subWindowList(QMdiArea::CreationOrder);
    for (int i = 0; i < frames.size() && i < mWatched->count(); ++i) {
        const bool visible = !frames.at(i)->isHidden();
        if (mWatched->isTabVisible(i) != visible)
            mWatched->setTabVisible(i, visible);
    }
}

bool TabbedWorkspace::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::WindowStateChange && qobject_cast<QMdiSubWindow*>(watched)) {
        shownWindowsMayHaveChanged();
        return false;
    }
    if ((type == QEvent::ShowToParent || type == QEvent::HideToParent) &&
        qobject_cast<QMdiSubWindow*>(watched)) {
        // The area hides and shows frames for a moment while it changes their window state, so
        // the tabs follow once that has settled.
        shownWindowsMayHaveChanged();
        if (!mSyncPending) {
            mSyncPending = true;
            QTimer::singleShot(0, this, [this] {
                mSyncPending = false;
                syncTabVisibility();
            });
        }
        return false;
    }
    if (type != QEvent::MouseButtonDblClick)
        return QObject::eventFilter(watched, event);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton || !IsTabbed() || !mWatched)
        return false;
    const QPoint pos = mouse->position().toPoint();
    if (watched == mWatched) {
        if (mWatched->tabAt(pos) == -1)
            emit EmptyTabAreaDoubleClicked();
    } else if (watched == mArea && mWatched->isVisible()) {
        // The part of the tab row that the bar does not cover. A double-click on the bar itself
        // that the bar passes on arrives here too, and was handled above.
        const QRect bar = mWatched->geometry();
        bool inRow = false;
        switch (mArea->tabPosition()) {
        case QTabWidget::North:
        case QTabWidget::South:
            inRow = pos.y() >= bar.top() && pos.y() <= bar.bottom();
            break;
        case QTabWidget::West:
        case QTabWidget::East:
            inRow = pos.x() >= bar.left() && pos.x() <= bar.right();
            break;
        }
        if (inRow && !bar.contains(pos))
            emit EmptyTabAreaDoubleClicked();
    }
    return false;
}
