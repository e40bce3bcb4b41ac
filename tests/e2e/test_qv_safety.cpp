#include "core/clsUserData.h"
#include "core/modDataFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <iostream>
#include <signal.h>
#include <sys/stat.h>

#include "ProgramFolder.h"
#include "common/TestSupport.h"

// The real program against hostile files, signals and a vanishing display.
namespace {

bool waitFor(const std::function<bool()>& condition, int ms = 30000) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (condition())
            return true;
        QThread::msleep(20);
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

QStringList setAside(const ProgramFolder& folder) {
    return QDir(folder.path("Data")).entryList({"User.dat.unreadable-*"}, QDir::AllEntries | QDir::System);
}

// Whether the process `pid` has started the web engine's own process (its first page is on its way).
bool engineProcessStarted(qint64 pid) {
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ..."; the name may hold blanks, so the fields after it are counted.
        const QByteArray text = stat.readAll();
        const int close = text.lastIndexOf(')');
        const QList<QByteArray> after = text.mid(close + 2).split(' ');
        if (text.contains("(QtWebEngineProc") && after.size() > 1 && after[1].toLongLong() == pid)
            return true;
    }
    return false;
}

bool mainWindowShown(const ProgramFolder& folder) {
    return logText(folder).contains(QStringLiteral("主窗口已显示"));
}

// Ends a running QV with `signal` and expects the normal end.
void endWith(QProcess* p, int signal) {
    ::kill(pid_t(p->processId()), signal);
    ASSERT_TRUE(p->waitForFinished(20000)) << "signal " << signal << " did not end the program";
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit) << "signal " << signal;
    EXPECT_EQ(p->exitCode(), 0) << "signal " << signal;
}

} // namespace

TEST(HostileDataFiles, EntityExpansionIsSetAsideOrEndsTheStartWithinTwoSeconds) {
    {
        ProgramFolder folder;
        modDataFile::WriteEncryptedFile(folder.path("Data/User.dat"), qvtest::entityExpansionDocument());
        QElapsedTimer sinceStart;
        sinceStart.start();
        QProcess* p = folder.start({"developMode"});
        ASSERT_TRUE(waitFor([&] { return !setAside(folder).isEmpty(); }, 20000))
            << p->readAllStandardError().toStdString();
        const qint64 elapsed = sinceStart.elapsed();
        EXPECT_LT(elapsed, 2000) << "the hostile User.dat was set aside after " << elapsed << " ms";
        EXPECT_LT(qvtest::processMemoryMiB(p->processId(), "VmHWM"), 200);
        ASSERT_TRUE(waitFor([&] { return mainWindowShown(folder); }));
        endWith(p, SIGTERM);
        EXPECT_TRUE(QString::fromUtf8(p->readAllStandardError()).contains("DOCTYPE"));
        EXPECT_TRUE(modDataFile::ReadEncryptedFile(folder.path("Data/User.dat")).contains("<globalinfo"));
    }
    {
        ProgramFolder folder;
        modDataFile::WriteEncryptedFile(folder.path("Data/common.dat"), qvtest::entityExpansionDocument());
        QElapsedTimer sinceStart;
        sinceStart.start();
        QProcess* p = folder.start({});
        ASSERT_TRUE(p->waitForFinished(20000));
        EXPECT_LT(sinceStart.elapsed(), 2000);
        EXPECT_EQ(p->exitCode(), 2);
        const QString err = QString::fromUtf8(p->readAllStandardError());
        EXPECT_TRUE(err.contains("common.dat") && err.contains("DOCTYPE")) << err.toStdString();
    }
}

TEST(HostileDataFiles, AFifoOrAHugeSparseUserDataIsSetAsideUnread) {
    {
        ProgramFolder folder;
        ASSERT_EQ(::mkfifo(QFile::encodeName(folder.path("Data/User.dat")).constData(), 0600), 0);
        QProcess* p = folder.start({"developMode"});
        ASSERT_TRUE(waitFor([&] { return mainWindowShown(folder); }))
            << p->readAllStandardError().toStdString();
        const QStringList aside = setAside(folder);
        ASSERT_EQ(aside.size(), 1);
        struct stat st = {};
        ASSERT_EQ(::lstat(QFile::encodeName(folder.path("Data/" + aside[0])).constData(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode));
        endWith(p, SIGTERM);
    }
    {
        ProgramFolder folder;
        QFile sparse(folder.path("Data/User.dat"));
        ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
        ASSERT_TRUE(sparse.resize(qint64(3) << 30));
        sparse.close();
        QProcess* p = folder.start({"developMode"});
        ASSERT_TRUE(waitFor([&] { return !setAside(folder).isEmpty(); }, 20000));
        EXPECT_LT(qvtest::processMemoryMiB(p->processId(), "VmHWM"), 200);
        ASSERT_TRUE(waitFor([&] { return mainWindowShown(folder); }));
        endWith(p, SIGTERM);
    }
}

TEST(Signals, HangupAndQuitSaveAndEndLikeTerminate) {
    ProgramFolder folder;
    for (int signal : {SIGHUP, SIGQUIT}) {
        QFile::remove(folder.path("log.txt"));
        QProcess* p = folder.start({"developMode"});
        ASSERT_TRUE(waitFor([&] { return mainWindowShown(folder); }))
            << p->readAllStandardError().toStdString();
        const ino_t before = inodeOf(folder.path("Data/User.dat"));
        endWith(p, signal);
        EXPECT_NE(inodeOf(folder.path("Data/User.dat")), before) << "signal " << signal << " saved nothing";
        EXPECT_TRUE(modDataFile::ReadEncryptedFile(folder.path("Data/User.dat")).contains("<globalinfo"));
        EXPECT_FALSE(QFileInfo::exists(folder.path("QV.lock")));
    }
}

TEST(Signals, TerminateWhileTheUnreadableMessageIsShownEndsTheStart) {
    ProgramFolder folder;
    qvtest::writeFile(folder.path("Data/User.dat"), "not a data file");
    // Without QV_AUTOANSWER the message is a real modal box (on the offscreen screen).
    QProcess* p =
        folder.startWith({"developMode"}, [](QProcessEnvironment& env) { env.remove("QV_AUTOANSWER"); });
    ASSERT_TRUE(waitFor([&] { return !setAside(folder).isEmpty(); }, 20000));
    QThread::msleep(300);
    endWith(p, SIGTERM);
    EXPECT_FALSE(mainWindowShown(folder)) << "the start went on after the signal";
    EXPECT_TRUE(modDataFile::ReadEncryptedFile(folder.path("Data/User.dat")).contains("<globalinfo"));
}

TEST(Faults, AFailingDiskSyncKeepsTheOldFileAndIsReportedNotFatal) {
    auto failingSync = [](QProcessEnvironment& env) {
        env.insert("LD_PRELOAD", qvtest::buildDir() + "/tests/qv_fail_sync.so");
        env.insert("QV_FAIL_SYNC_ERRNO", QString::number(ENOSPC));
    };
    ProgramFolder folder;
    // The exit save cannot reach the disk: the old file stays, and the user is warned.
    modDataFile::WriteEncryptedFile(folder.path("Data/User.dat"), "<data><globalinfo userid=\"42\"/></data>");
    const QByteArray before = qvtest::readFile(folder.path("Data/User.dat"));
    QProcess* p = folder.startWith({"developMode"}, failingSync);
    ASSERT_TRUE(waitFor([&] { return mainWindowShown(folder); })) << p->readAllStandardError().toStdString();
    endWith(p, SIGTERM);
    QString err = QString::fromUtf8(p->readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("QV message: 用户数据无法保存到 ")) &&
                err.contains(strerror(ENOSPC)))
        << err.toStdString();
    EXPECT_EQ(qvtest::readFile(folder.path("Data/User.dat")), before);
    EXPECT_EQ(QDir(folder.path("Data")).entryList({"User.dat*"}), QStringList{"User.dat"});

    // Right after an unreadable file was set aside the fresh one cannot be written either: the
    // user is told and the program goes on.
    qvtest::writeFile(folder.path("Data/User.dat"), "not a data file");
    QFile::remove(folder.path("log.txt"));
    p = folder.startWith({"developMode"}, failingSync);
    ASSERT_TRUE(waitFor([&] { return mainWindowShown(folder) || p->state() == QProcess::NotRunning; }));
    ASSERT_TRUE(mainWindowShown(folder)) << p->readAllStandardError().toStdString();
    endWith(p, SIGTERM);
    err = QString::fromUtf8(p->readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("新的用户数据文件现在无法写入"))) << err.toStdString();
    EXPECT_EQ(setAside(folder).size(), 1);
}

TEST(Lock, LeftoverLockFilesDoNotKeepTheProgramOut) {
    ProgramFolder folder;
    for (const char* kind : {"empty", "folder"}) {
        if (QByteArray(kind) == "empty")
            qvtest::writeFile(folder.path("QV.lock"), QByteArray());
        else
            QDir().mkpath(folder.path("QV.lock/x"));
        QFile::remove(folder.path("log.txt"));
        QProcess* p = folder.start({"developMode"});
        ASSERT_TRUE(waitFor([&] { return mainWindowShown(folder) || p->state() == QProcess::NotRunning; }));
        EXPECT_TRUE(mainWindowShown(folder)) << kind << ": " << p->readAllStandardError().toStdString();
        endWith(p, SIGTERM);
    }
}

TEST(DisplayLoss, ChangesSurviveTheXServerGoingAway) {
    const QString xvfb = QStandardPaths::findExecutable("Xvfb");
    if (xvfb.isEmpty())
        GTEST_SKIP() << "Xvfb is not installed";
    ProgramFolder folder;
    const QString display = QStringLiteral(":%1").arg(90 + QRandomGenerator::global()->bounded(400));
    QProcess server;
    server.start(xvfb, {display, "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
    ASSERT_TRUE(server.waitForStarted(10000));
    const QString socket = "/tmp/.X11-unix/X" + display.mid(1);
    ASSERT_TRUE(waitFor([&] { return QFileInfo::exists(socket); }, 10000)) << "Xvfb did not come up";

    // A first start: the first browser window adds the session's sections to the user data
    // before its page starts the engine's process, and the timed save writes them SaveDelayMs
    // later. The display goes away in between, while the engine is still starting.
    QProcess* p = folder.startWith({"developMode", "OnlineUpdateOFF"}, [&](QProcessEnvironment& env) {
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("DISPLAY", display);
    });
    ASSERT_TRUE(waitFor([&] { return mainWindowShown(folder) || p->state() == QProcess::NotRunning; }));
    ASSERT_TRUE(mainWindowShown(folder)) << p->readAllStandardError().toStdString();
    ASSERT_TRUE(waitFor([&] { return engineProcessStarted(p->processId()); }))
        << p->readAllStandardError().toStdString();
    server.kill();
    server.waitForFinished(5000);
    ASSERT_TRUE(p->waitForFinished(20000));
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit) << "the lost display must not crash the program";
    const QString saved = modDataFile::ReadEncryptedFile(folder.path("Data/User.dat"));
    EXPECT_TRUE(saved.contains("<actstatus>")) << "the session's changes were lost: " << saved.toStdString();
    // Which of the two wrote them: the exit (no docking layout, the windows were not asked) or
    // the timed save just before.
    std::cout << "[  NOTE    ] the session was saved by "
              << (saved.contains("<dockinglayout>") ? "the timed save" : "the exit") << ", exit status "
              << p->exitCode() << "\n";
}

TEST(CrashSafety, KillDuringSavesNeverLosesACommittedChange) {
    QTemporaryDir dir;
    const QString file = dir.filePath("User.dat");
    // About 3 MB on disk.
    QString notes;
    int noteCount = 0;
    for (; notes.size() < 500'000; ++noteCount)
        notes +=
            QStringLiteral("<note id=\"%1\">便笺 %1：明天上午十点开会，请带上报告。</note>").arg(noteCount);
    modDataFile::WriteEncryptedFile(file, "<data><globalinfo userid=\"1\"/><postnotes>" + notes +
                                              "</postnotes></data>");
    ASSERT_GT(QFileInfo(file).size(), 2'000'000);

    QElapsedTimer total;
    total.start();
    int committed = 0;
    int keptAside = 0;
    for (int trial = 0; trial < 50; ++trial) {
        QProcess driver;
        driver.start(qvtest::buildDir() + "/tests/qv_test_driver", {"save-loop", file});
        ASSERT_TRUE(driver.waitForStarted(10000));
        // Let at least one save through, then kill at a random moment of the following ones.
        ASSERT_TRUE(driver.waitForReadyRead(20000)) << driver.readAllStandardError().toStdString();
        QThread::usleep(QRandomGenerator::global()->bounded(60'000));
        ::kill(pid_t(driver.processId()), SIGKILL);
        ASSERT_TRUE(driver.waitForFinished(10000));
        const QList<QByteArray> lines = driver.readAllStandardOutput().trimmed().split('\n');
        const int lastCommitted = lines.last().toInt();
        ASSERT_GT(lastCommitted, committed);
        committed = lastCommitted;

        // The file holds the last committed save, or the one after it that was under way.
        clsUserData user(file, nullptr);
        ASSERT_TRUE(user.LoadError().isEmpty())
            << "trial " << trial << ": " << user.LoadError().toStdString();
        const int onDisk = user.XMLNode.selectSingleNode("counter/@n").text().toInt();
        ASSERT_TRUE(onDisk == committed || onDisk == committed + 1) << onDisk << " vs " << committed;
        committed = onDisk;
        ASSERT_EQ(user.XMLNode.selectNodes("postnotes/note").length(), noteCount);

        // What the next start finds beside the file: only a complete, newer save is kept.
        for (const QString& kept : clsUserData::RecoverInterruptedSaves(file)) {
            ++keptAside;
            clsUserData unsaved(kept, nullptr);
            EXPECT_EQ(unsaved.XMLNode.selectSingleNode("counter/@n").text().toInt(), committed + 1);
            QFile::remove(kept);
        }
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"User.dat"});
    }
    std::cout << "[  NOTE    ] " << keptAside << " of 50 kills left a complete unsaved file, "
              << total.elapsed() << " ms in all\n";
    EXPECT_LT(total.elapsed(), 60000);
}
