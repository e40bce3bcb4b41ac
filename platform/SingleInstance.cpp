#include "platform/SingleInstance.h"

#include <QDir>
#include <QLockFile>

SingleInstance::SingleInstance(const QString& folder, const QString& lockName)
    : mPath(QDir(folder).absoluteFilePath(lockName)) {}

SingleInstance::~SingleInstance() {
    release();
}

bool SingleInstance::tryAcquire() {
    if (isAcquired())
        return true;
    auto lock = std::make_unique<QLockFile>(mPath);
    // Staleness is judged by the holder's process only. QLockFile's default also calls a lock
    // stale after 30 seconds, which would let a second instance in beside a long-running one.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return false;
    mLock = std::move(lock);
    return true;
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
    return mPath;
}
