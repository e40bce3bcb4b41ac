#include "core/modDataFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include "common/LocalHttpServer.h"
#include "common/TestSupport.h"

// Starts the built program in a program folder of its own and looks at what it leaves there.
namespace {

class ProgramFolder {
public:
    ProgramFolder() {
        const QString build = qvtest::buildDir();
        QDir(dir.path()).mkpath("Data");
        copy(build + "/QV", path("QV"));
        copy(build + "/Data/common.dat", path("Data/common.dat"));
        copy(build + "/Data/icon.dat", path("Data/icon.dat"));
        QFile::setPermissions(path("QV"), QFile::permissions(build + "/QV"));
        // The statistics ping of a normal start goes to this machine, never to the maker's host.
        setHostDomain(QStringLiteral("127.0.0.1:9"));
    }
    QString path(const QString& relative) const { return dir.filePath(relative); }

    // Rewrites the common data with another maker's host for the statistics ping.
    void setHostDomain(const QString& host) {
        QString text = modDataFile::ReadEncryptedFile(path("Data/common.dat"));
        while (text.endsWith(QChar(0)))
            text.chop(1);
        const qsizetype from = text.indexOf("<hostdomain>") + int(strlen("<hostdomain>"));
        const qsizetype to = text.indexOf("</hostdomain>");
        ASSERT_TRUE(from > 20 && to > from);
        text.replace(from, to - from, host);
        modDataFile::WriteEncryptedFile(path("Data/common.dat"), text);
    }

    QProcess* start(const QStringList& args) {
        auto* p = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QV_AUTOANSWER", "1");
        env.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
        env.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
        env.insert("XDG_CONFIG_HOME", path("config"));
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(dir.path());
        p->start(path("QV"), args);
        EXPECT_TRUE(p->waitForStarted(10000));
        processes.emplace_back(p);
        return p;
    }

    ~ProgramFolder() {
        for (auto& p : processes) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }

private:
    static void copy(const QString& from, const QString& to) {
        ASSERT_TRUE(QFile::copy(from, to)) << from.toStdString();
    }
    QTemporaryDir dir;
    std::vector<std::unique_ptr<QProcess>> processes;
};

bool waitFor(const std::function<bool()>& condition, int ms = 30000) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (condition())
            return true;
        QThread::msleep(50);
    }
    return condition();
}

QString logText(const ProgramFolder& folder) {
    QFile f(folder.path("log.txt"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

ino_t inodeOf(const QString& path) {
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

} // namespace

TEST(ProgramStart, FirstStartRefusesASecondInstanceAndSavesOnTerminate) {
    ProgramFolder folder;
    QProcess* first = folder.start({"developMode"});
    ASSERT_TRUE(waitFor([&] { return logText(folder).contains(QStringLiteral("主窗口已显示")); }))
        << "log so far: " << logText(folder).toStdString() << first->readAllStandardError().toStdString();
    const QString log = logText(folder);
    EXPECT_TRUE(log.contains(QStringLiteral("User.dat不存在,第一次启动,新建ID号")));
    EXPECT_TRUE(QFileInfo(folder.path("Cache")).isDir());
    ASSERT_TRUE(QFileInfo::exists(folder.path("Data/User.dat")));
    const ino_t before = inodeOf(folder.path("Data/User.dat"));

    QProcess* second = folder.start({});
    ASSERT_TRUE(second->waitForFinished(20000));
    EXPECT_EQ(second->exitCode(), 1);
    EXPECT_TRUE(
        QString::fromUtf8(second->readAllStandardError()).contains(QStringLiteral("你已经运行了主程序")));
    EXPECT_EQ(first->state(), QProcess::Running) << "the refused start must not disturb the running one";

    ::kill(pid_t(first->processId()), SIGTERM);
    ASSERT_TRUE(first->waitForFinished(20000));
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first->exitCode(), 0);
    // The shutdown saved the user data: the file was replaced by a new one.
    EXPECT_NE(inodeOf(folder.path("Data/User.dat")), before);
    const QString text = modDataFile::ReadEncryptedFile(folder.path("Data/User.dat"));
    EXPECT_TRUE(text.startsWith(QStringLiteral("<data><globalinfo userid=\"\"/>"))) << text.toStdString();

    // The lock went with the process: the next start runs, in normal mode, without a log.
    QFile::remove(folder.path("log.txt"));
    QProcess* third = folder.start({});
    QThread::msleep(1500);
    EXPECT_EQ(third->state(), QProcess::Running) << third->readAllStandardError().toStdString();
    ::kill(pid_t(third->processId()), SIGINT);
    ASSERT_TRUE(third->waitForFinished(20000));
    EXPECT_EQ(third->exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(folder.path("log.txt")));
}

TEST(ProgramStart, UnreadableUserDataIsSetAsideAndTheUserIsTold) {
    ProgramFolder folder;
    qvtest::writeFile(folder.path("Data/User.dat"), "0123 this is not a data file");
    QProcess* p = folder.start({"DevelopMode"});
    ASSERT_TRUE(waitFor([&] { return logText(folder).contains(QStringLiteral("主窗口已显示")); }))
        << p->readAllStandardError().toStdString();
    const QStringList aside = QDir(folder.path("Data")).entryList({"User.dat.unreadable-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(qvtest::readFile(folder.path("Data/" + aside.first())),
              QByteArray("0123 this is not a data file"));
    ::kill(pid_t(p->processId()), SIGTERM);
    ASSERT_TRUE(p->waitForFinished(20000));
    EXPECT_TRUE(QString::fromUtf8(p->readAllStandardError()).contains(aside.first()));
    EXPECT_TRUE(modDataFile::ReadEncryptedFile(folder.path("Data/User.dat")).contains("<globalinfo"));
}

TEST(ProgramStart, CommonDataWithoutAGlobalKeyEndsStartUpWithItsName) {
    ProgramFolder folder;
    QString text = modDataFile::ReadEncryptedFile(folder.path("Data/common.dat"));
    while (text.endsWith(QChar(0)))
        text.chop(1);
    const qsizetype from = text.indexOf("<inquirymsn>");
    const qsizetype to = text.indexOf("</inquirymsn>");
    ASSERT_TRUE(from > 0 && to > from);
    text.remove(from, to + int(strlen("</inquirymsn>")) - from);
    modDataFile::WriteEncryptedFile(folder.path("Data/common.dat"), text);
    QProcess* p = folder.start({});
    ASSERT_TRUE(p->waitForFinished(20000));
    EXPECT_EQ(p->exitCode(), 2);
    const QString err = QString::fromUtf8(p->readAllStandardError());
    EXPECT_TRUE(err.contains("inquirymsn")) << err.toStdString();

    QFile::remove(folder.path("Data/common.dat"));
    QProcess* q = folder.start({});
    ASSERT_TRUE(q->waitForFinished(20000));
    EXPECT_EQ(q->exitCode(), 2);
    EXPECT_TRUE(QString::fromUtf8(q->readAllStandardError()).contains("common.dat"));
}

TEST(ProgramStart, TheFirstStartPingsNewAndTheNextOnesLiveButNotInDeveloperMode) {
    LocalHttpServer server;
    ASSERT_TRUE(server.start());
    server.serve("/QVNewstat.html", "new");
    server.serve("/QVlivingstat.html", "live");
    ProgramFolder folder;
    folder.setHostDomain(QStringLiteral("127.0.0.1:%1").arg(server.port()));

    auto runOnce = [&](const QStringList& args, const QByteArray& page) {
        QProcess* p = folder.start(args);
        const bool pinged = page.isEmpty() || server.waitForRequest(page, 30000);
        if (page.isEmpty())
            waitUntil([&] { return QFileInfo::exists(folder.path("Data/User.dat")); }, 30000);
        ::kill(pid_t(p->processId()), SIGTERM);
        waitUntil([&] { return p->state() == QProcess::NotRunning; }, 20000);
        return pinged;
    };
    EXPECT_TRUE(runOnce({}, "/QVNewstat.html"));
    EXPECT_TRUE(runOnce({}, "/QVlivingstat.html"));
    EXPECT_EQ(server.requestsFor("/QVNewstat.html").size(), 1);
    EXPECT_EQ(server.requestsFor("/QVlivingstat.html").size(), 1);
    for (const auto& r : server.requests())
        EXPECT_TRUE(r.query().isEmpty()) << "nothing about the user is sent: " << r.target.toStdString();

    // Developer mode sends no ping.
    const int before = int(server.requests().size());
    QProcess* dev = folder.start({"developMode"});
    ASSERT_TRUE(waitUntil([&] { return logText(folder).contains(QStringLiteral("主窗口已显示")); }, 30000));
    waitUntil([] { return false; }, 1000);
    EXPECT_EQ(server.requests().size(), before);
    ::kill(pid_t(dev->processId()), SIGTERM);
    waitUntil([&] { return dev->state() == QProcess::NotRunning; }, 20000);
}
