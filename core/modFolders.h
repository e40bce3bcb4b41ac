#pragma once
#include <QString>

// Where the program's files are. This is the one place that decides it; everything else asks
// here instead of building paths from the program folder.
//
// Two folders matter besides the program folder (where QV and QVUpdate are):
//
// - The data folder holds the read-only files the program ships: common.dat, icon.dat and the
//   machine part of the registry view (Registry/HKEY_LOCAL_MACHINE.reg). A copy that carries its
//   data beside the programs (the build folder, a portable copy) has it in the program folder's
//   Data/; an installed copy has it in the installed data folder, found from the program folder
//   (../share/quorvel for the usual layout).
//
// - The user folder holds every file the program writes: Data/User.dat with the files kept
//   aside beside it, the middle page's local pages in Data/, Cache/, Temp/, log.txt and the
//   instance lock QV.lock. It is the program folder itself when the program may write there
//   (the folder is writable and is no installed copy); otherwise it is $XDG_DATA_HOME/Quorvel
//   (by default ~/.local/share/Quorvel) with the same layout, one per user, so that several
//   users can run one read-only copy at once.
//
// The decision is taken from the program folder and the user's data home, and kept while
// neither changes: a folder that turns read-only while the program runs does not move its
// files elsewhere half-way.
namespace modFolders {

// The program folder (modInitial::AppPath).
QString ProgramFolder();

// True when the program's files are written into the program folder: the folder does not
// refuse writes (read-only mount, immutable, no permission) and is no installed copy. False for
// a read-only or an installed copy, whose program files are not the program's to change.
bool WritesIntoProgramFolder();

// True when the programs run from an installed layout: no Data/common.dat beside them, and the
// installed data folder holds one.
bool IsInstalledCopy();

// The installed data folder for programs in `programFolder` (whether or not it exists).
QString InstalledDataFolder(const QString& programFolder);

// The folder of common.dat and icon.dat.
QString DataFolder();
QString CommonDataFile();
QString IconLibraryFile();
QString MachineRegistryFile();

// The folder of everything the program writes (see above). Empty when the program folder
// cannot be written and the user has no data home (neither XDG_DATA_HOME nor HOME).
QString UserFolder();
QString UserDataFile();    // Data/User.dat
QString LocalPageFolder(); // Data/, where the middle page writes its local pages
QString CacheFolder();     // Cache/
QString TempFolder();      // Temp/
QString LogFile();         // log.txt

// Creates the user folder when it is missing (the user's first start from a read-only copy),
// readable by its owner only, as the base-directory rules ask. False with a reason in `error`
// when there is no user folder or it cannot be made.
bool CreateUserFolder(QString* error);

// Takes the decision again at the next question (the start procedure, and tests that change the
// program folder's permissions).
void Refresh();

} // namespace modFolders
