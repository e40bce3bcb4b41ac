#pragma once
#include <QIcon>
#include <QString>

// The small icons the desktop shows for files and file types.
namespace FileIcons {
// The icon of the file at `path`: a .desktop file's own Icon, a program's icon from the theme,
// else the icon of its file type. Never null for an existing file.
QIcon OfPath(const QString& path);
// The icon of a file type by its extension ("doc", "xls"), without reading any file.
QIcon OfExtension(const QString& extension);
} // namespace FileIcons
