#pragma once
#include <QString>
#include <QStringList>
#include <functional>

// The updater QVUpdate: finishes an online update that the main program prepared in Temp. It
// waits for the main program to end, moves every file of Temp/filelist.dat into place, stamps
// it with the list's last write time, deletes the list and starts the main program again.
//
// Files are replaced so that a failure half-way leaves the old program whole: each replaced
// file is kept aside until every file is in place, and everything is put back when a step
// fails. Every failure ends with the failure message and without a restart.
namespace modQVUpdate {

// The product's download page, named in the failure message.
inline constexpr char DownloadPage[] = "http://www.quorvel.cn/download/";
// The message box title.
inline constexpr char Title[] = "QVUpdate";

// The start procedure. `arguments` is the command line without the program; `programFolder`
// the folder of the updater, which is the main program's. Returns 0 after the main program was
// started again, 1 after a failure.
int Main(const QStringList& arguments, const QString& programFolder);

// How long the updater waits for the main program to end (60 seconds unless a test says less).
void SetWaitLimit(int milliseconds);
// Starts the main program; the default starts it detached in the program folder with no
// options. Returns false when it could not be started.
void SetProgramStarter(std::function<bool(const QString& program, const QString& folder)> starter);
// Runs before a message is shown (the program creates its application object there: the rest
// of the work needs none).
void SetMessagePreparer(std::function<void()> preparer);

} // namespace modQVUpdate
