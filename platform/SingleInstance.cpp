#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

namespace {

std::unique_ptr<QLockFile> takeLock(const QString& path, QLockFile::LockError* error) {
    auto lock = std::make_unique<QLockFile>(path);
    // Staleness is judged by the holder's process only. QLockFile's default also calls a lock
    // stale after 30 seconds, which would let a second instance in beside a long-running one.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return lock;
    *error = lock->error();
    return nullptr;
}

// The lock of a program folder that does not take one of its own (installed read-only): a file
// in the user's runtime folder named after the folder's path, so it still means "this folder".
QString runtimeLockPath(const QString& folder, const QString& lockName) {
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    const QByteArray key =
        QCryptographicHash::hash(QFileInfo(folder).canonicalFilePath().toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return runtime + QStringLiteral("/quorvel-") + QString::fromLatin1(key) + QLatin1Char('-') + lockName;
}

} // namespace

SingleInstance::SingleInstance(const QString& folder, const QString& lockName)
    : mFolder(folder), mLockName(lockName), mPath(QDir(folder).absoluteFilePath(lockName)) {}

SingleInstance::~SingleInstance() {
    release();
}

bool SingleInstance::tryAcquire() {
    if (isAcquired())
        return true;
    QLockFile::LockError error = QLockFile::NoError;
    mLock = takeLock(mPath, &error);
    mHeldPath = mPath;
    if (!mLock && error != QLockFile::LockFailedError && QFileInfo(mFolder).isDir()) {
        mHeldPath = runtimeLockPath(mFolder, mLockName);
        mLock = takeLock(mHeldPath, &error);
    }
    return mLock != nullptr;
}

void SingleInstance::release() {
    if (mLock) {
        mLock->unlock();
        mLock.reset();
    }
}

bool SingleInstance::isAcquired() const {
    return mLock && mLock->isLocked();
}

QString SingleInstance::lockFilePath() const {
    return mLock ? mHeldPath : mPath;
}
