#include "core/modInitial.h"

#include "controls/IconStore.h"
#include "core/QvError.h"
#include "core/XmlDocument.h"
#include "core/cRegistry.h"
#include "core/clsCommonData.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modDevelopeFunction.h"
#include "core/modFolders.h"
#include "core/modSafeFile.h"
#include "core/modTools.h"
#include "platform/PlainMessage.h"
#include "platform/RegistryView.h"
#include "platform/SingleInstance.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace modInitial {

bool gIsDevelopMode = false;
bool gIsNewUser = false;
bool gOnlineUpdateOff = false;
QString gUrlGetUserID;
QString gUrlOnlineUpdateList;
QString gInquiryQQ;
QString gInquiryMSN;
QString gHostDomain;
QString gUrlUpdateChecking;
QString gUrlUpdateVar;
int gUpdateInterval = 0;
int gCfgInterval = 0;
QString gIEPath;
QIcon gIEIconSmall;
std::unique_ptr<QStringList> gDevLog;
QPointer<QObject> gDevLogPane;
QPointer<QWidget> gMainWindow;
clsData* gData = nullptr;
IconStore* gIconStore = nullptr;
CommandBars* gCommandBars = nullptr;
DockingPaneManager* gDockingPanes = nullptr;
TabbedWorkspace* gWorkspace = nullptr;
StatusBarPane* gStatusPane = nullptr;

namespace {
QString gAppPathOverride;
std::vector<std::function<void()>> gStartupSteps;
std::vector<std::function<void()>> gLateStartupSteps;
// The late start-up steps are waiting for the first page.
bool gLateStepsDue = false;
std::vector<std::function<void()>> gBeforeSave;
std::vector<std::function<void()>> gAfterSave;
bool gShutdownDone = false;
int gSignalPipe[2] = {-1, -1};

QString readKey(const XmlNode& global, const char* key) {
    XmlNode node = global.selectSingleNode(QLatin1String(key));
    if (node.isNull())
        throw QvError(QvErrors::ObjectMissing, QString::fromLatin1(key));
    return node.text();
}

int readIntKey(const XmlNode& global, const char* key) {
    const QString text = readKey(global, key);
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        throw QvError(QvErrors::TypeMismatch,
                      QStringLiteral("%1=\"%2\" is not a 32-bit number").arg(key, text));
    return value;
}

// The termination signal that arrived, or 0. Set inside the signal handler.
volatile std::sig_atomic_t gTerminationSignal = 0;
// True once the start procedure has handed over to the event loop.
bool gRunning = false;
bool gExitSaveRegistered = false;

void onTerminationSignal(int signal) {
    // Only async-signal-safe work here: note the signal and wake the event loop.
    gTerminationSignal = signal;
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(gSignalPipe[1], &byte, 1);
}

// Ends the program the normal way: questions that are open are answered with their cancel
// button first (their handlers are still running and must return before anything is
// released), then the main window closes without asking and the regular shutdown saves.
void endOnSignal() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        QTimer::singleShot(0, qApp, endOnSignal);
        return;
    }
    // During start-up the start procedure notices the signal itself at its next step.
    if (!gRunning)
        return;
    if (gMainWindow)
        gMainWindow->close();
    else
        QCoreApplication::exit(0);
}

// SIGTERM, SIGINT, SIGHUP (the session or terminal is gone) and SIGQUIT close the main window
// the normal way (no question asked), so the user data is saved by the regular shutdown.
void installTerminationHandler() {
    if (gSignalPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalPipe) != 0)
        return;
    ::fcntl(gSignalPipe[1], F_SETFL, O_NONBLOCK);
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char byte;
        [[maybe_unused]] ssize_t n = ::read(gSignalPipe[0], &byte, 1);
        endOnSignal();
    });
    struct sigaction sa = {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT})
        sigaction(signal, &sa, nullptr);
}

// When the program ends without its shutdown (the display connection broke and the platform
// called exit), the unsaved changes are still written and the process ends at once with the
// status it was given: the rest of exit unloads the libraries while the web engine's threads
// still run in them, which crashes the process.
void saveAtExit(int status, void*) {
    if (!gShutdownDone && gData)
        EndWithoutShutdown(status);
}

// Runs `work` once, from the event loop, right after the window has been painted for the first
// time, or after half a second if the window is not shown on the screen by then.
class FirstExposure : public QObject {
public:
    FirstExposure(QWidget* window, std::function<void()> work) : QObject(window), mWork(std::move(work)) {
        if (QWindow* handle = window->windowHandle())
            handle->installEventFilter(this);
        QTimer::singleShot(500, this, [this] { run(); });
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        // The exposure paints the window; the work follows from the event loop.
        if (event->type() == QEvent::Expose)
            QTimer::singleShot(0, this, [this] { run(); });
        return false;
    }

private:
    void run() {
        if (!mWork)
            return;
        auto work = std::move(mWork);
        mWork = nullptr;
        work();
        deleteLater();
    }
    std::function<void()> mWork;
};

void runAfterFirstExposure(QWidget* window, std::function<void()> work) {
    new FirstExposure(window, std::move(work));
}

void log(const QString& text) {
    if (gIsDevelopMode)
        modDevelopeFunction::WriteLog(text);
}

// A User.dat that cannot be used is kept aside under a new name and the user is told; the
// program then goes on with a fresh initial document. When the file cannot be moved, the fresh
// document lives in memory only and the file is never written over.
clsUserData* useFreshUserData(clsUserData* unreadable) {
    const QString path = unreadable->FilePath();
    const QString reason = unreadable->LoadError();
    const QString stamp =
        path + ".unreadable-" + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = stamp;
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
        aside = stamp + QLatin1Char('-') + QString::number(n);
    const QString shownPath = QDir::toNativeSeparators(path);
    if (!modSafeFile::MoveAside(path, aside)) {
        gData->UseInitialUserData();
        ShowPlainMessage(
            QStringLiteral(
                "用户数据文件 %1 无法读取（%2），也无法改名保存。Quorvel 将使用新的用户数据继续启动，"
                "但不会覆盖这个文件：本次运行中的更改都无法保存。")
                .arg(shownPath, reason),
            QStringLiteral("Quorvel"));
        return gData->UserData();
    }
    gData->UseInitialUserData();
    clsUserData* fresh = gData->UserData();
    fresh->SetFilePath(path);
    gIsNewUser = true;
    QString message =
        QStringLiteral(
            "用户数据文件 %1 无法读取（%2），已改名保存为 %3。Quorvel 将使用新的用户数据继续启动。")
            .arg(shownPath, reason, QDir::toNativeSeparators(aside));
    try {
        fresh->Save();
    } catch (const QvError& e) {
        message += QStringLiteral("但新的用户数据文件现在无法写入（%1），Quorvel 会在之后再次尝试保存。")
                       .arg(e.description());
    }
    ShowPlainMessage(message, QStringLiteral("Quorvel"));
    return fresh;
}

QString lockFailureReason(const SingleInstance& instance) {
    switch (instance.errorNumber()) {
    case EROFS:
        return QStringLiteral("文件系统是只读的");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有写入这个文件夹的权限");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("磁盘空间已满");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("文件夹不存在");
    default:
        return QStringLiteral("系统错误 %1：%2").arg(instance.errorNumber()).arg(instance.errorString());
    }
}

} // namespace

QString AppPath() {
    if (!gAppPathOverride.isEmpty())
        return gAppPathOverride;
    return QCoreApplication::applicationDirPath();
}

void SetAppPath(const QString& folder) {
    gAppPathOverride = QDir(folder).absolutePath();
}

int VersionMajor() {
    return QV_VERSION_MAJOR;
}
int VersionMinor() {
    return QV_VERSION_MINOR;
}
int VersionRevision() {
    return QV_VERSION_REVISION;
}

void ReadGlobalSettings(const XmlNode& globalNode) {
    if (globalNode.isNull())
        throw QvError(QvErrors::ObjectMissing, QStringLiteral("global"));
    gHostDomain = readKey(globalNode, "hostdomain");
    gUrlGetUserID = readKey(globalNode, "urlgetuserid");
    gUrlUpdateChecking = readKey(globalNode, "urlupdatechecking");
    gUrlOnlineUpdateList = readKey(globalNode, "urlonlineupdatelist");
    gUrlUpdateVar = readKey(globalNode, "urlupdatevar");
    gUpdateInterval = readIntKey(globalNode, "updateinterval");
    gCfgInterval = readIntKey(globalNode, "cfginterval");
    gInquiryQQ = readKey(globalNode, "inquiryqq");
    gInquiryMSN = readKey(globalNode, "inquirymsn");
}

void StartUpdater() {
    // The updater waits for this process to end; it is not waited for here.
    QProcess::startDetached(AppPath() + "/QVUpdate", {QString::number(modTools::CurrentProcessId())},
                            AppPath());
}

void ReadCommandLine(const QString& commandLine) {
    gIsDevelopMode = commandLine.contains(QLatin1String("developMode"), Qt::CaseInsensitive);
    gOnlineUpdateOff = commandLine.contains(QLatin1String("OnlineUpdateOFF"), Qt::CaseInsensitive);
}

void AddStartupStep(std::function<void()> step) {
    gStartupSteps.push_back(std::move(step));
}

void AddLateStartupStep(std::function<void()> step) {
    gLateStartupSteps.push_back(std::move(step));
}

void FirstPageShown() {
    if (!gLateStepsDue)
        return;
    gLateStepsDue = false;
    // The statistics ping (not in developer mode).
    if (!gIsDevelopMode && gData)
        gData->HostLogging(gIsNewUser ? QStringLiteral("new") : QStringLiteral("live"));
    for (const auto& step : gLateStartupSteps)
        step();
}

void AddShutdownStep(std::function<void()> beforeSave, std::function<void()> afterSave) {
    if (beforeSave)
        gBeforeSave.push_back(std::move(beforeSave));
    if (afterSave)
        gAfterSave.push_back(std::move(afterSave));
}

bool TerminationRequested() {
    return gTerminationSignal != 0;
}

int Main(const QStringList& arguments, const MainWindowFactory& createMainWindow) {
    installTerminationHandler();
    gRunning = false;
    // A termination signal during start-up ends the start at the next step; what has been
    // loaded by then is saved by the regular shutdown.
    auto endedBySignal = [] {
        if (!TerminationRequested())
            return false;
        Shutdown();
        return true;
    };

    // Where the user's files go: the program folder, or the user's own data folder when the
    // program folder is read-only or an installed copy (made on the user's first start there).
    modFolders::Refresh();
    const bool inProgramFolder = modFolders::WritesIntoProgramFolder();
    QString folderError;
    if (!modFolders::CreateUserFolder(&folderError)) {
        ShowPlainMessage(QStringLiteral("无法建立用户数据文件夹（%1），Quorvel 无法启动。").arg(folderError),
                         QStringLiteral("Quorvel"));
        return 2;
    }
    RegistryView::instance().setRegistryFile(HKEY_LOCAL_MACHINE, modFolders::MachineRegistryFile());

    // One instance per user folder: per program folder for a writable copy, per user otherwise.
    SingleInstance instance(modFolders::UserFolder());
    switch (instance.acquire()) {
    case SingleInstance::Status::Acquired:
        break;
    case SingleInstance::Status::HeldByAnother:
        ShowPlainMessage(QStringLiteral("你已经运行了主程序"), QStringLiteral("Quorvel"));
        return 1;
    case SingleInstance::Status::Failed:
        ShowPlainMessage(
            QStringLiteral("无法在%1 %2 中建立锁文件 QV.lock（%3），Quorvel 无法启动。"
                           "请确认这个文件夹可以写入，并且磁盘还有空间。")
                .arg(inProgramFolder ? QStringLiteral("程序文件夹") : QStringLiteral("用户数据文件夹"),
                     QDir::toNativeSeparators(instance.folder()), lockFailureReason(instance)),
            QStringLiteral("Quorvel"));
        return 2;
    }
    if (endedBySignal())
        return 0;

    // The two command-line words; the program's own path is not part of what is searched.
    ReadCommandLine(arguments.mid(1).join(' '));

    // The developer log exists in developer mode only.
    if (gIsDevelopMode)
        gDevLog = std::make_unique<QStringList>();
    if (!inProgramFolder)
        log(QStringLiteral("程序文件夹 %1 是只读的或是安装的副本，用户数据在 %2")
                .arg(QDir::toNativeSeparators(AppPath()),
                     QDir::toNativeSeparators(modFolders::UserFolder())));

    // The image store.
    gIconStore = new IconStore;
    if (!gIconStore->LoadLibrary(modFolders::IconLibraryFile()))
        log(QStringLiteral("图标库 %1 无法读取")
                .arg(QDir::toNativeSeparators(modFolders::IconLibraryFile())));

    // Saves that were cut short last time: the temporary files beside User.dat are cleared away,
    // and one that holds newer readable data than User.dat is kept for the user.
    const QString userDataPath = modFolders::UserDataFile();
    const QStringList unsaved = clsUserData::RecoverInterruptedSaves(userDataPath);
    if (!unsaved.isEmpty()) {
        QStringList shown;
        for (const QString& file : unsaved)
            shown << QDir::toNativeSeparators(file);
        ShowPlainMessage(QStringLiteral("上次运行时有一次保存没有完成。那次保存的用户数据已另存为 %1；"
                                        "Quorvel 使用的是 %2 中最后一次完整保存的数据。")
                             .arg(shown.join(QStringLiteral("、")), QDir::toNativeSeparators(userDataPath)),
                         QStringLiteral("Quorvel"));
        if (endedBySignal())
            return 0;
    }

    // A first start writes the initial user data.
    if (!QFileInfo::exists(userDataPath) && !QFileInfo(userDataPath).isSymLink()) {
        log(QStringLiteral("User.dat不存在,第一次启动,新建ID号"));
        QDir().mkpath(QFileInfo(userDataPath).path());
        try {
            modDataFile::WriteEncryptedFile(userDataPath, clsUserData::InitialDocument());
        } catch (const QvError& e) {
            ShowPlainMessage(QStringLiteral("无法创建用户数据文件 %1：%2")
                                 .arg(QDir::toNativeSeparators(userDataPath), e.description()),
                             QStringLiteral("Quorvel"));
            return 2;
        }
        gIsNewUser = true;
    }

    // The thumbnail cache folder.
    QDir().mkpath(modFolders::CacheFolder());

    // The hub.
    gData = new clsData;

    // The common data and the global settings; without them the program cannot work.
    clsCommonData* common = gData->CommonData();
    if (!common->LoadError().isEmpty()) {
        ShowPlainMessage(QStringLiteral("无法读取配置文件 %1：%2")
                             .arg(QDir::toNativeSeparators(common->FilePath()), common->LoadError()),
                         QStringLiteral("Quorvel"));
        Shutdown();
        return 2;
    }
    try {
        common->IntialGlobalVariant();
    } catch (const QvError& e) {
        ShowPlainMessage(QStringLiteral("配置文件 %1 缺少或写错了全局设置 %2")
                             .arg(QDir::toNativeSeparators(common->FilePath()), e.description()),
                         QStringLiteral("Quorvel"));
        Shutdown();
        return 2;
    }
    if (endedBySignal())
        return 0;

    // The user data and its identifier.
    clsUserData* userData = gData->UserData();
    if (!userData->LoadError().isEmpty())
        userData = useFreshUserData(userData);
    if (endedBySignal())
        return 0;
    // From here on there is user data to lose: an end through exit() still writes its changes.
    if (!gExitSaveRegistered) {
        gExitSaveRegistered = true;
        ::on_exit(saveAtExit, nullptr);
    }
    userData->userID();

    // The system web browser and its small icon.
    cRegistry registry;
    registry.ClassKey = HKEY_LOCAL_MACHINE;
    registry.SectionKey =
        QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE");
    registry.ValueKey = QString();
    registry.ValueType = 1;
    gIEPath = registry.Value().toString();
    if (!gIEPath.isEmpty()) {
        const QFileInfo browser(gIEPath);
        gIEIconSmall = QIcon::fromTheme(browser.completeBaseName());
        if (gIEIconSmall.isNull())
            gIEIconSmall = QFileIconProvider().icon(browser);
    }

    // The main window.
    QWidget* window = createMainWindow();
    gMainWindow = window;
    window->show();
    if (TerminationRequested()) {
        window->close();
        Shutdown();
        return 0;
    }

    // The rest runs once the main window is on the screen: the first page starts the web
    // engine, which takes longer than everything before it, and the user should see the window
    // meanwhile. When no exposure is reported (a minimised start), it runs shortly anyway.
    // What can wait (the statistics ping, the update check) follows once the first page is on
    // the screen, so that it takes nothing from the page's way there.
    auto rest = [] {
        gLateStepsDue = true;
        for (const auto& step : gStartupSteps)
            step();
        QTimer::singleShot(LateStartupDelayMs, qApp, FirstPageShown);
    };
    runAfterFirstExposure(window, rest);

    gRunning = true;
    const int status = QApplication::exec();
    gRunning = false;
    Shutdown();
    return status;
}

void ResetShutdown() {
    gShutdownDone = false;
}

void EndWithoutShutdown(int status) {
    // The windows are not asked for their layout: they may be unusable by then.
    if (!gShutdownDone && gData && gData->HasUserData() && gData->UserData()->IsDirty()) {
        try {
            gData->UserData()->SaveWithoutLayout();
        } catch (...) {
            // Nothing can be shown any more; the file keeps the last completed save.
        }
    }
    std::fflush(nullptr);
    ::_exit(status);
}

void Shutdown() {
    if (gShutdownDone)
        return;
    gShutdownDone = true;
    for (const auto& step : gBeforeSave)
        step();
    // User data kept in memory only has no file; the user was told so when it began.
    if (gData && gData->HasUserData() && !gData->UserData()->XMLNode.isNull() &&
        !gData->UserData()->IsMemoryOnly()) {
        clsUserData* userData = gData->UserData();
        try {
            userData->Save();
        } catch (const QvError& e) {
            ShowPlainMessage(clsUserData::SaveFailureMessage(userData->FilePath(), e.description()),
                             QStringLiteral("Quorvel"));
        }
    }
    for (const auto& step : gAfterSave)
        step();
    // Every other top-level window goes with the main window.
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w != gMainWindow.data() && w->isVisible())
            w->close();
    }
    delete gData;
    gData = nullptr;
    gDevLog.reset();
    gIEIconSmall = QIcon();
}

} // namespace modInitial
