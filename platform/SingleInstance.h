#pragma once
#include <QString>
#include <memory>

class QLockFile;

// One running instance per program folder.
//
// The instance holds a lock file in the program folder for as long as it runs. A lock left
// behind by a process that has died (a crash, a kill) does not block the next start; a lock
// held by a live process refuses a second instance however long that process has been running.
class SingleInstance {
public:
    explicit SingleInstance(const QString& folder, const QString& lockName = QStringLiteral("QV.lock"));
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the folder's lock. False when another live instance holds it (or the folder does
    // not allow a lock file), true when this instance is now the only one.
    bool tryAcquire();
    // Gives the lock up; the destructor does this too.
    void release();
    bool isAcquired() const;
    QString lockFilePath() const;

private:
    QString mPath;
    std::unique_ptr<QLockFile> mLock;
};
