#pragma once
#include "platform/RecentSource.h"

#include <vector>

// GNOME's list of recently used documents (~/.local/share/recently-used.xbel), read and edited
// with GLib's bookmark file. An entry's name is the list file's path, "#" and the entry's
// address; its time is the latest of the entry's modified and visited times. "file:" addresses
// become local paths, other addresses stay as they are.
class XbelRecentList : public RecentSource {
public:
    explicit XbelRecentList(const QString& file);

    QString location() const override { return mFile; }
    QList<RecentEntry> entries() const override;
    bool owns(const QString& name) const override;
    // Takes the entries out of the list and replaces the file atomically (a temporary file
    // flushed to disk, then renamed over it), keeping its permissions.
    RecentRemoveResult remove(const QStringList& names, bool force) override;

private:
    QString mFile;
    // The entries of the last reading and the identity of the file they came from (device,
    // inode, size, modification and change time in nanoseconds): an unchanged file is not
    // parsed again.
    mutable std::vector<qint64> mReadIdentity;
    mutable QList<RecentEntry> mReadEntries;
};
