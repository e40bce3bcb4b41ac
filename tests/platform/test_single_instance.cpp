#include "platform/SingleInstance.h"

#include "TestSupport.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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

} // namespace
