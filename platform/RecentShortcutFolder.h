#pragma once
#include "platform/RecentSource.h"

#include <QHash>
#include <optional>

// A folder whose files each stand for one recently used document: Windows shortcuts, KDE's
// link entries. An entry's name is the file's path, its time the file's last-write time.
// Only files whose names end exactly (case-sensitively) with the folder's suffix count.
//
// What a file names is read again only when the file is new or was written since the last
// reading (another inode, size, modification or change time), so a folder of thousands of
// shortcuts costs little more than listing it.
class RecentShortcutFolder : public RecentSource {
public:
    RecentShortcutFolder(const QString& folder, const QString& suffix);

    QString location() const override { return mFolder; }
    QList<RecentEntry> entries() const override;
    bool owns(const QString& name) const override;
    RecentRemoveResult remove(const QStringList& names, bool force) override;

protected:
    // The target of one file; nothing when it cannot be read or names no place in the file system.
    // Called from two threads at once when many files are read.
    virtual std::optional<QString> readTarget(const QString& path) const = 0;

private:
    struct Known {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modified = 0; // nanoseconds
        qint64 changed = 0;  // nanoseconds
        qint64 seconds = 0;  // the modification time in whole seconds
        std::optional<QString> target;
        bool operator==(const Known& o) const {
            return device == o.device && inode == o.inode && size == o.size && modified == o.modified &&
                   changed == o.changed;
        }
    };
    QString mFolder;
    QString mSuffix;
    mutable QHash<QByteArray, Known> mKnown;
};
