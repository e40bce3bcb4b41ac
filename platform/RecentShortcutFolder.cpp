#include "platform/RecentShortcutFolder.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <exception>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

RecentShortcutFolder::RecentShortcutFolder(const QString& folder, const QString& suffix)
    : mFolder(QDir::cleanPath(folder)), mSuffix(suffix) {}

QList<RecentEntry> RecentShortcutFolder::entries() const {
    QList<RecentEntry> result;
    QHash<QByteArray, Known> known;
    const QByteArray folder = QFile::encodeName(mFolder);
    DIR* dir = opendir(folder.constData());
    if (!dir) {
        mKnown.clear();
        return result;
    }
    const QByteArray suffix = QFile::encodeName(mSuffix);
    struct Found {
        QByteArray name;
        Known file;
    };
    std::vector<Found> found;
    const int dirFd = dirfd(dir);
    while (dirent* e = readdir(dir)) {
        const size_t length = std::strlen(e->d_name);
        if (length <= size_t(suffix.size()) ||
            std::memcmp(e->d_name + length - suffix.size(), suffix.constData(), size_t(suffix.size())) != 0)
            continue;
        // Follows symbolic links, as opening the shortcut would; directories are no shortcuts.
        struct stat st;
        if (fstatat(dirFd, e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode))
            continue;
        Known file;
        file.device = quint64(st.st_dev);
        file.inode = quint64(st.st_ino);
        file.size = qint64(st.st_size);
        file.modified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        file.changed = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
        file.seconds = qint64(st.st_mtim.tv_sec);
        found.push_back({QByteArray(e->d_name, qsizetype(length)), file});
    }
    closedir(dir);
    // Listing order is whatever the file system keeps; the name order makes a scan repeatable.
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.name < b.name; });

    result.reserve(qsizetype(found.size()));
    known.reserve(qsizetype(found.size()));
    const QString prefix = mFolder + QLatin1Char('/');
    std::vector<QString> paths;
    paths.reserve(found.size());
    std::vector<size_t> toRead;
    for (size_t i = 0; i < found.size(); ++i) {
        Found& f = found[i];
        paths.push_back(prefix + QFile::decodeName(f.name));
        const auto before = mKnown.constFind(f.name);
        if (before != mKnown.constEnd() && *before == f.file)
            f.file.target = before->target;
        else
            toRead.push_back(i);
    }
    // Reading is mostly waiting for the file system: many files are read on two threads, the
    // second taking the second half.
    const auto readRange = [&](size_t from, size_t to) {
        for (size_t k = from; k < to; ++k)
            found[toRead[k]].file.target = readTarget(paths[toRead[k]]);
    };
    constexpr size_t kReadInParallel = 256;
    if (toRead.size() >= kReadInParallel && std::thread::hardware_concurrency() > 1) {
        const size_t half = toRead.size() / 2;
        std::exception_ptr failure;
        std::thread helper([&] {
            try {
                readRange(half, toRead.size());
            } catch (...) {
                failure = std::current_exception();
            }
        });
        try {
            readRange(0, half);
        } catch (...) {
            helper.join();
            throw;
        }
        helper.join();
        if (failure)
            std::rethrow_exception(failure);
    } else {
        readRange(0, toRead.size());
    }
    for (size_t i = 0; i < found.size(); ++i) {
        Found& f = found[i];
        known.insert(f.name, f.file);
        if (!f.file.target || f.file.target->trimmed().isEmpty())
            continue;
        result.append({paths[i], *f.file.target, f.file.seconds});
    }
    mKnown = std::move(known);
    return result;
}

bool RecentShortcutFolder::owns(const QString& name) const {
    const QString prefix = mFolder + QLatin1Char('/');
    if (!name.startsWith(prefix))
        return false;
    const QStringView file = QStringView(name).mid(prefix.size());
    return file.size() > mSuffix.size() && file.endsWith(mSuffix) && !file.contains(QLatin1Char('/'));
}

RecentRemoveResult RecentShortcutFolder::remove(const QStringList& names, bool force) {
    for (const QString& name : names) {
        if (!owns(name))
            return {RecentRemoveResult::Failed,
                    QStringLiteral("%1 is not an entry of %2").arg(name, mFolder)};
        const QByteArray path = QFile::encodeName(name);
        struct stat st;
        if (lstat(path.constData(), &st) != 0) {
            if (errno == ENOENT)
                continue;
            return {RecentRemoveResult::Failed,
                    name + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno))};
        }
        // A shortcut without the owner's write permission counts as read-only and stays unless
        // the caller forces its removal.
        if (!force && S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0)
            return {RecentRemoveResult::AccessDenied, name + QStringLiteral(": write-protected")};
        if (unlink(path.constData()) != 0 && errno != ENOENT) {
            const int error = errno;
            const RecentRemoveResult::Kind kind = (error == EACCES || error == EPERM || error == EROFS)
                                                      ? RecentRemoveResult::AccessDenied
                                                      : RecentRemoveResult::Failed;
            return {kind, name + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(error))};
        }
    }
    return {};
}
