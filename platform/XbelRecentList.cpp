#include "platform/XbelRecentList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <glib.h>
#include <sys/stat.h>

namespace {

struct BookmarkFile {
    GBookmarkFile* file = g_bookmark_file_new();
    ~BookmarkFile() { g_bookmark_file_free(file); }
    BookmarkFile() = default;
    BookmarkFile(const BookmarkFile&) = delete;
    BookmarkFile& operator=(const BookmarkFile&) = delete;
};

struct Error {
    GError* error = nullptr;
    ~Error() {
        if (error)
            g_error_free(error);
    }
    QString text() const { return error ? QString::fromUtf8(error->message) : QString(); }
};

qint64 seconds(GDateTime* time) {
    return time ? qint64(g_date_time_to_unix(time)) : 0;
}

QString targetOf(const char* uri) {
    if (g_str_has_prefix(uri, "file:")) {
        gchar* path = g_filename_from_uri(uri, nullptr, nullptr);
        if (!path)
            return QString();
        const QString local = QFile::decodeName(path);
        g_free(path);
        return local;
    }
    return QString::fromUtf8(uri);
}

} // namespace

XbelRecentList::XbelRecentList(const QString& file) : mFile(QDir::cleanPath(file)) {}

QList<RecentEntry> XbelRecentList::entries() const {
    QList<RecentEntry> result;
    const QByteArray path = QFile::encodeName(mFile);
    struct stat st;
    if (stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        mReadIdentity.clear();
        return result;
    }
    const std::vector<qint64> identity{qint64(st.st_dev), qint64(st.st_ino), qint64(st.st_size),
                                       qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                                       qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
    if (identity == mReadIdentity)
        return mReadEntries;
    mReadIdentity.clear();
    BookmarkFile bookmarks;
    Error error;
    if (!g_bookmark_file_load_from_file(bookmarks.file, path.constData(), &error.error))
        return result;
    gsize count = 0;
    gchar** uris = g_bookmark_file_get_uris(bookmarks.file, &count);
    result.reserve(qsizetype(count));
    for (gsize i = 0; i < count; ++i) {
        const char* uri = uris[i];
        const QString target = targetOf(uri);
        if (target.trimmed().isEmpty())
            continue;
        const qint64 modified = seconds(g_bookmark_file_get_modified_date_time(bookmarks.file, uri, nullptr));
        const qint64 visited = seconds(g_bookmark_file_get_visited_date_time(bookmarks.file, uri, nullptr));
        const qint64 added = seconds(g_bookmark_file_get_added_date_time(bookmarks.file, uri, nullptr));
        const qint64 used = std::max({modified, visited, added});
        if (used <= 0)
            continue;
        result.append({mFile + QLatin1Char('#') + QString::fromUtf8(uri), target, used});
    }
    g_strfreev(uris);
    mReadIdentity = identity;
    mReadEntries = result;
    return result;
}

bool XbelRecentList::owns(const QString& name) const {
    return name.size() > mFile.size() + 1 && name.startsWith(mFile) &&
           name.at(mFile.size()) == QLatin1Char('#');
}

RecentRemoveResult XbelRecentList::remove(const QStringList& names, bool /*force*/) {
    QList<QByteArray> uris;
    for (const QString& name : names) {
        if (!owns(name))
            return {RecentRemoveResult::Failed, QStringLiteral("%1 is not an entry of %2").arg(name, mFile)};
        uris.append(name.mid(mFile.size() + 1).toUtf8());
    }
    if (uris.isEmpty())
        return {};
    const QByteArray path = QFile::encodeName(mFile);
    if (!g_file_test(path.constData(), G_FILE_TEST_IS_REGULAR))
        return {}; // no list, nothing left to remove
    BookmarkFile bookmarks;
    Error error;
    if (!g_bookmark_file_load_from_file(bookmarks.file, path.constData(), &error.error))
        return {RecentRemoveResult::Failed, mFile + QStringLiteral(": ") + error.text()};
    bool changed = false;
    for (const QByteArray& uri : std::as_const(uris))
        changed = g_bookmark_file_remove_item(bookmarks.file, uri.constData(), nullptr) || changed;
    if (!changed)
        return {};

    // GLib writes the list as the desktop's own programs do (they use the same code), which
    // leaves out entries that no application registered; the desktop never writes such entries.
    gsize length = 0;
    gchar* data = g_bookmark_file_to_data(bookmarks.file, &length, &error.error);
    if (!data)
        return {RecentRemoveResult::Failed, mFile + QStringLiteral(": ") + error.text()};
    struct stat st;
    const int mode = stat(path.constData(), &st) == 0 ? int(st.st_mode & 07777) : 0600;
    const gboolean written = g_file_set_contents_full(
        path.constData(), data, gssize(length),
        GFileSetContentsFlags(G_FILE_SET_CONTENTS_CONSISTENT | G_FILE_SET_CONTENTS_DURABLE), mode,
        &error.error);
    g_free(data);
    if (!written) {
        const bool denied =
            error.error && error.error->domain == G_FILE_ERROR &&
            (error.error->code == G_FILE_ERROR_ACCES || error.error->code == G_FILE_ERROR_PERM ||
             error.error->code == G_FILE_ERROR_ROFS);
        return {denied ? RecentRemoveResult::AccessDenied : RecentRemoveResult::Failed,
                mFile + QStringLiteral(": ") + error.text()};
    }
    return {};
}
