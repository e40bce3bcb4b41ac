#include "platform/FileIcons.h"

#include "platform/DesktopEntry.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeDatabase>

namespace FileIcons {
namespace {

QIcon fromDesktopEntry(const QString& path) {
    const QString icon = DesktopEntry::Read(path).value(QStringLiteral("Icon"));
    if (icon.isEmpty())
        return QIcon();
    if (QFileInfo(icon).isAbsolute())
        return QIcon(icon);
    return QIcon::fromTheme(icon);
}

QIcon ofMimeType(const QMimeType& type) {
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    return icon;
}

} // namespace

QIcon OfPath(const QString& path) {
    const QFileInfo info(path);
    QIcon icon;
    if (info.suffix() == QLatin1String("desktop"))
        icon = fromDesktopEntry(path);
    if (icon.isNull() && info.isExecutable() && info.isFile())
        icon = QIcon::fromTheme(info.completeBaseName());
    if (icon.isNull())
        icon = ofMimeType(QMimeDatabase().mimeTypeForFile(info));
    if (icon.isNull())
        icon = QFileIconProvider().icon(info);
    return icon;
}

QIcon OfExtension(const QString& extension) {
    const QMimeType type = QMimeDatabase().mimeTypeForFile("x." + extension, QMimeDatabase::MatchExtension);
    QIcon icon = ofMimeType(type);
    if (icon.isNull())
        icon = QFileIconProvider().icon(QFileIconProvider::File);
    return icon;
}

} // namespace FileIcons
