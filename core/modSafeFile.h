#pragma once
#include <QByteArray>
#include <QString>
#include <functional>

// Reading and replacing the program's files without trusting what lies on the disk.
//
// A data file is read only when it is a regular file (a symbolic link to one is followed) no
// larger than MaxDataFileSize: a FIFO, a device, a folder or a huge sparse file is refused
// before a byte of it is read. A file is replaced atomically and durably: the new contents go
// to a temporary file "<name>.XXXXXX" beside it, which is written, synced to the disk and then
// renamed over the old file; finally the folder is synced so that the rename itself survives a
// power cut. When any of this fails the temporary file is removed, the old file stays as it
// was and QvError is thrown.
namespace modSafeFile {

// 256 MiB: far above any real user's data, small enough to be held in memory.
inline constexpr qint64 MaxDataFileSize = qint64(256) * 1024 * 1024;

// Error number of a path that names something other than a regular file.
inline constexpr int NotARegularFile = 1001;
// Error number of a file above the size limit.
inline constexpr int FileTooLarge = 1002;

// The whole file at `path`. Throws QvError: FileNotFound when there is nothing at the path,
// NotARegularFile, FileTooLarge (above `limit` bytes), PathAccess when it cannot be read.
QByteArray ReadRegularFile(const QString& path, qint64 limit = MaxDataFileSize);

// Replaces (or creates) the regular file at `path` with `bytes`, atomically and synced. A
// symbolic link to a regular file is followed and its target replaced. Throws QvError:
// NotARegularFile when the path names anything else (or a link that leads nowhere), PathAccess
// when writing, syncing or renaming fails.
void WriteFileAtomically(const QString& path, const QByteArray& bytes);

// True when `path` is a regular file or names nothing yet, so that WriteFileAtomically may put
// a file there; false for devices, FIFOs, folders, sockets and links that lead nowhere.
bool IsWritableTarget(const QString& path);

// True when `path` names a file directly inside `folder` by a plain name: its folder part is
// `folder` (compared after removing "." and ".." steps) and its name is not empty, "." or "..".
// Both are taken as absolute paths.
bool IsPlainFileInFolder(const QString& path, const QString& folder);

// True for the temporary names WriteFileAtomically uses beside `fileName`: the name, a dot
// and six letters or digits.
bool IsTemporaryNameOf(const QString& candidate, const QString& fileName);

// Renames `from` to `to` in the same file system, never replacing an existing `to` and never
// copying (so a FIFO or a huge file is moved without being read). False when it did not happen.
bool MoveAside(const QString& from, const QString& to);

// The disk-sync step, replaceable by tests to inject a failing disk. It receives the open file
// descriptor and whether it is the folder; it returns 0 or -1 with errno set, like fdatasync.
// An empty function restores the real one.
using SyncFunction = std::function<int(int fd, bool isFolder)>;
void SetSyncFunction(SyncFunction sync);

} // namespace modSafeFile
