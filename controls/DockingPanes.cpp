#include "controls/DockingPanes.h"

#include "controls/IconStore.h"

#include <QCloseEvent>
#include <QDockWidget>
#include <QMainWindow>
#include <QXmlStreamWriter>

namespace {

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

// What an empty pane shows until its content window arrives.
QWidget* newPlaceholder() {
    auto* placeholder = new QWidget;
    placeholder->setObjectName(QStringLiteral("panePlaceholder"));
    return placeholder;
}

} // namespace

// --- DockingPane ---

DockingPane::DockingPane(DockingPaneManager* manager, int id, QDockWidget* dock, int side, int iconId)
    : QObject(manager), mManager(manager), mId(id), mSide(side), mIconId(iconId), mTitle(dock->windowTitle()),
      mDock(dock) {}

QString DockingPane::Title() const {
    return mDock ? mDock->windowTitle() : mTitle;
}

void DockingPane::setTitle(const QString& title) {
    mTitle = title;
    if (mDock)
        mDock->setWindowTitle(title);
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
    mManager->showPane(this);
    // Raising a tabbed dock makes it the current tab of its frame.
    mDock->raise();
}

void DockingPane::Hide() {
    if (mDock && !mClosed)
        mDock->hide();
}

void DockingPane::Close() {
    if (!mClosed)
        mManager->closePane(this);
}

bool DockingPane::IsHidden() const {
    return !mDock || mDock->isHidden();
}

// --- DockingPaneManager ---

DockingPaneManager::DockingPaneManager(QMainWindow* window) : QObject(window), mWindow(window) {}

DockingPane* DockingPaneManager::CreatePane(int id, int width, int height, Side side, const QString& title,
                                            int iconId) {
    // One pane per id: asking again for a live pane brings that pane forward.
    if (DockingPane* existing = FindPane(id)) {
        existing->Select();
        return existing;
    }
    auto* dock = new QDockWidget(title, mWindow);
    dock->setObjectName(QStringLiteral("pane%1").arg(id));
    if (mIcons)
        dock->setWindowIcon(mIcons->icon(iconId));
    dock->setWidget(newPlaceholder());
    // Not shown yet: the first show goes through the manager like every later one.
    dock->hide();
    dock->installEventFilter(this);

    auto* pane = new DockingPane(this, id, dock, side, iconId);
    mPanes.append(pane);
    connect(dock, &QObject::destroyed, pane, [this, pane] { forgetPane(pane); });

    const Qt::DockWidgetArea area = areaOf(side);
    mWindow->addDockWidget(area, dock);
    showPane(pane);
    if (area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea)
        mWindow->resizeDocks({dock}, {width}, Qt::Horizontal);
    else
        mWindow->resizeDocks({dock}, {height}, Qt::Vertical);
    return pane;
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
    mWindow->tabifyDockWidget(neighbour->mDock, pane->mDock);
}

void DockingPaneManager::ShowPane(int id) {
    if (DockingPane* pane = FindPane(id))
        showPane(pane);
}

void DockingPaneManager::showPane(DockingPane* pane) {
    if (!pane->mDock || !pane->mDock->isHidden())
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
    pane->mAnnouncePending = false;
    aboutToShow(pane);
    // A handler may have closed the pane meanwhile.
    if (pane->mClosed || !pane->mDock)
        return;
    pane->mShowing = true;
    pane->mDock->show();
    pane->mShowing = false;
}

void DockingPaneManager::aboutToShow(DockingPane* pane) {
    if (!pane->Handle())
        emit AttachPaneRequested(pane);
    // Showing cannot be refused; the flag is only there for the handler's signature.
    bool cancel = false;
    emit PaneAction(pane, Expanding, &cancel);
}

void DockingPaneManager::closePane(DockingPane* pane) {
    if (pane->mClosed)
        return;
    bool cancel = false;
    emit PaneAction(pane, Closing, &cancel);
    if (cancel || pane->mClosed)
        return;
    QDockWidget* dock = pane->mDock;
    forgetPane(pane);
    if (dock) {
        dock->removeEventFilter(this);
        mWindow->removeDockWidget(dock);
        dock->hide();
        // Deferred: the closing may come from inside the dock's own event handling.
        dock->deleteLater();
    }
}

void DockingPaneManager::forgetPane(DockingPane* pane) {
    if (!mPanes.removeOne(pane))
        return;
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
        // Shown by someone other than the manager (the dock's toggle action, say): announce it
        // now, before the first paint.
        if (DockingPane* pane = paneOfDock(watched); pane && !pane->mShowing) {
            if (mWindow->isVisible())
                aboutToShow(pane);
            else
                pane->mAnnouncePending = true;
        }
        break;
    case QEvent::Show:
        // The window has come on screen with this pane in it.
        if (DockingPane* pane = paneOfDock(watched); pane && pane->mAnnouncePending) {
            pane->mAnnouncePending = false;
            aboutToShow(pane);
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

QString DockingPaneManager::SaveStateToString() const {
    QString text;
    QXmlStreamWriter xml(&text);
    // No XML declaration: readers take the first node of this text as the layout element.
    xml.writeStartElement(QStringLiteral("DockingPaneLayout"));
    for (const DockingPane* pane : mPanes) {
        QDockWidget* dock = pane->mDock;
        if (!dock)
            continue;
        Qt::DockWidgetArea area = mWindow->dockWidgetArea(dock);
        if (area == Qt::NoDockWidgetArea)
            area = areaOf(pane->mSide);
        QStringList tabbedWith;
        for (const QDockWidget* other : mWindow->tabifiedDockWidgets(dock)) {
            if (const DockingPane* buddy = paneOfDock(other))
                tabbedWith << QString::number(buddy->Id());
        }
        xml.writeEmptyElement(QStringLiteral("Pane"));
        xml.writeAttribute(QStringLiteral("Id"), QString::number(pane->Id()));
        xml.writeAttribute(QStringLiteral("Title"), pane->Title());
        xml.writeAttribute(QStringLiteral("Side"), sideName(area));
        xml.writeAttribute(QStringLiteral("Visible"),
                           dock->isHidden() ? QStringLiteral("0") : QStringLiteral("1"));
        xml.writeAttribute(QStringLiteral("Floating"),
                           dock->isFloating() ? QStringLiteral("1") : QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("TabbedWith"), tabbedWith.join(QLatin1Char(',')));
    }
    xml.writeTextElement(QStringLiteral("WindowState"), QString::fromLatin1(mWindow->saveState().toBase64()));
    xml.writeEndElement();
    return text;
}
