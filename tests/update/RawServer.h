#pragma once
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

// A TCP server on 127.0.0.1 that answers every request with fixed bytes (or not at all), for the
// answers a well-behaved HTTP server never gives: a body cut short, no length, no answer.
class RawServer : public QObject {
public:
    // `reply` is written once the first bytes of a request arrived; `close` ends the connection after it.
    explicit RawServer(QByteArray reply, bool close = true) : mReply(std::move(reply)), mClose(close) {
        mServer.listen(QHostAddress::LocalHost, 0);
        connect(&mServer, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = mServer.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    socket->readAll();
                    if (mReply.isEmpty() || socket->property("answered").toBool())
                        return;
                    socket->setProperty("answered", true);
                    socket->write(mReply);
                    socket->flush();
                    if (mClose)
                        socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    quint16 port() const { return mServer.serverPort(); }
    QString url(const QString& scheme = QStringLiteral("http")) const {
        return QStringLiteral("%1://127.0.0.1:%2/file").arg(scheme).arg(port());
    }

private:
    QTcpServer mServer;
    QByteArray mReply;
    bool mClose;
};
