#pragma once
#include <QDockWidget>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QMainWindow;
class QTimer;
class QWidget;
class AutoHideFrame;
class AutoHidePanel;
class AutoHideTab;
class IconStore;
class DockingPaneManager;
class PaneCaption;

// A docking pane: a titled frame at one side of the main window that holds one content window.
// A pane is docked (a frame beside the workspace), auto-hidden (a tab on the strip at its side,
// from which it slides out over the workspace) or closed (gone).
class DockingPane : public QObject {
    Q_OBJECT
public:
    int Id() const { return mId; }
    QString Title() const;
    void setTitle(const QString& title);
    int IconId() const { return mIconId; }

    // The content window (nullptr until one is attached).
    QWidget* Handle() const { return mContent; }
    // Attaches the content window; the pane owns it from now on.
    void setHandle(QWidget* content);

    // Docks the pane and brings it to the front of its tab group; an auto-hidden pane comes
    // back from its strip together with the panes of its group.
    void Select();
    // Auto-hides the pane together with the panes tabbed with it: each leaves a tab on the
    // strip of its side. A slid-out pane slides back. The content window and its state stay.
    void Hide();
    // Asks to close the pane: the manager reports the closing, and unless it is cancelled the
    // pane is removed and its content window destroyed.
    void Close();
    // True while the pane is auto-hidden (slid out or not), and for a docked pane that is not
    // shown yet.
    bool IsHidden() const;
    bool IsClosed() const { return mClosed; }
    // True while the auto-hidden pane is slid out over the workspace.
    bool IsExpanded() const;

    QDockWidget* dockWidget() const { return mDock; }
    // The tab on the strip while the pane is auto-hidden (nullptr while docked).
    AutoHideTab* tab() const;
    // The slide-out of the pane (nullptr until the pane is first auto-hidden).
    AutoHidePanel* panel() const;
    // The title bar of the pane's frame, docked or slid out.
    PaneCaption* caption() const;

private:
    friend class DockingPaneManager;
    DockingPane(DockingPaneManager* manager, int id, QDockWidget* dock, int side, int iconId, int order);

    DockingPaneManager* mManager;
    int mId;
    int mSide;
    int mIconId;
    // Creation order: the order of the strips and of the saved layout.
    int mOrder;
    QString mTitle;
    // The dock goes away with the main window, which may outlive neither the pane nor the manager.
    QPointer<QDockWidget> mDock;
    QPointer<QWidget> mContent;
    QPointer<PaneCaption> mCaption;
    QPointer<AutoHidePanel> mPanel;
    QPointer<AutoHideTab> mTab;
    bool mClosed = false;
    bool mAutoHidden = false;
    // The size across the pane's side that its slide-out takes (and a docked frame had).
    int mExtent = 0;
    // Panes auto-hidden out of one tab group share a number (0: alone) and keep their tab
    // order; `mFront` marks the one that was in front, so the group docks again as it was.
    int mGroup = 0;
    int mGroupIndex = 0;
    bool mFront = false;
    // Shown while the window itself was not visible yet: announced at the first real show.
    bool mAnnouncePending = false;
    // Set while the manager itself shows the dock, so the show is announced only once.
    bool mShowing = false;
};

// The docking panes of a main window, by numeric identifier. The manager puts the window's
// central widget (set before the manager is made) into a frame with the four strips for the
// tabs of auto-hidden panes.
class DockingPaneManager : public QObject {
    Q_OBJECT
public:
    enum Side { Left, Right, Top, Bottom };
    enum Action { Closing, Expanding };

    explicit DockingPaneManager(QMainWindow* window);
    ~DockingPaneManager() override;
    void SetIconStore(IconStore* store) { mIcons = store; }

    // A new pane of the given size (width × height) at a side, docked and shown.
    DockingPane* CreatePane(int id, int width, int height, Side side, const QString& title, int iconId);
    DockingPane* FindPane(int id) const;
    QList<DockingPane*> Panes() const { return mPanes; }
    // Tabs `pane` together with `neighbour` in one frame.
    void AttachPane(DockingPane* pane, DockingPane* neighbour);
    // Brings a pane to the user: an auto-hidden pane slides out with the keyboard focus in it,
    // a docked one comes to the front of its group.
    void ShowPane(int id);
    // The pane that is slid out now, if any.
    DockingPane* ExpandedPane() const { return mExpanded; }

    // The layout as an XML text: every pane with its state (docked, auto-hidden or closed),
    // then the window's own layout data. An unchanged layout gives the same text.
    QString SaveStateToString() const;
    // Applies a text of SaveStateToString to the panes of this manager: their sides, sizes,
    // groups and states, and the window's layout. Panes the text does not name stay as they
    // are; a pane the text records as closed is closed (its owner may keep it). False when
    // the text is not such a layout.
    bool LoadStateFromString(const QString& text);

    QMainWindow* window() const { return mWindow; }
    // The central frame with the strips, and the workspace inside it.
    AutoHideFrame* frame() const;
    // Pointer rest time on a tab before its pane slides out (0: hovering opens nothing).
    void SetHoverDelay(int ms);
    // Length of the slide animation (0: the pane appears and goes at once).
    void SetSlideDuration(int ms) { mSlideMs = ms; }

signals:
    // A pane is about to be shown and has no content window yet: attach one now.
    void AttachPaneRequested(DockingPane* pane);
    // Something happens to a pane; a handler may cancel it (only Closing can be cancelled).
    void PaneAction(DockingPane* pane, DockingPaneManager::Action action, bool* cancel);

private:
    friend class DockingPane;
    // How a pane slides out: for the user (with the keyboard focus), for a resting pointer
    // (back when the pointer leaves it unused), or quietly (no focus, stays until dismissed).
    enum class Open { ByUser, ByHover, Quiet };
    void closePane(DockingPane* pane);
    void aboutToShow(DockingPane* pane);
    void showPane(DockingPane* pane);
    void forgetPane(DockingPane* pane);
    DockingPane* paneOfDock(const QObject* dock) const;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Docked panes sharing a frame with `pane`, in their tab order, and the one in front.
    QList<DockingPane*> dockedGroup(DockingPane* pane, DockingPane** front = nullptr) const;
    QList<DockingPane*> hiddenGroup(DockingPane* pane) const;
    void autoHide(DockingPane* pane);
    void autoHideOne(DockingPane* pane, int group, bool front);
    void dock(DockingPane* pane);
    void dockOne(DockingPane* pane);
    void expand(DockingPane* pane, Open how);
    void collapse(bool restoreFocus, bool animate = true);
    void refreshStrips();
    void dropTab(DockingPane* pane);
    AutoHidePanel* panelOf(DockingPane* pane);
    void watchWhileExpanded(bool on);
    bool filterWhileExpanded(QObject* watched, QEvent* event);
    void onFocusChanged(QWidget* now);
    void focusInto(DockingPane* pane);
    bool insideExpanded(const QWidget* widget) const;
    Qt::DockWidgetArea areaOfPane(const DockingPane* pane) const;
    int dockExtent(const DockingPane* pane) const;
    void setDockTitleBar(DockingPane* pane);
    void rememberClosed(const DockingPane* pane);

    QMainWindow* mWindow;
    QPointer<AutoHideFrame> mFrame;
    IconStore* mIcons = nullptr;
    QList<DockingPane*> mPanes;
    // Panes closed for good, as the layout records them: id, title, side name.
    struct ClosedPane {
        int id;
        QString title;
        QString side;
    };
    QList<ClosedPane> mClosedPanes;
    int mNextOrder = 0;
    int mNextGroup = 1;
    QPointer<DockingPane> mExpanded;
    QPointer<DockingPane> mPendingExpand;
    // Where the keyboard focus was before a pane slid out with the focus.
    QPointer<QWidget> mFocusBefore;
    // The slid-out pane was opened by resting the pointer and has not had the focus yet: it
    // goes back when the pointer leaves it.
    bool mHoverOnly = false;
    QObject* mWatcher = nullptr;
    // Set while the manager rearranges docks itself.
    int mBusy = 0;
    int mHoverDelay = 400;
    int mSlideMs = 140;
    QTimer* mHoverLeave;
};
