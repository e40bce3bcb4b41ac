#pragma once
#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>

class CommandBar;
class CommandBarControl;
class CommandBars;
class DockingPane;
class DockingPaneManager;
class QMdiArea;
class StatusBarPane;
class TabbedWorkspace;

// The program's one main window: tabbed browser windows in the middle, framed by the menu bar,
// the toolbars, the docking panes and the status bar. Every command of its bars arrives in one
// handler. Closing it is the end of the program: its unload runs the shutdown, which saves the
// user data with the docking layout.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // What the subsystems plug into the window. Each is optional: without it the window shows
    // the pane empty, or leaves the command without effect.
    struct Extensions {
        // The sticky-notes control (returned, so the window can set its tooltip) and
        // the recent-documents menu on toolbar "工具".
        std::function<CommandBarControl*(CommandBar*)> addNotesControl;
        std::function<void(CommandBar*)> addRecentDocumentsMenu;
        // The application buttons of toolbar "本地工具".
        std::function<void(CommandBar*)> addLocalSoftware;
        // The content window of a pane (created once, kept while the pane only hides).
        std::function<QWidget*(int paneId)> createPaneContent;
        // A pane's content was attached (web panes build their command bar here).
        std::function<void(int paneId, QWidget* content)> paneContentAttached;
        // A pane is about to be shown (web panes navigate a fresh page here).
        std::function<void(int paneId, QWidget* content)> paneExpanding;
        // Commands whose work belongs to a subsystem: Cmd::NewPage, Cmd::CheckUpdate, Cmd::OpenLink,
        // Cmd::RescanSoftware, and any identifier a subsystem registers.
        std::map<int, std::function<void(CommandBarControl*)>> commands;
        // Work of the shutdown before the user data is saved (cancelling a download).
        std::function<void()> beforeSave;
    };
    static Extensions& extensions();

    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    CommandBars* commandBars() const { return mBars; }
    DockingPaneManager* dockingPanes() const { return mPanes; }
    TabbedWorkspace* workspace() const { return mWorkspace; }
    QMdiArea* hMDIClient() const { return mArea; }
    CommandBar* toolBarTools() const { return mToolBar; }
    CommandBar* toolBarLocal() const { return mLocalBar; }
    CommandBar* toolBarDebug() const { return mDebugBar; }
    CommandBarControl* superSearchButton() const { return mSuperSearch; }
    StatusBarPane* versionPane() const { return mVersionPane; }
    // The content window of a pane (nullptr until created).
    QWidget* paneContent(int paneId) const { return mPaneContents.value(paneId); }

    // The arrangement of load and of Cmd::DefaultLayout.
    void ApplyDefaultArrangement();
    // Command Cmd::SuperSearch.
    void ToggleAdvancedSearch();
    // Shows the advanced search pane (PaneId::AdvancedSearch), creating it when it is missing or was closed.
    void showAdvSearchPane();
    // Runs a command as the bars would.
    void ExecuteCommand(CommandBarControl* control);

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void buildMenuBar();
    void buildToolBars();
    void buildStatusBar();
    void buildPanes();
    void fillWindowList(CommandBar* popup);
    void attachPaneContent(DockingPane* pane);
    void onPaneAction(DockingPane* pane, int action, bool* cancel);
    void onPopup(CommandBar* popup);
    QWidget* ensurePaneContent(DockingPane* pane);

    CommandBars* mBars = nullptr;
    DockingPaneManager* mPanes = nullptr;
    TabbedWorkspace* mWorkspace = nullptr;
    QMdiArea* mArea = nullptr;
    CommandBar* mToolBar = nullptr;
    CommandBar* mLocalBar = nullptr;
    CommandBar* mDebugBar = nullptr;
    CommandBarControl* mSuperSearch = nullptr;
    // The drop-down of special folders until it first opens and gets its icons.
    CommandBar* mSpecialFolders = nullptr;
    StatusBarPane* mVersionPane = nullptr;
    QHash<int, QPointer<QWidget>> mPaneContents;
    bool mPainted = false;
    bool mUnloaded = false;
};
