#include "update/clsXMLGetText.h"

#include "platform/AnsiCodec.h"
#include "update/NetworkAccess.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStringDecoder>

namespace {

int gTimeout = 30000;

// The response as text: a byte-order mark first, then the charset the server names, then UTF-8,
// as an XML HTTP request object reads it.
QString decodeResponse(const QByteArray& body, const QByteArray& contentType) {
    if (body.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(body.mid(3));
    if (body.startsWith("\xFF\xFE") || body.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(body.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE
                                                           : QStringConverter::Utf16BE);
        return decoder.decode(body.mid(2));
    }
    QByteArray charset;
    for (const QByteArray& part : contentType.split(';')) {
        const QByteArray p = part.trimmed();
        if (p.toLower().startsWith("charset="))
            charset = p.mid(8).trimmed().toLower().replace('"', "");
    }
    if (charset == "gbk" || charset == "gb2312" || charset == "gb18030" || charset == "cp936")
        return AnsiCodec::toUnicode(body);
    if (!charset.isEmpty() && charset != "utf-8" && charset != "utf8") {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid())
            return decoder.decode(body);
    }
    return QString::fromUtf8(body);
}

} // namespace

clsXMLGetText::clsXMLGetText(QObject* parent) : QObject(parent) {}

void clsXMLGetText::SetTimeout(int milliseconds) {
    gTimeout = milliseconds;
}

void clsXMLGetText::OpenURL(const QString& url) {
    QNetworkRequest request = NetworkAccess::FreshRequest(QUrl(url, QUrl::TolerantMode));
    request.setTransferTimeout(gTimeout);
    QNetworkReply* reply = NetworkAccess::Manager()->get(request);
    // The request lives with this fetcher: when the fetcher goes, so does its pending reply.
    reply->setParent(this);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > LargestText) {
            reply->setProperty("qvTooLarge", true);
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        const QString text = reply->property("qvTooLarge").toBool()
                                 ? QString()
                                 : decodeResponse(reply->readAll(), reply->rawHeader("Content-Type"));
        reply->deleteLater();
        emit Completed(text);
    });
}
