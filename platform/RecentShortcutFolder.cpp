#include "platform/RecentShortcutFolder.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

RecentShortcutFolder::RecentShortcutFolder(const QString& folder, const QString& suffix)
    : mFolder(QDir::cleanPath(folder)), mSuffix(suffix) {}

QList<RecentEntry> RecentShortcutFolder::entries() const {
    QList<RecentEntry> result;
    const QByteArray folder = QFile::encodeName(mFolder);
    DIR* dir = opendir(folder.constData());
    if (!dir)
        return result;
    const QByteArray suffix = QFile::encodeName(mSuffix);
    struct Found {
        QByteArray name;
        time_t mtime;
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
        found.push_back({QByteArray(e->d_name, qsizetype(length)), st.st_mtime});
    }
    closedir(dir);
    // Listing order is whatever the file system keeps; the name order makes a scan repeatable.
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.name < b.name; });

    result.reserve(qsizetype(found.size()));
    const QString prefix = mFolder + QLatin1Char('/');
    for (const Found& f : found) {
        const QString path = prefix + QFile::decodeName(f.name);
        std::optional<QString> target = readTarget(path);
        if (!target || target->trimmed().isEmpty())
            continue;
        result.append({path, *target, QDateTime::fromSecsSinceEpoch(qint64(f.mtime))});
    }
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
