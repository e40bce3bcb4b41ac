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
#include "core/modTools.h"
#include "platform/PlainMessage.h"
#include "platform/SingleInstance.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <csignal>
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

void onTerminationSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here: wake the event loop, which closes the window.
    [[maybe_unused]] ssize_t n = ::write(gSignalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT close the main window the normal way (no question asked), so the user
// data is saved by the regular shutdown.
void installTerminationHandler() {
    if (gSignalPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char byte;
        [[maybe_unused]] ssize_t n = ::read(gSignalPipe[0], &byte, 1);
        if (gMainWindow)
            gMainWindow->close();
        else
            QCoreApplication::exit(0);
    });
    struct sigaction sa = {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
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

// A User.dat that cannot be used is kept aside under a new name and the user is told;
// the program then goes on with a fresh initial document.
void setUnreadableUserDataAside(clsUserData* userData) {
    const QString path = userData->FilePath();
    const QString aside =
        path + ".unreadable-" + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const bool moved = QFile::rename(path, aside);
    ShowPlainMessage(
        moved
            ? QStringLiteral(
                  "用户数据文件 %1 无法读取（%2），已改名保存为 %3。Quorvel 将使用新的用户数据继续启动。")
                  .arg(QDir::toNativeSeparators(path), userData->LoadError(), QDir::toNativeSeparators(aside))
            : QStringLiteral(
                  "用户数据文件 %1 无法读取（%2），也无法改名保存。Quorvel 将使用新的用户数据继续启动，"
                  "但不会覆盖这个文件。")
                  .arg(QDir::toNativeSeparators(path), userData->LoadError()),
        QStringLiteral("Quorvel"));
    if (moved) {
        modDataFile::WriteEncryptedFile(path, clsUserData::InitialDocument());
        gIsNewUser = true;
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

void AddShutdownStep(std::function<void()> beforeSave, std::function<void()> afterSave) {
    if (beforeSave)
        gBeforeSave.push_back(std::move(beforeSave));
    if (afterSave)
        gAfterSave.push_back(std::move(afterSave));
}

int Main(const QStringList& arguments, const MainWindowFactory& createMainWindow) {
    installTerminationHandler();

    // 1. One instance per program folder.
    SingleInstance instance(AppPath());
    if (!instance.tryAcquire()) {
        ShowPlainMessage(QStringLiteral("你已经运行了主程序"), QStringLiteral("Quorvel"));
        return 1;
    }

    // 2. The two command-line words; the program's own path is not part of what is searched.
    ReadCommandLine(arguments.mid(1).join(' '));

    // 4. The developer log exists in developer mode only.
    if (gIsDevelopMode)
        gDevLog = std::make_unique<QStringList>();

    // 5. The image store.
    gIconStore = new IconStore;
    if (!gIconStore->LoadLibrary(AppPath() + "/Data/icon.dat"))
        log(QStringLiteral("图标库 Data/icon.dat 无法读取"));

    // 6. A first start writes the initial user data.
    const QString userDataPath = AppPath() + "/Data/User.dat";
    if (!QFileInfo::exists(userDataPath)) {
        log(QStringLiteral("User.dat不存在,第一次启动,新建ID号"));
        QDir().mkpath(AppPath() + "/Data");
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

    // 7. The thumbnail cache folder.
    QDir().mkpath(AppPath() + "/Cache");

    // 8. The hub.
    gData = new clsData;

    // 9. The common data and the global settings; without them the program cannot work.
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

    // 10. The user data and its identifier.
    clsUserData* userData = gData->UserData();
    if (!userData->LoadError().isEmpty()) {
        setUnreadableUserDataAside(userData);
        gData->ReloadUserData();
        userData = gData->UserData();
        if (!userData->LoadError().isEmpty()) {
            // Still unusable (the file could not be moved): work on an initial document in
            // memory and never write over the file that is there.
            gData->UseInitialUserData();
            userData = gData->UserData();
        }
    }
    userData->userID();

    // 11. The system web browser and its small icon.
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

    // 12. The main window.
    QWidget* window = createMainWindow();
    gMainWindow = window;
    window->show();

    // 13 and later run once the main window is on the screen: the first page starts the web
    // engine, which takes longer than everything before it, and the user should see the window
    // meanwhile. When no exposure is reported (a minimised start), they run shortly anyway.
    auto rest = [] {
        // 13. The statistics ping (not in developer mode).
        if (!gIsDevelopMode && gData)
            gData->HostLogging(gIsNewUser ? QStringLiteral("new") : QStringLiteral("live"));
        // 14 and later: the steps of the subsystems (first page, update check).
        for (const auto& step : gStartupSteps)
            step();
    };
    runAfterFirstExposure(window, rest);

    const int status = QApplication::exec();
    Shutdown();
    return status;
}

void ResetShutdown() {
    gShutdownDone = false;
}

void Shutdown() {
    if (gShutdownDone)
        return;
    gShutdownDone = true;
    for (const auto& step : gBeforeSave)
        step();
    if (gData && gData->HasUserData() && !gData->UserData()->XMLNode.isNull()) {
        try {
            gData->UserData()->Save();
        } catch (const QvError& e) {
            ShowPlainMessage(QStringLiteral("用户数据无法保存：%1").arg(e.description()),
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
