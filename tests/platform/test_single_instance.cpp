#include "platform/SingleInstance.h"

#include "TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

namespace {

// The lock file a process of `pid` running `appName` would leave behind, built from a real lock
// file so its other lines (host, machine) are the ones Qt checks.
QByteArray lockFileOf(const QString& folder, qint64 pid, const QString& appName) {
    const QString probe = folder + "/probe.lock";
    QLockFile lock(probe);
    EXPECT_TRUE(lock.tryLock(0));
    QList<QByteArray> lines = qvtest::readFile(probe).split('\n');
    lock.unlock();
    lines[0] = QByteArray::number(pid);
    lines[1] = appName.toUtf8();
    return lines.join('\n');
}

void makeOld(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        f.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
}

TEST(SingleInstance, SecondInstanceInTheSameFolderIsRefused) {
    QTemporaryDir dir;
    SingleInstance first(dir.path());
    ASSERT_TRUE(first.tryAcquire());
    EXPECT_TRUE(QFileInfo::exists(dir.path() + "/QV.lock"));

    SingleInstance second(dir.path());
    EXPECT_FALSE(second.tryAcquire());
    EXPECT_FALSE(second.isAcquired());
}

TEST(SingleInstance, AnotherFolderHasItsOwnInstance) {
    QTemporaryDir a;
    QTemporaryDir b;
    SingleInstance first(a.path());
    SingleInstance second(b.path());
    EXPECT_TRUE(first.tryAcquire());
    EXPECT_TRUE(second.tryAcquire());
}

TEST(SingleInstance, ReleasedLockLetsTheNextInstanceIn) {
    QTemporaryDir dir;
    {
        SingleInstance first(dir.path());
        ASSERT_TRUE(first.tryAcquire());
    }
    SingleInstance next(dir.path());
    EXPECT_TRUE(next.tryAcquire());

    next.release();
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/QV.lock"));
    SingleInstance after(dir.path());
    EXPECT_TRUE(after.tryAcquire());
}

TEST(SingleInstance, StaleLockOfADeadProcessDoesNotBlock) {
    QTemporaryDir dir;
    // A process that has ended; its pid is taken while it runs.
    QProcess ended;
    ended.start("sh", {"-c", "read line"});
    ASSERT_TRUE(ended.waitForStarted(5000));
    const qint64 pid = ended.processId();
    ended.closeWriteChannel();
    ASSERT_TRUE(ended.waitForFinished(5000));

    qvtest::writeFile(dir.path() + "/QV.lock", lockFileOf(dir.path(), pid, "QV"));
    SingleInstance next(dir.path());
    EXPECT_TRUE(next.tryAcquire());
}

TEST(SingleInstance, OldLockOfALiveProcessStillBlocks) {
    QTemporaryDir dir;
    QProcess sleeper;
    sleeper.start("sleep", {"30"});
    ASSERT_TRUE(sleeper.waitForStarted(5000));

    // The first instance has been running for an hour.
    const QString lockPath = dir.path() + "/QV.lock";
    qvtest::writeFile(lockPath, lockFileOf(dir.path(), sleeper.processId(), "sleep"));
    makeOld(lockPath);

    SingleInstance second(dir.path());
    EXPECT_FALSE(second.tryAcquire());

    sleeper.kill();
    sleeper.waitForFinished(5000);
    EXPECT_TRUE(second.tryAcquire());
}

TEST(SingleInstance, FolderThatDoesNotExistRefuses) {
    QTemporaryDir dir;
    SingleInstance instance(dir.path() + "/missing/folder");
    EXPECT_FALSE(instance.tryAcquire());
}

// The driver program that holds a lock from another process.
QProcess* startLockHolder(const QString& folder, QObject* owner) {
    auto* p = new QProcess(owner);
    p->start(qvtest::buildDir() + "/tests/qv_test_driver", {"lock", folder});
    return p;
}

QByteArray firstLine(QProcess* p) {
    if (!p->canReadLine())
        p->waitForReadyRead(10000);
    return p->readLine().trimmed();
}

TEST(SingleInstance, LeftoversAtTheLockPathNeverKeepTheUserOut) {
    QTemporaryDir dir;
    const QString lock = dir.path() + "/QV.lock";
    auto acquireAndRelease = [&](const char* what) {
        SingleInstance instance(dir.path());
        EXPECT_EQ(instance.acquire(), SingleInstance::Status::Acquired) << what;
        EXPECT_TRUE(QFileInfo(lock).isFile() && !QFileInfo(lock).isSymLink()) << what;
        SingleInstance second(dir.path());
        EXPECT_EQ(second.acquire(), SingleInstance::Status::HeldByAnother) << what;
    };

    // A power cut can leave an empty file or a half-written one.
    qvtest::writeFile(lock, QByteArray());
    acquireAndRelease("empty");
    qvtest::writeFile(lock, "\x01\x02garbage\n\nmore");
    acquireAndRelease("garbage");
    qvtest::writeFile(lock, "-5\nQV\n");
    acquireAndRelease("negative pid");

    // A process id that now belongs to another program.
    QProcess sleeper;
    sleeper.start("sleep", {"30"});
    ASSERT_TRUE(sleeper.waitForStarted(5000));
    qvtest::writeFile(lock, lockFileOf(dir.path(), sleeper.processId(), "QV"));
    acquireAndRelease("pid of another program");
    sleeper.kill();
    sleeper.waitForFinished(5000);

    // Things that are no file: an empty folder is removed, anything else is set aside whole.
    ASSERT_TRUE(QDir().mkpath(lock));
    acquireAndRelease("empty folder");
    ASSERT_TRUE(QDir().mkpath(lock + "/inside"));
    acquireAndRelease("folder");
    ASSERT_EQ(::mkfifo(QFile::encodeName(lock).constData(), 0600), 0);
    acquireAndRelease("FIFO");
    qvtest::writeFile(dir.path() + "/elsewhere", "keep me");
    ASSERT_TRUE(QFile::link(dir.path() + "/elsewhere", lock));
    acquireAndRelease("link");
    EXPECT_EQ(qvtest::readFile(dir.path() + "/elsewhere"), QByteArray("keep me"));

    const QStringList aside =
        QDir(dir.path()).entryList({"QV.lock.stale-*"}, QDir::AllEntries | QDir::System);
    EXPECT_EQ(aside.size(), 3) << aside.join(' ').toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList({"QV.lock.stale-*"}, QDir::Dirs).size(), 1);
}

TEST(SingleInstance, TheKernelLockOfALiveHolderCountsAndDiesWithIt) {
    QTemporaryDir dir;
    QObject owner;
    // Held by another tool: the file is empty, but the lock on it is real.
    QProcess tool;
    // One process that opens the file, locks it and then becomes `sleep`, keeping the lock.
    tool.start("sh",
               {"-c", "exec 9>\"$0\"; flock -x 9; echo locked; exec sleep 30", dir.path() + "/QV.lock"});
    ASSERT_TRUE(tool.waitForReadyRead(10000));
    SingleInstance instance(dir.path());
    EXPECT_EQ(instance.acquire(), SingleInstance::Status::HeldByAnother);
    tool.kill();
    tool.waitForFinished(5000);

    // An instance killed without a chance to clean up leaves its file, naming itself.
    QProcess* holder = startLockHolder(dir.path(), &owner);
    ASSERT_EQ(firstLine(holder), "acquired");
    EXPECT_EQ(instance.acquire(), SingleInstance::Status::HeldByAnother);
    ::kill(pid_t(holder->processId()), SIGKILL);
    ASSERT_TRUE(holder->waitForFinished(5000));
    ASSERT_TRUE(QFileInfo::exists(dir.path() + "/QV.lock"));
    EXPECT_EQ(instance.acquire(), SingleInstance::Status::Acquired);
}

TEST(SingleInstance, SimultaneousStartsLetExactlyOneIn) {
    QTemporaryDir dir;
    for (int round = 0; round < 10; ++round) {
        QObject owner;
        std::vector<QProcess*> starts;
        for (int i = 0; i < 3; ++i)
            starts.push_back(startLockHolder(dir.path(), &owner));
        int acquired = 0;
        for (QProcess* p : starts) {
            const QByteArray status = firstLine(p);
            EXPECT_TRUE(status == "acquired" || status == "held") << status.constData();
            acquired += status == "acquired";
        }
        EXPECT_EQ(acquired, 1) << "round " << round;
        for (QProcess* p : starts) {
            p->closeWriteChannel();
            p->waitForFinished(5000);
        }
    }
}

TEST(SingleInstance, AFolderThatRefusesTheLockFileIsAFailureNotAnotherInstance) {
    QTemporaryDir dir;
    SingleInstance missing(dir.path() + "/missing");
    EXPECT_EQ(missing.acquire(), SingleInstance::Status::Failed);
    EXPECT_EQ(missing.errorNumber(), ENOENT);
    EXPECT_FALSE(missing.errorString().isEmpty());

    qvtest::writeFile(dir.path() + "/file", "x");
    SingleInstance notAFolder(dir.path() + "/file");
    EXPECT_EQ(notAFolder.acquire(), SingleInstance::Status::Failed);
    EXPECT_EQ(notAFolder.errorNumber(), ENOTDIR);
    EXPECT_EQ(notAFolder.folder(), dir.path() + "/file");
}

} // namespace
