#include "web/modSiteIcons.h"

#include "core/modFolders.h"
#include "core/modInitial.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QPixmap>
#include <QSaveFile>
#include <QWebEnginePage>

namespace modSiteIcons {
namespace {

constexpr int kStoredSize = 32;

struct Memory {
    QString folder;
    QHash<QString, QIcon> icons;
};

Memory& memory() {
    static Memory m;
    // A new program folder (a test's) has icons of its own.
    const QString folder = CacheFolder();
    if (m.folder != folder) {
        m.folder = folder;
        m.icons.clear();
    }
    return m;
}

QString siteKey(const QUrl& url) {
    if (!url.isValid() || url.host().isEmpty())
        return QString();
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return QString();
    return scheme + QStringLiteral("://") + url.host().toLower() +
           (url.port() >= 0 ? QStringLiteral(":%1").arg(url.port()) : QString());
}

QString iconKey(const QUrl& url) {
    return siteKey(url).isEmpty() ? QString() : url.adjusted(QUrl::RemoveFragment).toString();
}

// A file name made of the key's hash: an address never chooses where the file goes.
QString fileOf(const QString& key) {
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex();
    return CacheFolder() + QLatin1Char('/') + QString::fromLatin1(hash) + QStringLiteral(".png");
}

void store(const QString& key, const QIcon& icon, const QPixmap& pixmap) {
    if (key.isEmpty())
        return;
    memory().icons.insert(key, icon);
    if (!QDir().mkpath(CacheFolder()))
        return;
    QSaveFile file(fileOf(key));
    if (file.open(QIODevice::WriteOnly) && pixmap.save(&file, "PNG"))
        file.commit();
}

QIcon recall(const QString& key) {
    if (key.isEmpty())
        return QIcon();
    Memory& m = memory();
    if (const auto it = m.icons.constFind(key); it != m.icons.constEnd())
        return *it;
    const QString file = fileOf(key);
    QIcon icon;
    if (QFileInfo::exists(file))
        icon = QIcon(QPixmap(file));
    // Misses are remembered too, so a listing asks the disk once per address.
    m.icons.insert(key, icon);
    return icon;
}

} // namespace

QString CacheFolder() {
    return modFolders::CacheFolder() + QStringLiteral("/Icons");
}

void ClearMemory() {
    memory().icons.clear();
}

void Remember(const QUrl& pageUrl, const QUrl& iconUrl, const QIcon& icon) {
    if (icon.isNull())
        return;
    const QPixmap pixmap = icon.pixmap(kStoredSize, kStoredSize);
    if (pixmap.isNull())
        return;
    const QIcon kept(pixmap);
    store(iconKey(iconUrl), kept, pixmap);
    store(siteKey(pageUrl), kept, pixmap);
}

void Watch(QWebEnginePage* page) {
    if (!page)
        return;
    QObject::connect(page, &QWebEnginePage::iconChanged, page,
                     [page](const QIcon& icon) { Remember(page->url(), page->iconUrl(), icon); });
}

QIcon Lookup(const QString& iconFile, const QString& url) {
    const QString local = iconFile.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)
                              ? QUrl(iconFile).toLocalFile()
                              : iconFile;
    if (!local.isEmpty() && QFileInfo(local).isAbsolute()) {
        if (QFileInfo(local).isFile() && !QImageReader::imageFormat(local).isEmpty())
            return QIcon(local);
    }
    QIcon icon = recall(iconKey(QUrl(iconFile)));
    if (icon.isNull())
        icon = recall(siteKey(QUrl(url)));
    return icon;
}

} // namespace modSiteIcons
