#pragma once
#include <QObject>
#include <QPointer>
#include <QTabBar>

class QMdiArea;
class QMdiSubWindow;
class QWidget;

// The child windows of the main window shown as tabs (a QMdiArea in tabbed view).
class TabbedWorkspace : public QObject {
    Q_OBJECT
public:
    enum Arrangement { Cascade = 0, TileHorizontal = 1, TileVertical = 2 };

    explicit TabbedWorkspace(QMdiArea* area);
    QMdiArea* area() const { return mArea; }
    // The workspace whose area holds `window` (a child window or its frame), null when none does.
    static TabbedWorkspace* Of(const QWidget* window);

    // Adds a child window as a new tab and returns its frame.
    QMdiSubWindow* AddWindow(QWidget* window);
    // The tab index that shows `window` (or its frame), -1 when none does.
    int TabIndexOf(const QWidget* window) const;
    int TabCount() const;
    QTabBar* tabBar() const;
    // The child windows in tab order.
    QList<QWidget*> Windows() const;
    QWidget* ActiveWindow() const;
    void Activate(QWidget* window);
    // Whether `window` is on show: in the tabbed view only the window on top (the current tab's;
    // the others lie under it), arranged as separate windows every window that is not minimised.
    bool IsOnShow(const QWidget* window) const;

    // Shows the children as separate windows arranged the given way; Tabbed() brings the tabs back.
    void Arrange(Arrangement arrangement);
    void Tabbed();
    bool IsTabbed() const;

signals:
    // A double-click on the tab row outside every tab.
    void EmptyTabAreaDoubleClicked();
    // The current tab, the arrangement or a window's minimised state changed: IsOnShow may
    // answer differently for any window.
    void ShownWindowsChanged();

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void watchTabBar();
    QMdiSubWindow* subWindowOf(const QWidget* window) const;
    void syncTabVisibility();
    void tileInLine(bool stacked);
    void shownWindowsMayHaveChanged();

    QMdiArea* mArea;
    // The area deletes its tab bar on every switch away from the tabbed view.
    QPointer<QTabBar> mWatched;
    bool mSyncPending = false;
    bool mShownChangePending = false;
};
