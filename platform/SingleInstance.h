#pragma once
#include <QString>

// One running instance per folder (the program folder, or the user's data folder of a read-only copy).
//
// The instance holds an exclusive lock (flock) on the lock file in the folder for as
// long as it runs; the system drops that lock when the process ends in any way, a crash or a
// kill included. The file also names its holder (process id, program name, host), so that a
// lock file written by other means still counts while the process it names runs that program.
// Whatever else is found at the lock file's path never keeps the program out: an empty file,
// one with garbage in it, one naming a process that has ended or is another program, a folder,
// a FIFO or a link of that name. Files are set aside ("QV.lock.stale-<date-time>"), an empty
// folder is removed.
class SingleInstance {
public:
    enum class Status { Acquired, HeldByAnother, Failed };

    explicit SingleInstance(const QString& folder, const QString& lockName = QStringLiteral("QV.lock"));
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the folder's lock. HeldByAnother when another live instance holds it; Failed when
    // the folder does not allow a lock file (missing, read-only, full), with errorNumber() and
    // errorString() saying why.
    Status acquire();
    // acquire() == Status::Acquired.
    bool tryAcquire() { return acquire() == Status::Acquired; }
    // Gives the lock up and removes the lock file; the destructor does this too.
    void release();
    bool isAcquired() const { return mFd >= 0; }
    QString lockFilePath() const { return mPath; }
    QString folder() const;
    // The system's error number and text of the last Failed acquire.
    int errorNumber() const { return mError; }
    QString errorString() const;

private:
    QString mPath;
    int mFd = -1;
    int mError = 0;
};
