#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The two registry roots the program reads, with their Windows handle values.
constexpr qint32 HKEY_CURRENT_USER = static_cast<qint32>(0x80000001u);
constexpr qint32 HKEY_LOCAL_MACHINE = static_cast<qint32>(0x80000002u);

// Registry value types.
constexpr qint32 REG_NONE = 0;
constexpr qint32 REG_SZ = 1;
constexpr qint32 REG_EXPAND_SZ = 2;
constexpr qint32 REG_BINARY = 3;
constexpr qint32 REG_DWORD = 4;
constexpr qint32 REG_DWORD_BIG_ENDIAN = 5;
constexpr qint32 REG_MULTI_SZ = 7;

// One registry value as the registry keeps it: texts as UTF-16LE with their end markers,
// numbers as their four bytes, anything else as the bytes themselves.
struct RegistryValue {
    QString name; // empty for the key's default value
    qint32 type = REG_NONE;
    QByteArray data;
};

// A read-only view of the registry for a desktop without one.
//
// Two sources answer, the first that knows a value wins:
//  1. Registry files in the registry editor's export format, one per root: the local-machine
//     file "Registry/HKEY_LOCAL_MACHINE.reg" in the data folder (the program folder's Data/
//     unless the start-up names another, as for an installed copy) and the current-user
//     file "Quorvel/HKEY_CURRENT_USER.reg" in the user's configuration folder. Both optional.
//  2. The facts the program asks the registry for, answered from the desktop:
//     - HKLM "Software\Microsoft\Windows\CurrentVersion\App Paths\IEXPLORE.EXE", default value:
//       the executable of the user's default web browser;
//     - HKLM "...\App Paths\<name>" for any other name: default value the program <name> (without
//       ".exe") found on PATH, "Path" its folder;
//     - HKLM "SOFTWARE\Microsoft\Internet Explorer", "Version": the embedded engine's version;
//     - HKCU "Software\Microsoft\Internet Explorer\TypedURLs", "url1".."urlN": the program's own
//       typed-address history, newest first.
// Key paths and value names compare without regard to case, as on Windows.
class RegistryView {
public:
    // The process-wide view.
    static RegistryView& instance();

    // The value `valueName` (empty: the default value) of the key `keyPath` under `root`.
    std::optional<RegistryValue> value(qint32 root, const QString& keyPath, const QString& valueName) const;
    // Every value of the key, in registry order; nullopt when the key does not exist.
    std::optional<QList<RegistryValue>> values(qint32 root, const QString& keyPath) const;

    // The registry file read for `root`; empty `path` brings back the usual place.
    void setRegistryFile(qint32 root, const QString& path);
    QString registryFile(qint32 root) const;
    static QString defaultRegistryFile(qint32 root);

    // The typed-address history: one address per line, newest first (UTF-8).
    void setTypedUrlsFile(const QString& path);
    QString typedUrlsFile() const;
    static QString defaultTypedUrlsFile();
    QStringList typedUrls() const;
    // Puts `url` first in the history: an earlier copy is removed, and only the newest
    // MaxTypedUrls addresses are kept. Empty addresses are ignored; line breaks are dropped.
    // False when the history file could not be written.
    bool addTypedUrl(const QString& url);
    static constexpr int MaxTypedUrls = 25;

    // The executable of the user's default web browser; empty when none is found.
    static QString defaultWebBrowser();
    // The program `name` (a trailing ".exe" ignored) found on PATH; empty when not found.
    static QString findProgram(const QString& name);
    // Registry text data: UTF-16LE with the end marker.
    static QByteArray textData(const QString& text);

private:
    RegistryView() = default;
    std::optional<QList<RegistryValue>> fileValues(qint32 root, const QString& keyPath) const;
    std::optional<QList<RegistryValue>> factValues(qint32 root, const QString& keyPath) const;

    QString mHklmFile;
    QString mHkcuFile;
    QString mTypedUrlsFile;
};
