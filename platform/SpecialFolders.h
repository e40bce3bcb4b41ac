#pragma once
#include <QIcon>
#include <QString>

// The shell's special folders, by their Windows folder numbers (CSIDL), on a Linux desktop.
namespace SpecialFolders {

constexpr int ControlPanel = 3;
constexpr int Printers = 4;
constexpr int Personal = 5; // documents
constexpr int Recent = 8;
constexpr int RecycleBin = 10;
constexpr int MyMusic = 13;
constexpr int Drives = 17; // computer
constexpr int Network = 19;
constexpr int MyPictures = 39;

// The folder's path in the file system, empty for folders that have none (computer, network,
// printers, control panel).
QString Path(int csidl);
// The desktop's icon for the folder (from the icon theme), or a null icon when the theme has none.
QIcon ThemeIcon(int csidl);
// Opens the folder the way the desktop shows it: a file-manager window, the trash, the system
// settings or the printer settings. False for an unknown number or when nothing could be opened.
bool Open(int csidl);

} // namespace SpecialFolders
