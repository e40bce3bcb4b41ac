#pragma once
#include <QIcon>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

class QObject;
class clsData;
class XmlNode;
class IconStore;
class CommandBars;
class DockingPaneManager;
class StatusBarPane;
class TabbedWorkspace;

// Process-wide state and the start procedure.
namespace modInitial {

extern bool gIsDevelopMode;
extern bool gIsNewUser;
extern bool gOnlineUpdateOff;
extern QString gUrlGetUserID;
extern QString gUrlOnlineUpdateList;
extern QString gInquiryQQ;
extern QString gInquiryMSN;
// The five settings that are read from the common data but drive nothing yet.
extern QString gHostDomain;
extern QString gUrlUpdateChecking;
extern QString gUrlUpdateVar;
extern int gUpdateInterval;
extern int gCfgInterval;

extern QString gIEPath;
extern QIcon gIEIconSmall;
// Developer log lines, oldest first; only kept in developer mode.
extern std::unique_ptr<QStringList> gDevLog;
// Status-bar pane that shows the latest log line (any object with a "text" property).
extern QPointer<QObject> gDevLogPane;
extern QPointer<QWidget> gMainWindow;
extern clsData* gData;
// The program-wide image store loaded from icon.dat (modFolders::IconLibraryFile).
extern IconStore* gIconStore;
// The main window's command bars, docking panes, tabbed workspace and welcome pane.
extern CommandBars* gCommandBars;
extern DockingPaneManager* gDockingPanes;
extern TabbedWorkspace* gWorkspace;
extern StatusBarPane* gStatusPane;

// The program folder: the executable's folder, unless a test has set another one. Where the
// data files are (in it or elsewhere) is modFolders' decision.
QString AppPath();
void SetAppPath(const QString& folder);

// The program's own version numbers.
int VersionMajor();
int VersionMinor();
int VersionRevision();

// Fills the global settings from the child elements of the common data's `global` element.
// Throws QvError naming the key when one of the nine keys is missing.
void ReadGlobalSettings(const XmlNode& globalNode);

// Starts QVUpdate (beside QV) with the current process id; does not wait.
void StartUpdater();

// Reads the two command-line words (any case, anywhere, also inside a longer word).
void ReadCommandLine(const QString& commandLine);

using MainWindowFactory = std::function<QWidget*()>;
// Work that later start-up steps add (the first page); run in order once the main window is
// on the screen.
void AddStartupStep(std::function<void()> step);
// Work that can wait until the first page is on the screen (the update check): run in order,
// after the statistics ping, once FirstPageShown is called, or LateStartupDelayMs after the
// start-up steps when no first page says so.
void AddLateStartupStep(std::function<void()> step);
void FirstPageShown();
inline constexpr int LateStartupDelayMs = 3000;
// Work that the shutdown runs before the user data is saved (cancelling a download) and
// after it (closing windows, releasing hosts), registered by the subsystems that own it.
void AddShutdownStep(std::function<void()> beforeSave, std::function<void()> afterSave);

// The start procedure. Returns the program's exit status: 0 after a normal end (also one asked
// for by SIGTERM, SIGINT, SIGHUP or SIGQUIT, during start-up too), 1 when another instance runs
// with this user folder (modFolders), 2 when the user folder cannot be made or refuses the lock
// file, or the common data cannot be used.
int Main(const QStringList& arguments, const MainWindowFactory& createMainWindow);

// A termination signal has arrived (the program is ending).
bool TerminationRequested();

// The end of the program, run once when the main window unloads: saves the user data and
// releases the globals in order. Later calls do nothing until ResetShutdown re-arms it (a new
// start, or the next test of a test program).
void Shutdown();
void ResetShutdown();

// The end when the regular shutdown cannot run (the display went away): writes the user data's
// unsaved changes, without asking the windows for their layout, and ends the process at once
// with `status`.
[[noreturn]] void EndWithoutShutdown(int status);

} // namespace modInitial
