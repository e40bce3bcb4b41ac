#pragma once
#include "platform/RecentSource.h"

#include <optional>

// A folder whose files each stand for one recently used document: Windows shortcuts, KDE's
// link entries. An entry's name is the file's path, its time the file's last-write time.
// Only files whose names end exactly (case-sensitively) with the folder's suffix count.
class RecentShortcutFolder : public RecentSource {
public:
    RecentShortcutFolder(const QString& folder, const QString& suffix);

    QString location() const override { return mFolder; }
    QList<RecentEntry> entries() const override;
    bool owns(const QString& name) const override;
    RecentRemoveResult remove(const QStringList& names, bool force) override;

protected:
    // The target of one file; nothing when it cannot be read or names no place in the file system.
    virtual std::optional<QString> readTarget(const QString& path) const = 0;

private:
    QString mFolder;
    QString mSuffix;
};
