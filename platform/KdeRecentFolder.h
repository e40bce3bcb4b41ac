#pragma once
#include "platform/RecentShortcutFolder.h"

// KDE's folder of recently used documents (~/.local/share/RecentDocuments): one link entry
// (".desktop", Type=Link) per document, whose URL names it. "file:" addresses become local
// paths; values marked "[$e]" have their $VARIABLES expanded first, as KDE writes $HOME there.
class KdeRecentFolder : public RecentShortcutFolder {
public:
    explicit KdeRecentFolder(const QString& folder);

    // The document a link entry names; nothing when the file has no usable URL.
    static std::optional<QString> EntryTarget(const QString& desktopFile);

protected:
    std::optional<QString> readTarget(const QString& path) const override { return EntryTarget(path); }
};
