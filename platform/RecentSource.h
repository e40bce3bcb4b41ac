#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

// One document or folder in the desktop's list of recently used items.
struct RecentEntry {
    // What names the entry in its source: the path of the shortcut file, or for an entry of a
    // list file the list file's path, "#" and the entry's address. Removal takes this name.
    QString name;
    // The document or folder: a local path, a Windows path as a shortcut stores it when it has
    // no place on this machine, or an address (sftp:, smb:, ...).
    QString target;
    // Time of the last use: seconds since 1970-01-01 00:00:00 UTC.
    qint64 lastUsed = 0;
};

// How a removal ended.
struct RecentRemoveResult {
    enum Kind { Done, AccessDenied, Failed };
    Kind kind = Done;
    QString detail;
    bool ok() const { return kind == Done; }
};

// One source of the desktop's recently used documents: a folder of shortcut files or a list
// file. Removing an entry removes the shortcut file or the list entry, never the document.
class RecentSource {
public:
    virtual ~RecentSource();

    // The folder or file this source reads.
    virtual QString location() const = 0;
    // The entries, in a fixed order; none when the source does not exist on this machine.
    // Entries that cannot be read or point at nothing are left out.
    virtual QList<RecentEntry> entries() const = 0;
    // True when `name` names an entry of this source (whether or not it still exists).
    virtual bool owns(const QString& name) const = 0;
    // Removes the named entries. Shortcut files are deleted in order, stopping at the first
    // failure; a write-protected one only with `force`. List entries are taken out of the list
    // file together and the file is replaced atomically. Entries that are gone already count
    // as removed.
    virtual RecentRemoveResult remove(const QStringList& names, bool force) = 0;

    // The sources of this desktop for the current user, looked up now from HOME, XDG_DATA_HOME,
    // WINEPREFIX and USER: the Recent folders of the Wine prefix (Windows shortcuts),
    // KDE's RecentDocuments folder and GNOME's recently-used.xbel.
    static std::vector<std::unique_ptr<RecentSource>> DesktopSources();
};
