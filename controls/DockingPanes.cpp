#include "controls/DockingPanes.h"

#include "controls/AutoHideFrame.h"
#include "controls/AutoHidePanel.h"
#include "controls/AutoHideStrip.h"
#include "controls/AutoHideTab.h"
#include "controls/IconStore.h"
#include "controls/PaneCaption.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QKeyEvent>
#include <QLayout>
#include <QMainWindow>
#include <QMap>
#include <QSet>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <functional>

namespace {

constexpr QDockWidget::DockWidgetFeatures kDockedFeatures =
    QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable;
// How long a pane opened by a resting pointer stays after the pointer has left it.
constexpr int kHoverLeaveMs = 600;

const Qt::DockWidgetArea kAreas[] = {Qt::LeftDockWidgetArea, Qt::RightDockWidgetArea, Qt::TopDockWidgetArea,
                                     Qt::BottomDockWidgetArea};

Qt::DockWidgetArea areaOf(int side) {
    switch (side) {
    case DockingPaneManager::Right:
        return Qt::RightDockWidgetArea;
    case DockingPaneManager::Top:
        return Qt::TopDockWidgetArea;
    case DockingPaneManager::Bottom:
        return Qt::BottomDockWidgetArea;
    default:
        return Qt::LeftDockWidgetArea;
    }
}

int sideOf(Qt::DockWidgetArea area) {
    switch (area) {
    case Qt::RightDockWidgetArea:
        return DockingPaneManager::Right;
    case Qt::TopDockWidgetArea:
        return DockingPaneManager::Top;
    case Qt::BottomDockWidgetArea:
        return DockingPaneManager::Bottom;
    default:
        return DockingPaneManager::Left;
    }
}

QString sideName(Qt::DockWidgetArea area) {
    switch (area) {
    case Qt::RightDockWidgetArea:
        return QStringLiteral("right");
    case Qt::TopDockWidgetArea:
        return QStringLiteral("top");
    case Qt::BottomDockWidgetArea:
        return QStringLiteral("bottom");
    default:
        return QStringLiteral("left");
    }
}

Qt::DockWidgetArea areaNamed(const QString& name) {
    for (Qt::DockWidgetArea area : kAreas) {
        if (sideName(area) == name)
            return area;
    }
    return Qt::NoDockWidgetArea;
}

bool acrossIsWidth(Qt::DockWidgetArea area) {
    return area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea;
}

// What an empty pane shows until its content window arrives.
QWidget* newPlaceholder() {
    auto* placeholder = new QWidget;
    placeholder->setObjectName(QStringLiteral("panePlaceholder"));
    return placeholder;
}

// Parent links cross window borders here, so popups and menus opened from inside a widget
// count as inside it.
bool isWithin(const QWidget* widget, const QWidget* container) {
    for (const QWidget* w = widget; w && container; w = w->parentWidget()) {
        if (w == container)
            return true;
    }
    return false;
}

bool takesFocus(const QWidget* w) {
    return w->isVisible() && w->isEnabled() && ((w->focusPolicy() & Qt::TabFocus) || w->focusProxy());
}

// Watches the whole application while a pane is slid out: presses outside it and Escape in
// it send it back.
class AppWatcher : public QObject {
public:
    AppWatcher(QObject* parent, std::function<bool(QObject*, QEvent*)> filter)
        : QObject(parent), mFilter(std::move(filter)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override { return mFilter(watched, event); }

private:
    std::function<bool(QObject*, QEvent*)> mFilter;
};

} // namespace

// --- DockingPane ---

DockingPane::DockingPane(DockingPaneManager* manager, int id, QDockWidget* dock, int side, int iconId,
                         int order)
    : QObject(manager), mManager(manager), mId(id), mSide(side), mIconId(iconId), mOrder(order),
      mTitle(dock->windowTitle()), mDock(dock) {}

QString DockingPane::Title() const {
    return mDock ? mDock->windowTitle() : mTitle;
}

void DockingPane::setTitle(const QString& title) {
    mTitle = title;
    if (mDock)
        mDock->setWindowTitle(title);
    if (mCaption)
        mCaption->setTitle(title);
    if (mTab)
        mTab->setTitle(title);
}

void DockingPane::setHandle(QWidget* content) {
    if (!mDock || mClosed || content == mContent)
        return;
    QWidget* previous = mDock->widget();
    mContent = content;
    mDock->setWidget(content ? content : newPlaceholder());
    if (content)
        content->show();
    // The pane owns what it showed before: the placeholder, or a content window being replaced.
    if (previous && previous != content) {
        previous->hide();
        previous->deleteLater();
    }
}

void DockingPane::Select() {
    if (!mDock || mClosed)
        return;
    if (mAutoHidden)
        mManager->dock(this);
    else
        mManager->showPane(this);
    // Raising a tabbed dock makes it the current tab of its frame.
    if (mDock)
        mDock->raise();
}

void DockingPane::Hide() {
    if (!mDock || mClosed)
        return;
    if (mAutoHidden) {
        if (mManager->mExpanded == this)
            mManager->collapse(true);
        return;
    }
    mManager->autoHide(this);
}

void DockingPane::Close() {
    if (!mClosed)
        mManager->closePane(this);
}

bool DockingPane::IsHidden() const {
    return !mDock || mAutoHidden || mDock->isHidden();
}

AutoHideTab* DockingPane::tab() const {
    return mTab;
}

AutoHidePanel* DockingPane::panel() const {
    return mPanel;
}

PaneCaption* DockingPane::caption() const {
    return mCaption;
}

bool DockingPane::IsExpanded() const {
    return mManager->mExpanded == this;
}

// --- DockingPaneManager ---

DockingPaneManager::DockingPaneManager(QMainWindow* window) : QObject(window), mWindow(window) {
    // The strips go around the workspace, inside the docked panes.
    QWidget* workspace = window->centralWidget() ? window->takeCentralWidget() : new QWidget;
    mFrame = new AutoHideFrame(workspace, window);
    window->setCentralWidget(mFrame);
    connect(mFrame, &AutoHideFrame::workspaceMoved, this, [this] {
        if (mExpanded && mExpanded->mPanel)
            mExpanded->mPanel->place(mFrame->workspaceRect());
    });

    mHoverLeave = new QTimer(this);
    mHoverLeave->setSingleShot(true);
    mHoverLeave->setInterval(kHoverLeaveMs);
    connect(mHoverLeave, &QTimer::timeout, this, [this] {
        DockingPane* pane = mExpanded;
        if (!pane || !mHoverOnly)
            return;
        const bool over =
            (pane->mPanel && pane->mPanel->underMouse()) || (pane->mTab && pane->mTab->underMouse());
        if (!over)
            collapse(false);
    });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { onFocusChanged(now); });
    mWatcher = new AppWatcher(
        this, [this](QObject* watched, QEvent* event) { return filterWhileExpanded(watched, event); });
    // A pane asked to slide out before the window was on the screen does so when it appears.
    window->installEventFilter(this);
}

DockingPaneManager::~DockingPaneManager() {
    watchWhileExpanded(false);
}

AutoHideFrame* DockingPaneManager::frame() const {
    return mFrame;
}

void DockingPaneManager::SetHoverDelay(int ms) {
    mHoverDelay = ms;
    for (DockingPane* pane : std::as_const(mPanes)) {
        if (pane->mTab)
            pane->mTab->setHoverDelay(ms);
    }
}

DockingPane* DockingPaneManager::CreatePane(int id, int width, int height, Side side, const QString& title,
                                            int iconId) {
    // One pane per id: asking again for a live pane brings that pane forward.
    if (DockingPane* existing = FindPane(id)) {
        existing->Select();
        return existing;
    }
    mClosedPanes.removeIf([id](const ClosedPane& closed) { return closed.id == id; });
    auto* dock = new QDockWidget(title, mWindow);
    dock->setObjectName(QStringLiteral("pane%1").arg(id));
    dock->setFeatures(kDockedFeatures);
    if (mIcons)
        dock->setWindowIcon(mIcons->icon(iconId));
    dock->setWidget(newPlaceholder());
    // Not shown yet: the first show goes through the manager like every later one.
    dock->hide();
    dock->installEventFilter(this);

    auto* pane = new DockingPane(this, id, dock, side, iconId, mNextOrder++);
    pane->mExtent = acrossIsWidth(areaOf(side)) ? width : height;
    mPanes.append(pane);
    connect(dock, &QObject::destroyed, pane, [this, pane] { forgetPane(pane); });
    setDockTitleBar(pane);

    // The window's pane menu docks a hidden pane and sends a docked one to its strip.
    QAction* toggle = dock->toggleViewAction();
    QObject::disconnect(toggle, nullptr, dock, nullptr);
    connect(toggle, &QAction::triggered, pane, [pane] {
        if (pane->IsHidden())
            pane->Select();
        else
            pane->Hide();
    });

    const Qt::DockWidgetArea area = areaOf(side);
    mWindow->addDockWidget(area, dock);
    showPane(pane);
    if (acrossIsWidth(area))
        mWindow->resizeDocks({dock}, {width}, Qt::Horizontal);
    else
        mWindow->resizeDocks({dock}, {height}, Qt::Vertical);
    return pane;
}

void DockingPaneManager::setDockTitleBar(DockingPane* pane) {
    QDockWidget* dock = pane->mDock;
    auto* caption = new PaneCaption(dock);
    caption->setTitle(dock->windowTitle());
    caption->setIcon(dock->windowIcon());
    dock->setTitleBarWidget(caption);
    pane->mCaption = caption;
    connect(dock, &QDockWidget::windowTitleChanged, caption, &PaneCaption::setTitle);
    connect(caption, &PaneCaption::pinClicked, pane, [this, pane] {
        if (!pane->mAutoHidden) {
            pane->Hide();
            return;
        }
        const bool hadFocus = isWithin(QApplication::focusWidget(), pane->mDock);
        pane->Select();
        if (hadFocus)
            focusInto(pane);
    });
    connect(caption, &PaneCaption::closeClicked, pane, [pane] { pane->Close(); });
}

DockingPane* DockingPaneManager::FindPane(int id) const {
    for (DockingPane* pane : mPanes) {
        if (pane->Id() == id)
            return pane;
    }
    return nullptr;
}

void DockingPaneManager::AttachPane(DockingPane* pane, DockingPane* neighbour) {
    if (!pane || !neighbour || pane == neighbour || !pane->mDock || !neighbour->mDock)
        return;
    if (neighbour->mAutoHidden) {
        // Joins the neighbour's group on its strip.
        if (mExpanded == pane)
            collapse(false, false);
        if (!neighbour->mGroup) {
            neighbour->mGroup = mNextGroup++;
            neighbour->mGroupIndex = 0;
            neighbour->mFront = true;
        }
        int last = 0;
        for (const DockingPane* member : hiddenGroup(neighbour))
            last = std::max(last, member->mGroupIndex);
        pane->mSide = neighbour->mSide;
        ++mBusy;
        autoHideOne(pane, neighbour->mGroup, false);
        --mBusy;
        pane->mGroupIndex = last + 1;
        refreshStrips();
        return;
    }
    if (pane->mAutoHidden)
        pane->Select();
    mWindow->tabifyDockWidget(neighbour->mDock, pane->mDock);
}

void DockingPaneManager::ShowPane(int id) {
    DockingPane* pane = FindPane(id);
    if (!pane)
        return;
    if (pane->mAutoHidden) {
        expand(pane, Open::ByUser);
        return;
    }
    showPane(pane);
    if (pane->mDock)
        pane->mDock->raise();
}

void DockingPaneManager::showPane(DockingPane* pane) {
    if (!pane->mDock || !pane->mDock->isHidden() || pane->mAutoHidden)
        return;
    if (!mWindow->isVisible()) {
        // Nothing is on screen yet: a pane that the window's own set-up hides again before the
        // window appears never asks for its content.
        pane->mAnnouncePending = true;
        pane->mShowing = true;
        pane->mDock->show();
        pane->mShowing = false;
        return;
    }
    aboutToShow(pane);
    // A handler may have closed the pane meanwhile.
    if (pane->mClosed || !pane->mDock)
        return;
    pane->mShowing = true;
    pane->mDock->show();
    pane->mShowing = false;
}

void DockingPaneManager::aboutToShow(DockingPane* pane) {
    pane->mAnnouncePending = false;
    if (!pane->Handle())
        emit AttachPaneRequested(pane);
    // Showing cannot be refused; the flag is only there for the handler's signature.
    bool cancel = false;
    emit PaneAction(pane, Expanding, &cancel);
}

// --- Auto-hiding and docking ---

Qt::DockWidgetArea DockingPaneManager::areaOfPane(const DockingPane* pane) const {
    if (!pane->mAutoHidden && pane->mDock) {
        const Qt::DockWidgetArea area = mWindow->dockWidgetArea(pane->mDock);
        if (area != Qt::NoDockWidgetArea)
            return area;
    }
    return areaOf(pane->mSide);
}

int DockingPaneManager::dockExtent(const DockingPane* pane) const {
    const QDockWidget* dock = pane->mDock;
    if (!dock || pane->mAutoHidden || dock->isHidden() || !mWindow->isVisible() || dock->isFloating())
        return pane->mExtent;
    return acrossIsWidth(areaOfPane(pane)) ? dock->width() : dock->height();
}

QList<DockingPane*> DockingPaneManager::dockedGroup(DockingPane* pane, DockingPane** front) const {
    QList<DockingPane*> group{pane};
    for (QDockWidget* other : mWindow->tabifiedDockWidgets(pane->mDock)) {
        if (DockingPane* buddy = paneOfDock(other); buddy && !buddy->mAutoHidden)
            group.append(buddy);
    }
    DockingPane* inFront = pane;
    bool fromTabBar = false;
    if (group.size() > 1) {
        // The frame's tab bar knows the order of the tabs and which one is in front; its tabs
        // carry their dock widget as data.
        const auto bars = mWindow->findChildren<QTabBar*>(Qt::FindDirectChildrenOnly);
        for (QTabBar* bar : bars) {
            QList<DockingPane*> ordered;
            for (int i = 0; i < bar->count(); ++i) {
                const auto* dock = reinterpret_cast<const QObject*>(bar->tabData(i).value<quintptr>());
                if (DockingPane* member = paneOfDock(dock); member && group.contains(member))
                    ordered.append(member);
            }
            if (ordered.size() == group.size()) {
                const int current = bar->currentIndex();
                if (current >= 0 && current < ordered.size())
                    inFront = ordered[current];
                group = ordered;
                fromTabBar = true;
                break;
            }
        }
        if (!fromTabBar) {
            std::sort(group.begin(), group.end(),
                      [](const DockingPane* a, const DockingPane* b) { return a->mOrder < b->mOrder; });
        }
    }
    if (front)
        *front = inFront;
    return group;
}

QList<DockingPane*> DockingPaneManager::hiddenGroup(DockingPane* pane) const {
    if (!pane->mAutoHidden || !pane->mGroup)
        return {pane};
    QList<DockingPane*> group;
    for (DockingPane* other : mPanes) {
        if (other->mAutoHidden && other->mGroup == pane->mGroup)
            group.append(other);
    }
    std::sort(group.begin(), group.end(),
              [](const DockingPane* a, const DockingPane* b) { return a->mGroupIndex < b->mGroupIndex; });
    return group;
}

AutoHidePanel* DockingPaneManager::panelOf(DockingPane* pane) {
    if (!pane->mPanel && mFrame) {
        auto* panel = new AutoHidePanel(mFrame);
        panel->setObjectName(QStringLiteral("autoHidePanel%1").arg(pane->mId));
        pane->mPanel = panel;
        connect(panel, &AutoHidePanel::extentDragged, pane, [pane](int extent) { pane->mExtent = extent; });
        connect(panel, &AutoHidePanel::pointerEntered, mHoverLeave, &QTimer::stop);
        connect(panel, &AutoHidePanel::pointerLeft, pane, [this, pane] {
            if (mExpanded == pane && mHoverOnly)
                mHoverLeave->start();
        });
    }
    return pane->mPanel;
}

void DockingPaneManager::autoHide(DockingPane* pane) {
    if (!mFrame)
        return;
    // Pending dock sizes (of a pane just made, say) reach the frames first.
    if (QLayout* layout = mWindow->layout())
        layout->activate();
    DockingPane* front = nullptr;
    const QList<DockingPane*> group = dockedGroup(pane, &front);
    const int extent = dockExtent(front);
    const int id = group.size() > 1 ? mNextGroup++ : 0;
    ++mBusy;
    for (qsizetype i = 0; i < group.size(); ++i) {
        group[i]->mExtent = extent;
        autoHideOne(group[i], id, group[i] == front);
        group[i]->mGroupIndex = int(i);
    }
    --mBusy;
    refreshStrips();
}

// Takes one docked pane out of the window's dock layout and puts its frame into its slide-out,
// leaving a tab on the strip of its side.
void DockingPaneManager::autoHideOne(DockingPane* pane, int group, bool front) {
    QDockWidget* dock = pane->mDock;
    AutoHidePanel* panel = panelOf(pane);
    if (!dock || !panel)
        return;
    if (!pane->mAutoHidden) {
        const Qt::DockWidgetArea area = mWindow->dockWidgetArea(dock);
        if (area != Qt::NoDockWidgetArea)
            pane->mSide = sideOf(area);
        if (dock->isFloating())
            dock->setFloating(false);
        mWindow->removeDockWidget(dock);
    }
    pane->mAutoHidden = true;
    pane->mGroup = group;
    pane->mFront = front;
    // Out of the window's layout a frame may not float off: the slide-out is where it lives.
    dock->setFeatures(kDockedFeatures & ~QDockWidget::DockWidgetFloatable);
    const Qt::DockWidgetArea area = areaOf(pane->mSide);
    // A slide back still under way ends now, so the frame goes into a hidden panel.
    panel->finishSlideIn();
    panel->setArea(area);
    panel->setExtent(pane->mExtent);
    panel->setWidget(dock);
    if (pane->mCaption)
        pane->mCaption->setDocked(false);

    if (!pane->mTab) {
        auto* tab = new AutoHideTab(area, mFrame->strip(area));
        tab->setObjectName(QStringLiteral("autoHideTab%1").arg(pane->mId));
        tab->setTitle(pane->Title());
        tab->setIcon(dock->windowIcon());
        tab->setHoverDelay(mHoverDelay);
        connect(tab, &AutoHideTab::activated, pane, [this, pane] { expand(pane, Open::ByUser); });
        connect(tab, &AutoHideTab::hoverOpen, pane, [this, pane] {
            // A pane the user works in is not swapped for one the pointer happens to rest on.
            if (!mExpanded || mHoverOnly)
                expand(pane, Open::ByHover);
        });
        connect(tab, &AutoHideTab::pointerLeft, pane, [this, pane] {
            if (mExpanded == pane && mHoverOnly)
                mHoverLeave->start();
        });
        pane->mTab = tab;
    }
}

void DockingPaneManager::dock(DockingPane* pane) {
    const QList<DockingPane*> group = hiddenGroup(pane);
    DockingPane* wasOut = mExpanded;
    if (wasOut && group.contains(wasOut))
        collapse(false, false);
    const int extent = pane->mExtent;
    QDockWidget* first = nullptr;
    ++mBusy;
    for (DockingPane* member : group) {
        if (member->mClosed || !member->mDock || !member->mAutoHidden)
            continue;
        // The slid-out pane was on the screen already; the others appear now.
        if (member != wasOut) {
            if (mWindow->isVisible())
                aboutToShow(member);
            else
                member->mAnnouncePending = true;
        }
        if (member->mClosed || !member->mDock || !member->mAutoHidden)
            continue;
        dockOne(member);
        if (!first)
            first = member->mDock;
        else
            mWindow->tabifyDockWidget(first, member->mDock);
        member->mShowing = true;
        member->mDock->show();
        member->mShowing = false;
    }
    --mBusy;
    if (first && mWindow->isVisible()) {
        const Qt::DockWidgetArea area = mWindow->dockWidgetArea(first);
        mWindow->resizeDocks({first}, {extent}, acrossIsWidth(area) ? Qt::Horizontal : Qt::Vertical);
    }
    if (pane->mDock)
        pane->mDock->raise();
    refreshStrips();
}

void DockingPaneManager::dockOne(DockingPane* pane) {
    QDockWidget* dock = pane->mDock;
    if (pane->mPanel)
        pane->mPanel->setWidget(nullptr);
    dropTab(pane);
    pane->mAutoHidden = false;
    pane->mGroup = 0;
    pane->mGroupIndex = 0;
    pane->mFront = false;
    dock->setParent(mWindow);
    dock->setFeatures(kDockedFeatures);
    if (pane->mCaption)
        pane->mCaption->setDocked(true);
    mWindow->addDockWidget(areaOf(pane->mSide), dock);
}

// Deferred, as the tab may be the one whose click led here.
void DockingPaneManager::dropTab(DockingPane* pane) {
    if (AutoHideTab* tab = pane->mTab) {
        pane->mTab = nullptr;
        tab->hide();
        tab->deleteLater();
    }
}

void DockingPaneManager::refreshStrips() {
    if (!mFrame)
        return;
    for (Qt::DockWidgetArea area : kAreas) {
        // Groups in the order of their first pane's creation, each in its tab order.
        QMap<int, QList<DockingPane*>> byGroup;
        QMap<int, int> firstOrder;
        for (DockingPane* pane : std::as_const(mPanes)) {
            if (!pane->mAutoHidden || !pane->mTab || areaOf(pane->mSide) != area)
                continue;
            const int key = pane->mGroup ? pane->mGroup : -1 - pane->mOrder;
            byGroup[key].append(pane);
            firstOrder[key] =
                firstOrder.contains(key) ? std::min(firstOrder[key], pane->mOrder) : pane->mOrder;
        }
        QList<int> keys = byGroup.keys();
        std::sort(keys.begin(), keys.end(), [&](int a, int b) { return firstOrder[a] < firstOrder[b]; });
        QList<QList<AutoHideTab*>> groups;
        for (int key : keys) {
            QList<DockingPane*> members = byGroup[key];
            std::sort(members.begin(), members.end(), [](const DockingPane* a, const DockingPane* b) {
                return a->mGroupIndex < b->mGroupIndex;
            });
            QList<AutoHideTab*> tabs;
            for (DockingPane* member : members)
                tabs.append(member->mTab);
            groups.append(tabs);
        }
        mFrame->strip(area)->setGroups(groups);
    }
}

// --- Sliding out and back ---

void DockingPaneManager::expand(DockingPane* pane, Open how) {
    if (!pane || !pane->mAutoHidden || pane->mClosed || !pane->mDock || !mFrame)
        return;
    if (!mWindow->isVisible()) {
        mPendingExpand = pane;
        return;
    }
    if (mExpanded == pane) {
        if (how == Open::ByUser) {
            mHoverOnly = false;
            mHoverLeave->stop();
            focusInto(pane);
        }
        return;
    }
    if (mExpanded)
        collapse(false, false);
    // The content window is made and the expanding reported while the pane is still hidden.
    aboutToShow(pane);
    if (!pane->mAutoHidden || pane->mClosed || !pane->mDock || mExpanded)
        return;
    AutoHidePanel* panel = panelOf(pane);
    if (how == Open::ByUser)
        mFocusBefore = QApplication::focusWidget();
    mExpanded = pane;
    mHoverOnly = how == Open::ByHover;
    panel->setArea(areaOf(pane->mSide));
    panel->setExtent(pane->mExtent);
    panel->slideOut(mFrame->workspaceRect(), mSlideMs);
    if (pane->mTab)
        pane->mTab->setExpanded(true);
    watchWhileExpanded(true);
    if (how == Open::ByUser)
        focusInto(pane);
}

void DockingPaneManager::collapse(bool restoreFocus, bool animate) {
    DockingPane* pane = mExpanded;
    if (!pane)
        return;
    mExpanded = nullptr;
    mHoverOnly = false;
    mHoverLeave->stop();
    watchWhileExpanded(false);
    const bool focusInside = isWithin(QApplication::focusWidget(), pane->mPanel);
    if (pane->mTab)
        pane->mTab->setExpanded(false);
    if (pane->mPanel)
        pane->mPanel->slideIn(animate ? mSlideMs : 0);
    if (restoreFocus && focusInside) {
        QWidget* back = mFocusBefore;
        if (back && back->isVisible() && back->isEnabled() && !isWithin(back, pane->mPanel))
            back->setFocus(Qt::OtherFocusReason);
        else if (pane->mTab)
            pane->mTab->setFocus(Qt::OtherFocusReason);
    }
    mFocusBefore = nullptr;
}

void DockingPaneManager::focusInto(DockingPane* pane) {
    QWidget* content = pane->Handle();
    QWidget* target = nullptr;
    if (content && takesFocus(content)) {
        target = content;
    } else if (content) {
        const auto children = content->findChildren<QWidget*>();
        for (QWidget* child : children) {
            if (takesFocus(child)) {
                target = child;
                break;
            }
        }
    }
    if (!target && pane->mCaption)
        target = pane->mCaption->pinButton();
    if (target)
        target->setFocus(Qt::OtherFocusReason);
}

void DockingPaneManager::watchWhileExpanded(bool on) {
    if (on)
        qApp->installEventFilter(mWatcher);
    else
        qApp->removeEventFilter(mWatcher);
}

bool DockingPaneManager::insideExpanded(const QWidget* widget) const {
    return mExpanded && isWithin(widget, mExpanded->mPanel);
}

bool DockingPaneManager::filterWhileExpanded(QObject* watched, QEvent* event) {
    if (!mExpanded || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        // A press anywhere else in the window sends the pane back; a press on another tab then
        // opens that pane.
        if (widget->window() == mWindow->window() && !insideExpanded(widget) && widget != mExpanded->mTab)
            collapse(false);
        break;
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        // Escape in a list or menu opened from the pane closes that popup only: a popup may be
        // gone already when the key reaches its widget here, so its window type tells.
        if (key->key() != Qt::Key_Escape || key->modifiers() != Qt::NoModifier ||
            QApplication::activePopupWidget() || widget->window()->windowType() == Qt::Popup ||
            !insideExpanded(widget))
            break;
        if (event->type() == QEvent::ShortcutOverride) {
            // Escape belongs to the pane here, not to a shortcut of the window.
            event->accept();
            return false;
        }
        collapse(true);
        return true;
    }
    default:
        break;
    }
    return false;
}

void DockingPaneManager::onFocusChanged(QWidget* now) {
    for (DockingPane* pane : std::as_const(mPanes)) {
        if (pane->mCaption)
            pane->mCaption->setActive(isWithin(now, pane->mDock));
    }
    if (!mExpanded || !now)
        return;
    if (insideExpanded(now)) {
        // The user works in the pane: it stays until the focus leaves it.
        mHoverOnly = false;
        mHoverLeave->stop();
        return;
    }
    // Dialogs and other windows leave the pane out; the focus moving elsewhere in the main
    // window sends it back.
    if (now == mExpanded->mTab || now->window() != mWindow->window())
        return;
    collapse(false);
}

// --- Closing ---

void DockingPaneManager::closePane(DockingPane* pane) {
    if (pane->mClosed)
        return;
    bool cancel = false;
    emit PaneAction(pane, Closing, &cancel);
    if (cancel || pane->mClosed)
        return;
    if (mExpanded == pane)
        collapse(true, false);
    rememberClosed(pane);
    QDockWidget* dock = pane->mDock;
    AutoHidePanel* panel = pane->mPanel;
    dropTab(pane);
    const bool wasDocked = !pane->mAutoHidden;
    forgetPane(pane);
    if (dock) {
        dock->removeEventFilter(this);
        if (wasDocked)
            mWindow->removeDockWidget(dock);
        dock->hide();
        // Deferred: the closing may come from inside the dock's own event handling.
        dock->deleteLater();
    }
    if (panel)
        panel->deleteLater();
    refreshStrips();
}

void DockingPaneManager::rememberClosed(const DockingPane* pane) {
    const int id = pane->Id();
    mClosedPanes.removeIf([id](const ClosedPane& closed) { return closed.id == id; });
    mClosedPanes.append({id, pane->Title(), sideName(areaOfPane(pane))});
}

void DockingPaneManager::forgetPane(DockingPane* pane) {
    if (!mPanes.removeOne(pane))
        return;
    if (mExpanded == pane)
        collapse(false, false);
    pane->mClosed = true;
    pane->deleteLater();
}

DockingPane* DockingPaneManager::paneOfDock(const QObject* dock) const {
    for (DockingPane* pane : mPanes) {
        if (pane->mDock == dock)
            return pane;
    }
    return nullptr;
}

bool DockingPaneManager::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mWindow) {
        if (event->type() == QEvent::Show && mPendingExpand) {
            // After the window's own show, when the frame has its geometry.
            QTimer::singleShot(0, this, [this] {
                DockingPane* pane = mPendingExpand;
                mPendingExpand = nullptr;
                if (pane)
                    expand(pane, Open::Quiet);
            });
        }
        return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::Close:
        // The dock's close button: refuse the plain close and ask the owner instead, who may keep
        // the pane (usually by hiding it).
        if (DockingPane* pane = paneOfDock(watched)) {
            event->ignore();
            closePane(pane);
            return true;
        }
        break;
    case QEvent::ShowToParent:
        // Shown by someone other than the manager: announce it now, before the first paint.
        if (DockingPane* pane = paneOfDock(watched);
            pane && !pane->mShowing && !mBusy && !pane->mAutoHidden) {
            if (mWindow->isVisible())
                aboutToShow(pane);
            else
                pane->mAnnouncePending = true;
        }
        break;
    case QEvent::HideToParent:
        // Hidden by someone other than the manager: a hidden pane is an auto-hidden one, so it
        // keeps a tab to come back from.
        if (DockingPane* pane = paneOfDock(watched); pane && !mBusy && !pane->mAutoHidden) {
            QPointer<DockingPane> later = pane;
            QTimer::singleShot(0, this, [later] {
                if (later && !later->mAutoHidden && !later->mClosed && later->mDock &&
                    later->mDock->isHidden())
                    later->Hide();
            });
        }
        break;
    case QEvent::Show:
        // The window has come on screen with this pane in it.
        if (DockingPane* pane = paneOfDock(watched); pane && pane->mAnnouncePending && !pane->mAutoHidden)
            aboutToShow(pane);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

// --- Layout text ---

QString DockingPaneManager::SaveStateToString() const {
    QString text;
    QXmlStreamWriter xml(&text);
    // No XML declaration: readers take the first node of this text as the layout element.
    xml.writeStartElement(QStringLiteral("DockingPaneLayout"));
    for (DockingPane* pane : mPanes) {
        QDockWidget* dock = pane->mDock;
        if (!dock)
            continue;
        DockingPane* inFront = pane;
        const QList<DockingPane*> group = pane->mAutoHidden ? hiddenGroup(pane) : dockedGroup(pane, &inFront);
        QStringList tabbedWith;
        for (const DockingPane* buddy : group) {
            if (buddy != pane)
                tabbedWith << QString::number(buddy->Id());
        }
        const bool front = pane->mAutoHidden ? (pane->mGroup == 0 || pane->mFront) : inFront == pane;
        const bool onScreen = pane->mAutoHidden ? mExpanded == pane : !dock->isHidden();
        xml.writeEmptyElement(QStringLiteral("Pane"));
        xml.writeAttribute(QStringLiteral("Id"), QString::number(pane->Id()));
        xml.writeAttribute(QStringLiteral("Title"), pane->Title());
        xml.writeAttribute(QStringLiteral("Side"), sideName(areaOfPane(pane)));
        xml.writeAttribute(QStringLiteral("State"),
                           pane->mAutoHidden ? QStringLiteral("autohide") : QStringLiteral("docked"));
        xml.writeAttribute(QStringLiteral("Visible"), onScreen ? QStringLiteral("1") : QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("Floating"),
                           dock->isFloating() ? QStringLiteral("1") : QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("TabbedWith"), tabbedWith.join(QLatin1Char(',')));
        xml.writeAttribute(QStringLiteral("TabIndex"), QString::number(group.indexOf(pane)));
        xml.writeAttribute(QStringLiteral("Front"), front ? QStringLiteral("1") : QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("Size"), QString::number(dockExtent(pane)));
    }
    for (const ClosedPane& closed : mClosedPanes) {
        xml.writeEmptyElement(QStringLiteral("Pane"));
        xml.writeAttribute(QStringLiteral("Id"), QString::number(closed.id));
        xml.writeAttribute(QStringLiteral("Title"), closed.title);
        xml.writeAttribute(QStringLiteral("Side"), closed.side);
        xml.writeAttribute(QStringLiteral("State"), QStringLiteral("closed"));
        xml.writeAttribute(QStringLiteral("Visible"), QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("Floating"), QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("TabbedWith"), QString());
        xml.writeAttribute(QStringLiteral("TabIndex"), QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("Front"), QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("Size"), QStringLiteral("0"));
    }
    xml.writeTextElement(QStringLiteral("WindowState"), QString::fromLatin1(mWindow->saveState().toBase64()));
    xml.writeEndElement();
    return text;
}

bool DockingPaneManager::LoadStateFromString(const QString& text) {
    struct Record {
        int id = 0;
        QString title;
        Qt::DockWidgetArea area = Qt::NoDockWidgetArea;
        QString state;
        bool visible = false;
        bool front = true;
        int size = 0;
        int tabIndex = 0;
        QList<int> tabbedWith;
    };
    QList<Record> records;
    QByteArray windowState;
    QXmlStreamReader xml(text);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("DockingPaneLayout"))
        return false;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("Pane")) {
            const QXmlStreamAttributes a = xml.attributes();
            Record r;
            bool ok = false;
            r.id = a.value(QLatin1String("Id")).toInt(&ok);
            r.title = a.value(QLatin1String("Title")).toString();
            r.area = areaNamed(a.value(QLatin1String("Side")).toString());
            r.state = a.value(QLatin1String("State")).toString();
            r.visible = a.value(QLatin1String("Visible")) == QLatin1String("1");
            r.front = a.value(QLatin1String("Front")) != QLatin1String("0");
            r.size = a.value(QLatin1String("Size")).toInt();
            r.tabIndex = a.value(QLatin1String("TabIndex")).toInt();
            for (const QString& id :
                 a.value(QLatin1String("TabbedWith")).toString().split(u',', Qt::SkipEmptyParts))
                r.tabbedWith.append(id.toInt());
            if (!ok || r.area == Qt::NoDockWidgetArea ||
                (r.state != QLatin1String("docked") && r.state != QLatin1String("autohide") &&
                 r.state != QLatin1String("closed")))
                return false;
            records.append(r);
        } else if (xml.name() == QLatin1String("WindowState")) {
            windowState = QByteArray::fromBase64(xml.readElementText().toLatin1());
            continue;
        }
        xml.skipCurrentElement();
    }
    if (xml.hasError())
        return false;

    collapse(false, false);
    // Sides and sizes first, so that panes dock and hide where the text puts them.
    for (const Record& r : std::as_const(records)) {
        DockingPane* pane = FindPane(r.id);
        if (!pane || r.state == QLatin1String("closed"))
            continue;
        if (r.size > 0)
            pane->mExtent = r.size;
        if (pane->mAutoHidden || r.state == QLatin1String("autohide"))
            pane->mSide = sideOf(r.area);
    }
    // Panes that dock take their place in the window's layout before it is restored.
    for (const Record& r : std::as_const(records)) {
        DockingPane* pane = FindPane(r.id);
        if (!pane || r.state != QLatin1String("docked") || !pane->mAutoHidden)
            continue;
        if (mWindow->isVisible())
            aboutToShow(pane);
        if (!pane->mAutoHidden || pane->mClosed)
            continue;
        ++mBusy;
        pane->mSide = sideOf(r.area);
        dockOne(pane);
        pane->mShowing = true;
        pane->mDock->show();
        pane->mShowing = false;
        --mBusy;
    }
    // Auto-hidden groups: the text's own tab order, numbered afresh.
    QHash<int, int> groupOf;
    for (const Record& r : std::as_const(records)) {
        DockingPane* pane = FindPane(r.id);
        if (!pane || r.state != QLatin1String("autohide"))
            continue;
        int group = 0;
        if (!r.tabbedWith.isEmpty()) {
            for (int buddy : r.tabbedWith) {
                if (groupOf.contains(buddy))
                    group = groupOf.value(buddy);
            }
            if (!group)
                group = mNextGroup++;
        }
        groupOf.insert(r.id, group);
        ++mBusy;
        autoHideOne(pane, group, r.front);
        --mBusy;
        pane->mGroupIndex = r.tabIndex;
    }
    if (!windowState.isEmpty()) {
        ++mBusy;
        mWindow->restoreState(windowState);
        --mBusy;
    }
    // The window's layout knows only docked frames; one that it pulled back into the layout or
    // left hidden is put right.
    for (DockingPane* pane : std::as_const(mPanes)) {
        if (!pane->mDock)
            continue;
        ++mBusy;
        if (pane->mAutoHidden && pane->mDock->parentWidget() == mWindow) {
            mWindow->removeDockWidget(pane->mDock);
            autoHideOne(pane, pane->mGroup, pane->mFront);
        } else if (!pane->mAutoHidden && pane->mDock->isHidden()) {
            pane->mShowing = true;
            pane->mDock->show();
            pane->mShowing = false;
        }
        --mBusy;
    }
    refreshStrips();
    for (const Record& r : std::as_const(records)) {
        if (r.state != QLatin1String("closed"))
            continue;
        if (DockingPane* pane = FindPane(r.id)) {
            pane->Close();
        } else if (std::none_of(mClosedPanes.begin(), mClosedPanes.end(),
                                [&r](const ClosedPane& c) { return c.id == r.id; })) {
            mClosedPanes.append({r.id, r.title, sideName(r.area)});
        }
    }
    for (const Record& r : std::as_const(records)) {
        DockingPane* pane = FindPane(r.id);
        if (pane && pane->mAutoHidden && r.state == QLatin1String("autohide") && r.visible) {
            expand(pane, Open::Quiet);
            break;
        }
    }
    return true;
}
