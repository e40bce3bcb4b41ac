#include "core/modSafeFile.h"

#include "core/QvError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace modSafeFile {

namespace {

SyncFunction& syncSlot() {
    static SyncFunction sync;
    return sync;
}

int syncDescriptor(int fd, bool isFolder) {
    if (const SyncFunction& sync = syncSlot())
        return sync(fd, isFolder);
    return isFolder ? ::fsync(fd) : ::fdatasync(fd);
}

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

[[noreturn]] void accessError(const QString& path, const QString& reason) {
    throw QvError(QvErrors::PathAccess, QStringLiteral("Path/File access error: %1 (%2)").arg(path, reason));
}

[[noreturn]] void notRegular(const QString& path) {
    throw QvError(NotARegularFile, QStringLiteral("%1 is not a regular file").arg(path));
}

// Closes a descriptor on every way out of a scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : mFd(fd) {}
    ~Descriptor() {
        if (mFd >= 0)
            ::close(mFd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return mFd; }
    // Closes now and reports the result, which for a written file may carry a late write error.
    int close() {
        const int r = ::close(mFd);
        mFd = -1;
        return r;
    }

private:
    int mFd;
};

QByteArray nativePath(const QString& path) {
    return QFile::encodeName(path);
}

// Follows a chain of symbolic links to the path that is finally written. Returns the empty text
// when a link leads nowhere (or round in circles).
QString finalTarget(const QString& path) {
    QString current = QFileInfo(path).absoluteFilePath();
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st = {};
        if (::lstat(nativePath(current).constData(), &st) != 0)
            return hops == 0 ? current : QString(); // nothing there: a new file, unless a link pointed here
        if (!S_ISLNK(st.st_mode))
            return current;
        const QFileInfo link(current);
        const QString target = link.symLinkTarget();
        if (target.isEmpty())
            return QString();
        current = QDir::cleanPath(target);
    }
    return QString();
}

bool writeAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(std::min<qint64>(size, qint64(1) << 30)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

void SetSyncFunction(SyncFunction sync) {
    syncSlot() = std::move(sync);
}

QByteArray ReadRegularFile(const QString& path, qint64 limit) {
    const QByteArray native = nativePath(path);
    struct stat st = {};
    // The kind and size are judged before opening: opening a FIFO would wait for a writer, and
    // opening some devices has effects of its own.
    if (::stat(native.constData(), &st) != 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            throw QvError(QvErrors::FileNotFound, QStringLiteral("File not found: %1").arg(path));
        accessError(path, errnoText(error));
    }
    if (!S_ISREG(st.st_mode))
        notRegular(path);
    auto tooLarge = [&] {
        throw QvError(FileTooLarge,
                      QStringLiteral("%1 is larger than %2 MiB").arg(path).arg(limit / (1024 * 1024)));
    };
    if (st.st_size > limit)
        tooLarge();

    // O_NONBLOCK: should the path have been swapped for a FIFO since, the open does not hang.
    Descriptor fd(::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0)
        accessError(path, errnoText(errno));
    if (::fstat(fd.get(), &st) != 0)
        accessError(path, errnoText(errno));
    if (!S_ISREG(st.st_mode))
        notRegular(path);
    if (st.st_size > limit)
        tooLarge();

    // The file may grow while it is read: never more than the limit is taken in.
    QByteArray bytes;
    bytes.resize(qsizetype(st.st_size));
    qint64 filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > limit)
                tooLarge();
            bytes.resize(qsizetype(std::min<qint64>(limit + 1, filled + 65536)));
        }
        const ssize_t n = ::read(fd.get(), bytes.data() + filled, size_t(bytes.size() - filled));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            accessError(path, errnoText(errno));
        }
        if (n == 0)
            break;
        filled += n;
    }
    if (filled > limit)
        tooLarge();
    bytes.truncate(qsizetype(filled));
    return bytes;
}

bool IsWritableTarget(const QString& path) {
    const QString target = finalTarget(path);
    if (target.isEmpty())
        return false;
    struct stat st = {};
    if (::stat(nativePath(target).constData(), &st) != 0)
        return errno == ENOENT;
    return S_ISREG(st.st_mode);
}

void WriteFileAtomically(const QString& path, const QByteArray& bytes) {
    const QString target = finalTarget(path);
    if (target.isEmpty())
        notRegular(path);
    const QByteArray nativeTarget = nativePath(target);
    struct stat old = {};
    const bool exists = ::stat(nativeTarget.constData(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        notRegular(path);

    const QFileInfo info(target);
    const QString folder = info.absolutePath();

    // A fresh name beside the file: "User.dat.k3Xq9Z". O_EXCL makes sure it is ours alone.
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        QByteArray suffix(6, '\0');
        for (char& c : suffix)
            c = kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
        temp = nativeTarget + '.' + suffix;
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno != EEXIST)
            accessError(path, errnoText(errno));
    }
    if (fd < 0)
        accessError(path, QStringLiteral("no free temporary name"));
    Descriptor file(fd);

    auto abandon = [&](const QString& step, int error) {
        file.close();
        ::unlink(temp.constData());
        accessError(path, step + QStringLiteral(": ") + errnoText(error));
    };
    // The new file keeps the old one's permissions.
    if (exists)
        (void)::fchmod(file.get(), old.st_mode & 07777);
    if (!writeAll(file.get(), bytes.constData(), bytes.size()))
        abandon(QStringLiteral("write"), errno);
    // Only contents that reached the disk may take the old file's place.
    if (syncDescriptor(file.get(), false) != 0)
        abandon(QStringLiteral("sync"), errno);
    if (file.close() != 0) {
        const int error = errno;
        ::unlink(temp.constData());
        accessError(path, QStringLiteral("close: ") + errnoText(error));
    }
    if (::rename(temp.constData(), nativeTarget.constData()) != 0) {
        const int error = errno;
        ::unlink(temp.constData());
        accessError(path, QStringLiteral("rename: ") + errnoText(error));
    }

    // The rename lives in the folder: sync it too, or a power cut may bring the old file back.
    Descriptor dir(::open(nativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0 && syncDescriptor(dir.get(), true) != 0) {
        const int error = errno;
        // Folders on some file systems cannot be synced at all; that is no failure of this save.
        if (error != EINVAL && error != ENOTSUP && error != EROFS)
            accessError(path, QStringLiteral("sync of the folder: ") + errnoText(error));
    }
}

bool MoveAside(const QString& from, const QString& to) {
    struct stat st = {};
    if (::lstat(nativePath(to).constData(), &st) == 0 || errno != ENOENT)
        return false;
    return ::rename(nativePath(from).constData(), nativePath(to).constData()) == 0;
}

bool IsPlainFileInFolder(const QString& path, const QString& folder) {
    if (path.isEmpty() || folder.isEmpty() || path.contains(QChar(0)) || path.contains(QLatin1Char('\\')))
        return false;
    const QFileInfo file(QDir::cleanPath(QDir(folder).absoluteFilePath(path)));
    const QString name = file.fileName();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    // The path as written must already be absolute: a relative name would depend on the
    // working folder of whoever reads the record.
    if (!QDir::isAbsolutePath(path))
        return false;
    return file.absolutePath() == QDir::cleanPath(QDir(folder).absolutePath());
}

bool IsTemporaryNameOf(const QString& candidate, const QString& fileName) {
    if (candidate.size() != fileName.size() + 7 || !candidate.startsWith(fileName) ||
        candidate.at(fileName.size()) != QLatin1Char('.'))
        return false;
    for (qsizetype i = fileName.size() + 1; i < candidate.size(); ++i) {
        const char16_t c = candidate.at(i).unicode();
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

} // namespace modSafeFile
