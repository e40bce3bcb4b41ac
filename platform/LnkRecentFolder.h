#pragma once
#include "platform/RecentShortcutFolder.h"

// A Recent folder of Windows shortcut files (".lnk"), as Windows programs running under Wine
// keep it. A shortcut's target is read with liblnk: the local path of its location
// information, else its network path; narrow strings are in the ANSI code page (GBK).
//
// With a Wine prefix, a target on one of the prefix's drives ("C:\users\...", "Z:\home\...")
// becomes the Linux path the drive maps to, so the document can be opened here; a target on a
// drive the prefix does not map, or on a network share, stays as the shortcut stores it.
class LnkRecentFolder : public RecentShortcutFolder {
public:
    explicit LnkRecentFolder(const QString& folder, const QString& winePrefix = QString());

    // The target path the shortcut file stores, nothing when it has none or cannot be read
    // (shortcuts to virtual items such as the control panel have none).
    static std::optional<QString> ShortcutTarget(const QString& shortcutFile);
    // The local path of a whole shortcut file's bytes, read straight from the ShellLinkHeader and
    // LinkInfo structures, for the common shortcut: a complete file with a LinkInfo that holds a
    // local base path, in UTF-16 or in ASCII, and no common path suffix. Nothing for any other
    // file, which then goes to liblnk.
    static std::optional<QString> QuickLocalPath(const QByteArray& file);
    // ShortcutTarget read with liblnk alone.
    static std::optional<QString> LiblnkTarget(const QString& shortcutFile);
    // A Windows path on a drive of the Wine prefix as a Linux path; the path unchanged when the
    // prefix does not map its drive. Separators are turned round, a final one is kept.
    static QString MapWinePath(const QString& windowsPath, const QString& winePrefix);

protected:
    std::optional<QString> readTarget(const QString& path) const override;

private:
    QString mWinePrefix;
};
