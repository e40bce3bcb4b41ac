#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSysInfo>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The fourth line of the lock files this class writes: their holder is known by the flock alone.
const QByteArray kFlockMark = QByteArrayLiteral("flock");

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// The program a process runs, by the name of its executable; empty when it cannot be told.
QString programOf(qint64 pid) {
    const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
    QString name = QFileInfo(exe).fileName();
    if (name.endsWith(QLatin1String(" (deleted)")))
        name.chop(10);
    return name;
}

QString ownProgram() {
    const QString name = programOf(QCoreApplication::applicationPid());
    return name.isEmpty() ? QFileInfo(QCoreApplication::applicationFilePath()).fileName() : name;
}

// The holder named by the lock file's first lines (pid, program, host) is alive: the process
// runs on this machine and runs the program that wrote the lock. Unreadable contents, a process
// that has ended and a process id now used by another program all mean: nobody.
bool namedHolderIsAlive(int fd) {
    QByteArray contents(4096, '\0');
    const ssize_t n = ::pread(fd, contents.data(), size_t(contents.size()), 0);
    if (n <= 0)
        return false;
    contents.truncate(n);
    const QList<QByteArray> lines = contents.split('\n');
    // Written by an instance that held the flock, which is now free: that instance has ended,
    // even if its process id has been given to another process since.
    if (lines.value(3).trimmed() == kFlockMark)
        return false;
    bool ok = false;
    const qint64 pid = lines.value(0).trimmed().toLongLong(&ok);
    if (!ok || pid <= 0 || pid == QCoreApplication::applicationPid() ||
        pid > std::numeric_limits<pid_t>::max())
        return false;
    const QByteArray host = lines.value(2).trimmed();
    if (!host.isEmpty() && host != QSysInfo::machineHostName().toUtf8())
        return true; // another machine's process cannot be looked at from here: respect it
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
        return false;
    const QString program = programOf(pid);
    const QString recorded = QFileInfo(QString::fromUtf8(lines.value(1).trimmed())).fileName();
    // A process that cannot be looked into (another user's) counts as the one named.
    return program.isEmpty() || program == recorded;
}

// Clears the lock file's path of something that is not a regular file.
void setAside(const QString& path) {
    const QByteArray p = native(path);
    if (::rmdir(p.constData()) == 0)
        return;
    const QString stamp = path + QStringLiteral(".stale-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmsszzz"));
    // Never onto something set aside before: rename would replace a file of that name.
    QString aside = stamp;
    struct stat st = {};
    for (int n = 2; ::lstat(native(aside).constData(), &st) == 0; ++n)
        aside = stamp + QLatin1Char('-') + QString::number(n);
    ::rename(p.constData(), native(aside).constData());
}

} // namespace

SingleInstance::SingleInstance(const QString& folder, const QString& lockName)
    : mPath(QDir(folder).absoluteFilePath(lockName)) {}

SingleInstance::~SingleInstance() {
    release();
}

QString SingleInstance::folder() const {
    return QFileInfo(mPath).absolutePath();
}

QString SingleInstance::errorString() const {
    return mError ? QString::fromLocal8Bit(std::strerror(mError)) : QString();
}

SingleInstance::Status SingleInstance::acquire() {
    if (isAcquired())
        return Status::Acquired;
    mError = 0;
    const QByteArray path = native(mPath);
    // A few rounds: another start may be setting aside or removing the same path meanwhile.
    for (int round = 0; round < 8; ++round) {
        // O_NOFOLLOW: a link of that name is no lock file; O_NONBLOCK: a FIFO does not hang.
        const int fd =
            ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0644);
        if (fd < 0) {
            const int error = errno;
            if (error == EISDIR || error == ELOOP || error == ENXIO || error == EOPNOTSUPP) {
                setAside(mPath);
                continue;
            }
            mError = error;
            return Status::Failed;
        }
        struct stat st = {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            setAside(mPath);
            continue;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK)
                return Status::HeldByAnother;
            mError = error;
            return Status::Failed;
        }
        // The holder that just ended may have removed the file after it was opened here: the lock
        // counts only on the file that is at the path now.
        struct stat now = {};
        if (::stat(path.constData(), &now) != 0 || now.st_ino != st.st_ino || now.st_dev != st.st_dev) {
            ::close(fd);
            continue;
        }
        if (namedHolderIsAlive(fd)) {
            ::close(fd);
            return Status::HeldByAnother;
        }
        const QByteArray contents = QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
                                    ownProgram().toUtf8() + '\n' + QSysInfo::machineHostName().toUtf8() +
                                    '\n' + kFlockMark + '\n';
        // The lock is the flock; the contents only name the holder, so a full disk that refuses
        // them does not stop the start.
        if (::ftruncate(fd, 0) == 0) {
            [[maybe_unused]] const ssize_t written =
                ::pwrite(fd, contents.constData(), size_t(contents.size()), 0);
        }
        mFd = fd;
        return Status::Acquired;
    }
    mError = EAGAIN;
    return Status::Failed;
}

void SingleInstance::release() {
    if (mFd < 0)
        return;
    // Removed while still locked, so that no other start can lock this file and then lose it.
    ::unlink(native(mPath).constData());
    ::close(mFd);
    mFd = -1;
}
