#pragma once
#include "core/XmlDocument.h"

#include <QDateTime>
#include <QString>

// The update file list as both programs read it: the file record of one `file` element, the
// names of this build's program files, the rule that keeps every path inside the program
// folder, and the file-version reader.
//
// The list names the programs as the Windows build does ("QV.exe", "QVUpdate.exe",
// "qvdata.exe"); this build's files have no extension. ProgramFileName maps the one onto the
// other, and it is the only place that knows both.
namespace modUpdateFiles {

// This build's program files.
inline constexpr char MainProgram[] = "QV";
inline constexpr char UpdaterProgram[] = "QVUpdate";

// The list's `filename` values that mark the main program and the updater. The Windows names
// are matched exactly; this build's own names are accepted as well.
bool IsMainProgramEntry(const QString& filename);
bool IsUpdaterEntry(const QString& filename);

// A Windows program name of the list ("QV.exe", "QVUpdate.exe", "qvdata.exe", in any case)
// as this build's file name; any other name unchanged.
QString ProgramFileName(const QString& name);

// One `file` element of the list.
struct FileRecord {
    QString fileName;     // filename
    QString localPath;    // program folder + "/" + clientlocation (mapped, with "/")
    QString url;          // serverpath + servername
    QString downloadPath; // temp folder + "/tupd" + servername
    qint64 size = 0;
    qint32 version = 0; // 0 when empty
    QDateTime lastWriteTime;
    QString compareMode;
    bool compressed = false;
};

// Reads the record of one `file` element. Throws QvError when the entry cannot be used safely:
// a clientlocation or servername that would place a file outside the program folder (absolute
// path, "..", a drive letter or scheme, a symbolic link that leaves the folder), a size or
// version that is no number, or a last write time that is no date. Downloads go into
// `tempFolder`, by default the program folder's Temp (where QVUpdate looks for them).
FileRecord ReadFileRecord(const XmlNode& file, const QString& programFolder,
                          const QString& tempFolder = QString());

// The path below the program folder that a clientlocation names, with "/" separators and the
// program names mapped; one leading separator is allowed. Throws QvError for a path that could
// leave the folder.
QString RelativeLocalPath(const QString& clientLocation);

// Throws QvError when `path` (which need not exist) lies outside `programFolder` once every
// symbolic link on the way is followed.
void RequireInsideFolder(const QString& path, const QString& programFolder);

// The program's version number form: major, minor as "000", revision as "0000", one integer
// (1.2.34 is 10020034). Empty when the text has fewer than three parts or they are no numbers.
QString VersionNumberOf(const QString& versionText);

// The file version of a program file: the version text of its "Quorvel" ELF note, or empty when
// the file has none (not an ELF file, no note, unreadable).
QString GetFileVersionText(const QString& path);
// VersionNumberOf(GetFileVersionText(path)): empty text when the file has no version data.
QString GetFileVersionNumber(const QString& path);

// Gives a downloaded file that is about to become `targetPath` the execute permission of the
// file it replaces, or of a program when the target is one of this build's programs, so that a
// program fetched over HTTP stays startable.
void CarryExecutePermission(const QString& newFile, const QString& targetPath);

} // namespace modUpdateFiles
