#pragma once
#include <QString>

// Splitting an address into its parts, for the site icon and the address box.
namespace modURLHandle {

// Text parts the address does not have.
inline constexpr char NoContent[] = "NOCONTENT";

// The parts of an address. Text parts that the address lacks hold "NOCONTENT".
struct URLParts {
    QString Scheme;    // before "://"
    QString User;      // before ":" in the part before "@"
    QString Password;  // after ":" in the part before "@"
    QString Query;     // after "?", without a "#" fragment
    QString Host;      // without user, password and port
    quint16 Port = 80; // 80 when not given
    // True when the address has a scheme and a host, and its port (when given) is a 16-bit number.
    bool Valid = false;
    QString FileName;       // the last path segment ("index.html")
    QString DirectoryPath;  // the path up to and with its last "/" ("/news/")
    QString BaseAddress;    // scheme "://" host (with the port when the address names one)
    QString FaviconAddress; // base address + "/favicon.ico"
};

// Splits `address`. The scheme ends at "://", the host part at the first "/" ("?" and "#" end
// it too, since a host never holds them); user and password stand before "@" separated by ":",
// the port after the last ":" of the host part (an IPv6 host in brackets keeps its colons).
URLParts SplitURL(const QString& address);

// True when `text` names its scheme ("http://...", "about:blank", "mailto:...").
bool HasScheme(const QString& text);
// What the address box navigates to: the text trimmed, with "http://" put in front when it names
// no scheme ("www.example.com" -> "http://www.example.com"). Empty text stays empty.
QString AddressWithScheme(const QString& text);

} // namespace modURLHandle
