#pragma once
#include <QDockWidget>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QMainWindow;
class QWidget;
class IconStore;
class DockingPaneManager;

// A docking pane: a titled frame at one side of the main window that holds one content window.
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

    // Shows the pane (and brings it to the front of its tab group).
    void Select();
    // Hides the pane; its content window and state stay.
    void Hide();
    // Asks to close the pane: the manager reports the closing, and unless it is cancelled the
    // pane is removed and its content window destroyed.
    void Close();
    bool IsHidden() const;
    bool IsClosed() const { return mClosed; }

    QDockWidget* dockWidget() const { return mDock; }

private:
    friend class DockingPaneManager;
    DockingPane(DockingPaneManager* manager, int id, QDockWidget* dock, int side, int iconId);

    DockingPaneManager* mManager;
    int mId;
    int mSide;
    int mIconId;
    QString mTitle;
    // The dock goes away with the main window, which may outlive neither the pane nor the manager.
    QPointer<QDockWidget> mDock;
    QPointer<QWidget> mContent;
    bool mClosed = false;
    // Set while the manager itself shows the dock, so the show is announced only once.
    // Shown while the window itself was not visible yet: announced at the first real show.
    bool mAnnouncePending = false;
    bool mShowing = false;
};

// The docking panes of a main window, by numeric identifier.
class DockingPaneManager : public QObject {
    Q_OBJECT
public:
    enum Side { Left, Right, Top, Bottom };
    enum Action { Closing, Expanding };

    explicit DockingPaneManager(QMainWindow* window);
    void SetIconStore(IconStore* store) { mIcons = store; }

    // A new pane of the given size (width × height) at a side, shown.
    DockingPane* CreatePane(int id, int width, int height, Side side, const QString& title, int iconId);
    DockingPane* FindPane(int id) const;
    QList<DockingPane*> Panes() const { return mPanes; }
    // Tabs `pane` together with `neighbour` in one frame.
    void AttachPane(DockingPane* pane, DockingPane* neighbour);
    // Shows a hidden pane again.
    void ShowPane(int id);
    // The layout as an XML text: every pane with its state, then the window's own layout data.
    // An unchanged layout gives the same text.
    QString SaveStateToString() const;
    QMainWindow* window() const { return mWindow; }

signals:
    // A pane is about to be shown and has no content window yet: attach one now.
    void AttachPaneRequested(DockingPane* pane);
    // Something happens to a pane; a handler may cancel it (only Closing can be cancelled).
    void PaneAction(DockingPane* pane, DockingPaneManager::Action action, bool* cancel);

private:
    friend class DockingPane;
    void closePane(DockingPane* pane);
    void aboutToShow(DockingPane* pane);
    void showPane(DockingPane* pane);
    void forgetPane(DockingPane* pane);
    DockingPane* paneOfDock(const QObject* dock) const;
    bool eventFilter(QObject* watched, QEvent* event) override;

    QMainWindow* mWindow;
    IconStore* mIcons = nullptr;
    QList<DockingPane*> mPanes;
};
