#include "core/modDataFile.h"

#include <QDirIterator>
#include <QImage>
#include <QMap>
#include <QSettings>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include "ProgramFolder.h"
#include "common/LocalHttpServer.h"

// The build installed with `cmake --install` into a staging folder (DESTDIR), as a package puts
// it on the system, and run from there by users who cannot write to it.
namespace {

// Runs a program to its end: its exit status, or -1. Its output goes to `output`.
int run(const QString& program, const QStringList& args, QString* output = nullptr,
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool ended = p.waitForFinished(120000);
    if (output)
        *output = QString::fromUtf8(p.readAll());
    return ended && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QString readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

class InstalledCopy {
public:
    bool install(QString* output) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DESTDIR", stage.path());
        return run(qEnvironmentVariable("QV_CMAKE_COMMAND", "cmake"),
                   {"--install", qvtest::buildDir(), "--prefix", "/usr"}, output, env) == 0;
    }
    QString path(const QString& relative) const { return stage.filePath("usr/" + relative); }

    // Root is not stopped by the mode bits, so for root the tree becomes immutable instead.
    bool setReadOnly(bool readOnly) {
        const bool root = ::geteuid() == 0;
        const QString mode = root ? (readOnly ? "+i" : "-i") : (readOnly ? "a-w" : "u+w");
        const bool changed = run(root ? "chattr" : "chmod", {"-R", mode, path("")}) == 0;
        mReadOnly = readOnly && changed;
        if (mReadOnly && QFile(path("bin/probe")).open(QIODevice::WriteOnly)) {
            setReadOnly(false); // writes still go through here
            return false;
        }
        return changed;
    }

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
        p->start(path("bin/QV"), args);
        processes.emplace_back(p);
        return p;
    }

    ~InstalledCopy() {
        for (auto& p : processes) {
            p->kill();
            p->waitForFinished(5000);
        }
        if (mReadOnly)
            setReadOnly(false);
    }

    QTemporaryDir stage;

private:
    bool mReadOnly = false;
    std::vector<std::unique_ptr<QProcess>> processes;
};

// Every file and folder below `root` with its size and modification time.
QMap<QString, QString> snapshot(const QString& root) {
    QMap<QString, QString> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        entries.insert(info.filePath(),
                       QString::number(info.size()) + " " + info.lastModified().toString(Qt::ISODateWithMs));
    }
    return entries;
}

bool endWithTerminate(QProcess* p) {
    ::kill(pid_t(p->processId()), SIGTERM);
    return p->waitForFinished(20000) && p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0;
}

} // namespace

TEST(InstalledCopy, DesktopEntryAndMetainfoPassTheirValidatorsAndNameTheInstalledIcon) {
    InstalledCopy copy;
    QString output;
    ASSERT_TRUE(copy.install(&output)) << output.toStdString();
    const QString desktop = copy.path("share/applications/cn.quorvel.Quorvel.desktop");
    EXPECT_EQ(run("desktop-file-validate", {desktop}, &output), 0) << output.toStdString();
    EXPECT_EQ(run("appstreamcli",
                  {"validate", "--no-net", copy.path("share/metainfo/cn.quorvel.Quorvel.metainfo.xml")},
                  &output),
              0)
        << output.toStdString();
    QSettings entry(desktop, QSettings::IniFormat);
    EXPECT_TRUE(QFileInfo(copy.path("bin/" + entry.value("Desktop Entry/Exec").toString())).isExecutable());
    for (int size : {16, 22, 24, 32, 48, 64, 128}) {
        const QString icon = copy.path(QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png")
                                           .arg(size)
                                           .arg(entry.value("Desktop Entry/Icon").toString()));
        EXPECT_EQ(QImage(icon).size(), QSize(size, size)) << icon.toStdString();
    }
}

// Two users run one read-only installed copy at once, each with a data folder of their own made
// at the first start; the first is in developer mode, which logs there too. The automatic update
// check fetches nothing, and nothing below the installed prefix changes.
TEST(InstalledCopy, TwoUsersRunOneReadOnlyCopyEachWithTheirOwnDataFolder) {
    LocalHttpServer server;
    ASSERT_TRUE(server.start());
    server.serve("/QVNewstat.html", "new");
    InstalledCopy copy;
    QString output;
    ASSERT_TRUE(copy.install(&output)) << output.toStdString();
    const QString common = copy.path("share/quorvel/common.dat");
    SetCommonGlobal(common, "hostdomain", QStringLiteral("127.0.0.1:%1").arg(server.port()));
    SetCommonGlobal(common, "urlgetuserid", "http://127.0.0.1:9/id");
    SetCommonGlobal(common, "urlonlineupdatelist", server.url("/filelist.xml"));
    if (!copy.setReadOnly(true))
        GTEST_SKIP() << "this machine cannot make the installed files read-only";
    const QMap<QString, QString> before = snapshot(copy.path(""));

    const QString alice = copy.stage.filePath("alice"), bob = copy.stage.filePath("bob");
    QProcess* first = copy.start({"developMode"}, alice);
    const QString log = alice + "/Quorvel/log.txt";
    ASSERT_TRUE(waitUntil([&] { return readText(log).contains(QStringLiteral("在线更新跳过")); }, 30000))
        << readText(log).toStdString() << first->readAllStandardError().toStdString();
    QProcess* second = copy.start({}, bob);
    ASSERT_TRUE(server.waitForRequest("/QVNewstat.html", 30000))
        << second->readAllStandardError().toStdString();

    // One instance per user: the first user's second start is refused.
    QProcess* again = copy.start({}, alice);
    ASSERT_TRUE(again->waitForFinished(20000));
    EXPECT_EQ(again->exitCode(), 1);
    EXPECT_TRUE(endWithTerminate(first)) << first->readAllStandardError().toStdString();
    EXPECT_TRUE(endWithTerminate(second)) << second->readAllStandardError().toStdString();

    for (const QString& user : {alice, bob}) {
        const QString text = modDataFile::ReadEncryptedFile(user + "/Quorvel/Data/User.dat");
        EXPECT_TRUE(text.startsWith(QStringLiteral("<data><globalinfo userid=\"\"/>"))) << text.toStdString();
        EXPECT_TRUE(QFileInfo(user + "/Quorvel/Cache").isDir());
    }
    EXPECT_TRUE(readText(log).contains(QStringLiteral("主窗口已显示")));
    EXPECT_FALSE(QFileInfo::exists(bob + "/Quorvel/log.txt"));
    EXPECT_TRUE(server.requestsFor("/filelist.xml").isEmpty());
    EXPECT_EQ(snapshot(copy.path("")), before);
}
