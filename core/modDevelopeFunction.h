#pragma once
#include <QString>
#include <functional>

// The developer log: a trace for the makers, kept only in developer mode.
namespace modDevelopeFunction {

// Writes one log line: the present local date-time in the system locale's short form, a blank,
// and `text`. The line is appended to the in-memory log (when it exists), shown in the log pane
// (when there is one) and appended to "log.txt" in the user folder (modFolders: the program
// folder, or the user's data folder for a read-only copy; UTF-8, created when missing, never
// truncated).
//
// Never throws: it is called from event handlers, paint events and the start-up. When log.txt
// cannot be written, the failure is reported once (a line in the in-memory log and the pane,
// and a message on standard error); the next failure after a successful write is reported
// again. Callers call it only in developer mode.
void WriteLog(const QString& text) noexcept;

// Shows the developer-log window through the handler its owner installed.
void ShowDevelopLog();
void SetShowDevelopLogHandler(std::function<void()> handler);

} // namespace modDevelopeFunction
