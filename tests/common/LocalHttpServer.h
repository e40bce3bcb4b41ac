#pragma once
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QTcpServer;
class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 for tests: serves the pages a test registers and records
// every request it receives (method, path with query, headers, body).
class LocalHttpServer : public QObject {
    Q_OBJECT
public:
    struct Request {
        QByteArray method;
        QByteArray target;                     // path and query as sent
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
        QByteArray path() const { return target.split('?').first(); }
        QByteArray query() const {
            return target.contains('?') ? target.mid(target.indexOf('?') + 1) : QByteArray();
        }
    };
    struct Response {
        int status = 200;
        QByteArray contentType = "text/html; charset=utf-8";
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> extraHeaders;
    };
    using Handler = std::function<Response(const Request&)>;

    explicit LocalHttpServer(QObject* parent = nullptr);
    ~LocalHttpServer() override;

    // Listens on 127.0.0.1 at a free port; false when that fails.
    bool start();
    quint16 port() const;
    // "http://127.0.0.1:<port>" followed by `path`.
    QString url(const QString& path = QStringLiteral("/")) const;

    // Serves `body` at `path` (the query is ignored when matching).
    void serve(const QByteArray& path, const QByteArray& body,
               const QByteArray& contentType = "text/html; charset=utf-8");
    void serve(const QByteArray& path, Handler handler);

    QList<Request> requests() const { return mRequests; }
    // The requests for one path, oldest first.
    QList<Request> requestsFor(const QByteArray& path) const;
    // Waits (running the event loop) until a request for `path` arrived; false after `ms`.
    bool waitForRequest(const QByteArray& path, int ms = 20000);

signals:
    void requestReceived(const LocalHttpServer::Request& request);

private:
    void onReadyRead(QTcpSocket* socket);

    QTcpServer* mServer;
    QHash<QByteArray, Handler> mHandlers;
    QHash<QTcpSocket*, QByteArray> mBuffers;
    QList<Request> mRequests;
};

// Runs the event loop until `condition` holds; false after `ms`.
bool waitUntil(const std::function<bool()>& condition, int ms = 20000);
