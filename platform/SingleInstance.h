#pragma once
#include <QString>
#include <memory>

class QLockFile;

// One running instance per program folder.
//
// The instance holds a lock file in the program folder for as long as it runs. A lock left
// behind by a process that has died (a crash, a kill) does not block the next start; a lock
// held by a live process refuses a second instance however long that process has been running.
// A program folder that cannot take a lock file (installed read-only) is locked through a file
// in the user's runtime folder named after the folder instead.
class SingleInstance {
public:
    explicit SingleInstance(const QString& folder, const QString& lockName = QStringLiteral("QV.lock"));
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the folder's lock. False when another live instance holds it (or the folder does
    // not exist), true when this instance is now the only one.
    bool tryAcquire();
    // Gives the lock up; the destructor does this too.
    void release();
    bool isAcquired() const;
    // The lock file held (the folder's own one while none is held).
    QString lockFilePath() const;

private:
    QString mFolder;
    QString mLockName;
    QString mPath;
    QString mHeldPath;
    std::unique_ptr<QLockFile> mLock;
};
