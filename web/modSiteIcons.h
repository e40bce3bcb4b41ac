#pragma once
#include <QIcon>
#include <QString>
#include <QUrl>

class QWebEnginePage;

// The icons of the sites the program has shown, kept for the favorites: the engine reports a
// page's icon while it shows the page, and its profile keeps none between runs, so every icon is
// remembered under its own address and under the page's site ("scheme://host:port"), in memory
// and as a PNG file in the program's Cache/Icons folder.
namespace modSiteIcons {

// Remembers the icons `page` shows from now on.
void Watch(QWebEnginePage* page);
// Remembers one icon.
void Remember(const QUrl& pageUrl, const QUrl& iconUrl, const QIcon& icon);

// The icon of a shortcut: the image file its IconFile names when that is a local image; else the
// remembered icon of the IconFile address, else of the address's site. A null icon when none.
QIcon Lookup(const QString& iconFile, const QString& url);

// The folder of the icon files.
QString CacheFolder();
// Forgets the icons held in memory (the files stay); for a new program folder.
void ClearMemory();

} // namespace modSiteIcons
