#include "LocalHttpServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

LocalHttpServer::LocalHttpServer(QObject* parent) : QObject(parent), mServer(new QTcpServer(this)) {
    connect(mServer, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = mServer->nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                mBuffers.remove(socket);
                socket->deleteLater();
            });
        }
    });
}

LocalHttpServer::~LocalHttpServer() = default;

bool LocalHttpServer::start() {
    return mServer->listen(QHostAddress::LocalHost, 0);
}

quint16 LocalHttpServer::port() const {
    return mServer->serverPort();
}

QString LocalHttpServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

void LocalHttpServer::serve(const QByteArray& path, const QByteArray& body, const QByteArray& contentType) {
    serve(path, [body, contentType](const Request&) {
        Response r;
        r.body = body;
        r.contentType = contentType;
        return r;
    });
}

void LocalHttpServer::serve(const QByteArray& path, Handler handler) {
    mHandlers.insert(path, std::move(handler));
}

QList<LocalHttpServer::Request> LocalHttpServer::requestsFor(const QByteArray& path) const {
    QList<Request> out;
    for (const Request& r : mRequests) {
        if (r.path() == path)
            out << r;
    }
    return out;
}

bool LocalHttpServer::waitForRequest(const QByteArray& path, int ms) {
    return waitUntil([&] { return !requestsFor(path).isEmpty(); }, ms);
}

void LocalHttpServer::onReadyRead(QTcpSocket* socket) {
    QByteArray& buffer = mBuffers[socket];
    buffer += socket->readAll();
    for (;;) {
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        Request request;
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        request.target = first.value(1);
        for (int i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                       lines[i].mid(colon + 1).trimmed());
        }
        const qsizetype length = request.headers.value("content-length", "0").toLongLong();
        if (buffer.size() < headerEnd + 4 + length)
            return;
        request.body = buffer.mid(headerEnd + 4, length);
        buffer.remove(0, headerEnd + 4 + length);
        mRequests << request;
        emit requestReceived(request);

        Response response;
        if (auto it = mHandlers.find(request.path()); it != mHandlers.end()) {
            response = it.value()(request);
        } else {
            response.status = 404;
            response.body = "<html><head><title>Not found</title></head><body>not found</body></html>";
        }
        QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) +
                         (response.status == 200 ? " OK" : " Status") +
                         "\r\nContent-Type: " + response.contentType +
                         "\r\nContent-Length: " + QByteArray::number(response.body.size()) +
                         "\r\nCache-Control: no-store\r\n";
        for (const auto& [name, value] : response.extraHeaders)
            out += name + ": " + value + "\r\n";
        out += "\r\n" + response.body;
        socket->write(out);
        socket->flush();
    }
}

bool waitUntil(const std::function<bool()>& condition, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}
