#include "platform/DesktopEntry.h"

#include <QFile>
#include <QStringView>

namespace {

// Desktop entries are small; anything larger is not one.
constexpr qint64 kMaxSize = 1024 * 1024;

} // namespace

DesktopEntry DesktopEntry::Read(const QString& path) {
    DesktopEntry entry;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxSize)
        return entry;
    const QString text = QString::fromUtf8(file.read(kMaxSize));
    bool inMainGroup = false;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            entry.mValid = entry.mValid || inMainGroup;
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        entry.mValues.insert(line.left(eq).trimmed().toString(),
                             Unescape(line.mid(eq + 1).trimmed().toString()));
    }
    if (!entry.mValid)
        entry.mValues.clear();
    return entry;
}

QString DesktopEntry::Unescape(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 >= value.size()) {
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
        case '\\':
            out += QLatin1Char('\\');
            break;
        default:
            out += QLatin1Char('\\');
            out += n;
        }
    }
    return out;
}
