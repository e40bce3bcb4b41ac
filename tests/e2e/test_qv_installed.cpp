#include "core/clsUserData.h"
#include "core/modDataFile.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include "ProgramFolder.h"
#include "common/LocalHttpServer.h"
#include "common/TestSupport.h"

// The program installed with `cmake --install` into a staging folder (DESTDIR), as a package
// would put it on the system, then run from there by users who cannot write to it.
namespace {

const QString kAppId = QStringLiteral("cn.quorvel.Quorvel");
const QList<int> kIconSizes = {16, 22, 24, 32, 48, 64, 128};

// Every file and folder below `root` with its size and modification time.
QMap<QString, QString> snapshot(const QString& root) {
    QMap<QString, QString> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        entries.insert(info.filePath(),
                       QStringLiteral("%1 %2").arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch()));
    }
    return entries;
}

// Runs a program to its end; its exit status, -1 when it did not run. Output goes to `output`.
int run(const QString& program, const QStringList& args, QString* output = nullptr,
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(10000) || !p.waitForFinished(120000))
        return -1;
    if (output)
        *output = QString::fromUtf8(p.readAll());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// Makes the tree at `root` writable again for this process.
void makeTreeWritable(const QString& root) {
    if (::geteuid() == 0)
        run("chattr", {"-R", "-i", root});
    else
        run("chmod", {"-R", "u+w", root});
}

// Makes the tree at `root` read-only for this process: immutable for root (whom the mode bits do
// not stop), without write permission for anyone else. False, with the tree left writable,
// where neither works.
bool makeTreeReadOnly(const QString& root) {
    const bool done =
        ::geteuid() == 0 ? run("chattr", {"-R", "+i", root}) == 0 : run("chmod", {"-R", "a-w", root}) == 0;
    QFile probe(root + "/.write-probe");
    if (!done || probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        makeTreeWritable(root);
        return false;
    }
    return true;
}

class InstalledCopy {
public:
    // Installs the build below a staging folder with the prefix /usr.
    bool install(QString* output) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DESTDIR", stage.path());
        const QString cmake = qEnvironmentVariable("QV_CMAKE_COMMAND", QStringLiteral("cmake"));
        return run(cmake, {"--install", qvtest::buildDir(), "--prefix", "/usr"}, output, env) == 0 &&
               QFileInfo(path("bin/QV")).isExecutable();
    }
    // The installed prefix, and a path below it.
    QString prefix() const { return stage.filePath("usr"); }
    QString path(const QString& relative) const { return prefix() + "/" + relative; }

    bool makeReadOnly() { return mReadOnly = makeTreeReadOnly(prefix()); }

    // Starts the installed QV for the user whose data home is `dataHome`.
    QProcess* start(const QStringList& args, const QString& dataHome) {
        auto* p = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QV_AUTOANSWER", "1");
        env.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
        env.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
        env.insert("XDG_DATA_HOME", dataHome);
        env.insert("XDG_CONFIG_HOME", dataHome + "/config");
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(home.path());
        p->start(path("bin/QV"), args);
        EXPECT_TRUE(p->waitForStarted(10000));
        processes.emplace_back(p);
        return p;
    }

    ~InstalledCopy() {
        for (auto& p : processes) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
        if (mReadOnly)
            makeTreeWritable(prefix());
    }

    QTemporaryDir stage;
    // Where the users' data homes go.
    QTemporaryDir home;

private:
    bool mReadOnly = false;
    std::vector<std::unique_ptr<QProcess>> processes;
};

QString readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool endWithTerminate(QProcess* p) {
    ::kill(pid_t(p->processId()), SIGTERM);
    return p->waitForFinished(20000) && p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0;
}

} // namespace

TEST(InstalledCopy, DesktopEntryMetainfoAndIconsAreInstalledAndPassTheirValidators) {
    InstalledCopy copy;
    QString output;
    ASSERT_TRUE(copy.install(&output)) << output.toStdString();
    for (const char* program : {"bin/QV", "bin/QVUpdate", "bin/qvdata"})
        EXPECT_TRUE(QFileInfo(copy.path(program)).isExecutable()) << program;
    for (const char* file : {"share/quorvel/common.dat", "share/quorvel/icon.dat"})
        EXPECT_EQ(qvtest::readFile(copy.path(file)),
                  qvtest::readFile(qvtest::buildDir() + "/Data/" + QFileInfo(file).fileName()))
            << file;

    const QString desktop = copy.path("share/applications/" + kAppId + ".desktop");
    EXPECT_EQ(run("desktop-file-validate", {desktop}, &output), 0) << output.toStdString();
    EXPECT_FALSE(output.contains("error:")) << output.toStdString();
    const QString metainfo = copy.path("share/metainfo/" + kAppId + ".metainfo.xml");
    EXPECT_EQ(run("appstreamcli", {"validate", "--no-net", metainfo}, &output), 0) << output.toStdString();

    // The entry starts the installed program and shows its icon, which the theme has at every size.
    QSettings entry(desktop, QSettings::IniFormat);
    entry.beginGroup("Desktop Entry");
    EXPECT_EQ(entry.value("Name").toString(), "Quorvel");
    EXPECT_FALSE(entry.value("Name[zh_CN]").toString().isEmpty());
    EXPECT_TRUE(QFileInfo(copy.path("bin/" + entry.value("Exec").toString())).isExecutable());
    const QString icon = entry.value("Icon").toString();
    EXPECT_EQ(icon, kAppId);
    for (int size : kIconSizes) {
        const QString file =
            copy.path(QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(icon));
        EXPECT_EQ(QImage(file).size(), QSize(size, size)) << file.toStdString();
    }
    const QString meta = readText(metainfo);
    EXPECT_TRUE(meta.contains("<launchable type=\"desktop-id\">" + kAppId + ".desktop</launchable>"));
    EXPECT_TRUE(meta.contains("<caption>"));
}

// Two users run one read-only installed copy at once; each gets a user data folder of their
// own, made at the first start, with the first-start user data, the thumbnail cache and (in
// developer mode) the log. Nothing under the installed prefix changes.
TEST(InstalledCopy, TwoUsersRunOneReadOnlyCopyEachWithTheirOwnDataFolder) {
    LocalHttpServer server;
    ASSERT_TRUE(server.start());
    server.serve("/QVNewstat.html", "new");
    server.serve("/filelist.xml", "<filelist/>", "text/xml");
    InstalledCopy copy;
    QString output;
    ASSERT_TRUE(copy.install(&output)) << output.toStdString();
    // Every request of the installed program goes to this machine.
    const QString common = copy.path("share/quorvel/common.dat");
    SetCommonGlobal(common, "hostdomain", QStringLiteral("127.0.0.1:%1").arg(server.port()));
    SetCommonGlobal(common, "urlgetuserid", QStringLiteral("http://127.0.0.1:9/id"));
    SetCommonGlobal(common, "urlonlineupdatelist", server.url("/filelist.xml"));
    if (!copy.makeReadOnly())
        GTEST_SKIP() << "this machine cannot make the installed files read-only";
    const QMap<QString, QString> before = snapshot(copy.prefix());

    const QString alice = copy.home.filePath("alice/share");
    const QString bob = copy.home.filePath("bob/share");
    QProcess* first = copy.start({"developMode"}, alice);
    const QString aliceLog = alice + "/Quorvel/log.txt";
    ASSERT_TRUE(waitUntil([&] { return readText(aliceLog).contains(QStringLiteral("主窗口已显示")); }, 30000))
        << readText(aliceLog).toStdString() << first->readAllStandardError().toStdString();
    // The automatic update check leaves the installed files to the package manager.
    ASSERT_TRUE(waitUntil([&] { return readText(aliceLog).contains(QStringLiteral("在线更新跳过")); }, 30000))
        << readText(aliceLog).toStdString();

    // The second user (not in developer mode) gets as far as the statistics ping of a new user.
    QProcess* second = copy.start({}, bob);
    ASSERT_TRUE(server.waitForRequest("/QVNewstat.html", 30000))
        << second->readAllStandardError().toStdString();
    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_EQ(second->state(), QProcess::Running);

    // One instance per user: the first user's second start is refused and disturbs nothing.
    QProcess* again = copy.start({}, alice);
    ASSERT_TRUE(again->waitForFinished(20000));
    EXPECT_EQ(again->exitCode(), 1);
    EXPECT_TRUE(
        QString::fromUtf8(again->readAllStandardError()).contains(QStringLiteral("你已经运行了主程序")));

    EXPECT_TRUE(endWithTerminate(first)) << first->readAllStandardError().toStdString();
    EXPECT_TRUE(endWithTerminate(second)) << second->readAllStandardError().toStdString();

    for (const QString& user : {alice, bob}) {
        SCOPED_TRACE(user.toStdString());
        const QString folder = user + "/Quorvel";
        const QString text = modDataFile::ReadEncryptedFile(folder + "/Data/User.dat");
        EXPECT_TRUE(text.startsWith(QStringLiteral("<data><globalinfo userid=\"\"/>"))) << text.toStdString();
        EXPECT_TRUE(QFileInfo(folder + "/Cache").isDir());
        EXPECT_EQ(QFileInfo(folder).permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ExeOther),
                  QFile::Permissions());
    }
    EXPECT_TRUE(readText(aliceLog).contains(QStringLiteral("User.dat不存在,第一次启动,新建ID号")));
    EXPECT_FALSE(QFileInfo::exists(bob + "/Quorvel/log.txt"));
    EXPECT_TRUE(server.requestsFor("/filelist.xml").isEmpty());
    EXPECT_EQ(snapshot(copy.prefix()), before);
}

// A portable copy (its data beside the programs) in a folder nobody may write: developer mode
// starts, logs into the user's data folder and ends normally.
TEST(ReadOnlyProgramFolder, DeveloperModeRunsAndLogsIntoTheUsersDataFolder) {
    ProgramFolder folder;
    const QString program = QDir::cleanPath(folder.path("."));
    QTemporaryDir home;
    if (!makeTreeReadOnly(program))
        GTEST_SKIP() << "this machine cannot make the program folder read-only";
    struct Writable {
        QString folder;
        ~Writable() { makeTreeWritable(folder); }
    } writable{program};
    const QMap<QString, QString> before = snapshot(program);

    QProcess* p = folder.startWith({"developMode"}, [&](QProcessEnvironment& env) {
        env.insert("XDG_DATA_HOME", home.path());
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    });
    const QString log = home.filePath("Quorvel/log.txt");
    ASSERT_TRUE(waitUntil([&] { return readText(log).contains(QStringLiteral("主窗口已显示")); }, 30000))
        << readText(log).toStdString() << p->readAllStandardError().toStdString();
    EXPECT_TRUE(readText(log).contains(program)) << "the log names the read-only program folder";
    EXPECT_TRUE(endWithTerminate(p)) << p->readAllStandardError().toStdString();
    EXPECT_TRUE(
        modDataFile::ReadEncryptedFile(home.filePath("Quorvel/Data/User.dat")).contains("<globalinfo"));
    EXPECT_EQ(snapshot(program), before);
}
