#include "web/modURLHandle.h"

#include <QRegularExpression>

namespace modURLHandle {

namespace {

QString orNoContent(const QString& text) {
    return text.isEmpty() ? QString::fromLatin1(NoContent) : text;
}

} // namespace

URLParts SplitURL(const QString& address) {
    URLParts parts;
    const QString text = address.trimmed();

    QString scheme;
    QString rest = text;
    const qsizetype schemeEnd = text.indexOf(QLatin1String("://"));
    if (schemeEnd > 0) {
        scheme = text.left(schemeEnd);
        rest = text.mid(schemeEnd + 3);
    }

    // The fragment belongs to no part.
    if (const qsizetype hash = rest.indexOf('#'); hash >= 0)
        rest.truncate(hash);

    qsizetype hostEnd = rest.size();
    for (const QChar stop : {QChar('/'), QChar('?')}) {
        const qsizetype at = rest.indexOf(stop);
        if (at >= 0 && at < hostEnd)
            hostEnd = at;
    }
    QString hostPart = rest.left(hostEnd);
    QString pathAndQuery = rest.mid(hostEnd);

    QString query;
    if (const qsizetype q = pathAndQuery.indexOf('?'); q >= 0) {
        query = pathAndQuery.mid(q + 1);
        pathAndQuery.truncate(q);
    }
    const QString path = pathAndQuery;

    QString user;
    QString password;
    if (const qsizetype at = hostPart.lastIndexOf('@'); at >= 0) {
        const QString userInfo = hostPart.left(at);
        hostPart = hostPart.mid(at + 1);
        const qsizetype colon = userInfo.indexOf(':');
        if (colon >= 0) {
            user = userInfo.left(colon);
            password = userInfo.mid(colon + 1);
        } else {
            user = userInfo;
        }
    }

    QString host = hostPart;
    QString portText;
    bool portOk = true;
    // "[::1]:8080": the port follows the closing bracket; colons inside it are the address's own.
    const qsizetype bracket = hostPart.lastIndexOf(']');
    const qsizetype colon = hostPart.lastIndexOf(':');
    if (colon >= 0 && colon > bracket) {
        host = hostPart.left(colon);
        portText = hostPart.mid(colon + 1);
        if (!portText.isEmpty()) {
            static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
            const uint value = portText.toUInt(&portOk);
            portOk = portOk && digits.match(portText).hasMatch() && value <= 0xFFFF;
            if (portOk)
                parts.Port = quint16(value);
        }
    }

    parts.Scheme = orNoContent(scheme);
    parts.User = orNoContent(user);
    parts.Password = orNoContent(password);
    parts.Query = orNoContent(query);
    parts.Host = orNoContent(host);
    parts.Valid = !scheme.isEmpty() && !host.isEmpty() && portOk;

    const qsizetype slash = path.lastIndexOf('/');
    if (slash >= 0) {
        parts.FileName = orNoContent(path.mid(slash + 1));
        parts.DirectoryPath = path.left(slash + 1);
    } else {
        parts.FileName = orNoContent(path);
        parts.DirectoryPath = QString::fromLatin1(NoContent);
    }

    if (!scheme.isEmpty() && !host.isEmpty()) {
        // The port belongs to the site: the icon of a server on 8080 is served on 8080.
        parts.BaseAddress = scheme + QLatin1String("://") + host;
        if (!portText.isEmpty() && portOk)
            parts.BaseAddress += QLatin1Char(':') + portText;
        parts.FaviconAddress = parts.BaseAddress + QLatin1String("/favicon.ico");
    } else {
        parts.BaseAddress = QString::fromLatin1(NoContent);
        parts.FaviconAddress = QString::fromLatin1(NoContent);
    }
    return parts;
}

bool HasScheme(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.contains(QLatin1String("://")))
        return true;
    // Schemes written without "//". "localhost:8080" is a host with a port, not a scheme.
    static const QRegularExpression opaque(
        QStringLiteral("^(about|javascript|mailto|data|view-source|file|chrome|qrc):"),
        QRegularExpression::CaseInsensitiveOption);
    return opaque.match(trimmed).hasMatch();
}

QString AddressWithScheme(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || HasScheme(trimmed))
        return trimmed;
    return QStringLiteral("http://") + trimmed;
}

} // namespace modURLHandle
