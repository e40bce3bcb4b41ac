#include "platform/KdeRecentFolder.h"

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

// Undoes the escapes of desktop entry values (\s \n \t \r \\).
QString unescapeValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar n = value.at(++i);
        switch (n.unicode()) {
        case 's':
            out += QLatin1Char(' ');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        default:
            out += n;
            break;
        }
    }
    return out;
}

} // namespace

KdeRecentFolder::KdeRecentFolder(const QString& folder)
    : RecentShortcutFolder(folder, QStringLiteral(".desktop")) {}

std::optional<QString> KdeRecentFolder::EntryTarget(const QString& desktopFile) {
    QFile file(desktopFile);
    // Link entries are a few lines; anything large is not one.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024)
        return std::nullopt;
    const QString text = QString::fromUtf8(file.readAll());
    bool inEntry = false;
    QString url;
    bool expand = false;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inEntry || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QStringView key = line.left(eq).trimmed();
        if (key == QLatin1String("URL") || key == QLatin1String("URL[$e]")) {
            url = unescapeValue(line.mid(eq + 1).trimmed().toString());
            expand = key != QLatin1String("URL");
        }
    }
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
