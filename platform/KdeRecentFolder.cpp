#include "platform/KdeRecentFolder.h"

#include "platform/DesktopEntry.h"

#include <QFile>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QUrl>

namespace {

// "$HOME/x", "${HOME}/x": variables of the environment; unknown ones become empty, as the
// shell would have it.
QString expandVariables(const QString& value) {
    static const QRegularExpression variable(
        QStringLiteral(R"(\$(?:\{([A-Za-z_][A-Za-z0-9_]*)\}|([A-Za-z_][A-Za-z0-9_]*)))"));
    QString out;
    qsizetype last = 0;
    QRegularExpressionMatchIterator it = variable.globalMatch(value);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(value).mid(last, m.capturedStart() - last);
        const QString name = m.captured(1).isEmpty() ? m.captured(2) : m.captured(1);
        out += qEnvironmentVariable(name.toLocal8Bit().constData());
        last = m.capturedEnd();
    }
    out += QStringView(value).mid(last);
    return out;
}

} // namespace

KdeRecentFolder::KdeRecentFolder(const QString& folder)
    : RecentShortcutFolder(folder, QStringLiteral(".desktop")) {}

std::optional<QString> KdeRecentFolder::EntryTarget(const QString& desktopFile) {
    const DesktopEntry entry = DesktopEntry::Read(desktopFile);
    // "URL[$e]" asks for the environment's variables to be expanded.
    const bool expand = entry.contains(QStringLiteral("URL[$e]"));
    QString url = entry.value(expand ? QStringLiteral("URL[$e]") : QStringLiteral("URL"));
    if (expand)
        url = expandVariables(url);
    if (url.trimmed().isEmpty())
        return std::nullopt;
    if (url.startsWith(QLatin1Char('/')))
        return url;
    const QUrl address(url);
    if (!address.isValid() || address.scheme().isEmpty())
        return std::nullopt;
    if (address.isLocalFile())
        return address.toLocalFile();
    return url;
}
