#pragma once
#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

// Small functions several parts of the program share.
namespace modTools {

// The maker's contacts, shown in the About box; MailToMaker writes to the address.
inline constexpr char MakerMailAddress[] = "support@quorvel.cn";
inline constexpr char MakerQQNumber[] = "800058808";

// Opens a document, program or folder with its associated application; does not wait.
// An error on the way shows a plain message: the error number directly followed by its
// description.
void OpenFile(const QString& path);
// Opens a file-manager window on the folder of `path` with `path` selected. An error on the way
// goes to the developer log (in developer mode).
void OpenFileFolder(const QString& path);
// Opens the QQ inquiry address of the global settings.
void OpenQQInquiry();
// Starts a mail to the maker.
void MailToMaker();

// Shows the MSN inquiry window: the first call in a run creates and shows it through the
// handler, later calls do nothing.
void ShowMSNInquiry();
// The window's owner installs the function that creates and shows it; installing a handler
// counts as a fresh start (its window has not been created yet).
void SetMSNInquiryHandler(std::function<void()> handler);

// The time serial: whole seconds between 2005-01-01 00:00:00 and the local date-time,
// as an absolute value. Both are taken as wall-clock readings (a daylight-saving change in
// between does not count). Texts understood: "yyyy-MM-dd HH:mm:ss", "yyyy/M/d H:mm:ss" (seconds
// and time optional), ISO 8601, RFC 2822, and the system locale's short and long forms.
// Throws QvError (type mismatch) for a text that is no date, and QvError (overflow) when the
// result does not fit in 32 bits.
qint32 GetTimeSerial(const QString& dateText);
qint32 GetTimeSerial(const QDateTime& dateTime);
// The local date-time a date text names (the texts GetTimeSerial understands), or nothing.
std::optional<QDateTime> ParseDate(const QString& dateText);

// major + minor with at least three digits + revision with at least four digits
// ("1", "2", "34" -> "10020034"); wider numbers are not cut.
QString JoinVersion(const QString& major, const QString& minor, const QString& revision);
QString JoinVersion(int major, int minor, int revision);
// JoinVersion of the program's own version numbers.
QString ProgramVersionNumber();

// Removes one double quote at the start, then one at the end.
QString StripQuotes(const QString& text);

// ANSI percent-encoding: each character that takes two bytes in the ANSI code page becomes
// "%" lead "%" trail (upper-case hexadecimal, no leading zero); everything else is copied.
QString EncodeAnsiPercent(const QString& text);

// The identifier of the running process.
qint64 CurrentProcessId();

} // namespace modTools
