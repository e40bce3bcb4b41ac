#include "update/clsHTTPDownload.h"

#include "update/NetworkAccess.h"

#include <QAbstractNetworkCache>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>
#include <limits>

namespace {

int gTimeout = 30000;

qint32 toStatus(quint32 status) {
    return static_cast<qint32>(status);
}

qint32 clamp32(qint64 n) {
    return static_cast<qint32>(qBound<qint64>(0, n, qint64(std::numeric_limits<qint32>::max())));
}

} // namespace

clsHTTPDownload::clsHTTPDownload(QObject* parent) : QObject(parent) {
    mIdle.setSingleShot(true);
    connect(&mIdle, &QTimer::timeout, this, [this] {
        mTimedOut = true;
        if (mBinding)
            mBinding->abort();
    });
}

clsHTTPDownload::~clsHTTPDownload() {
    // A download still running is aborted; its waiting call returns false without touching this
    // object again.
    if (mBinding)
        mBinding->abort();
    if (mLoop)
        mLoop->quit();
}

void clsHTTPDownload::SetTimeout(int milliseconds) {
    gTimeout = milliseconds;
}

QString clsHTTPDownload::ErrorText(qint32 status) {
    switch (static_cast<quint32>(status)) {
    case 0x800C0002:
        return QStringLiteral("Invalid URL.");
    case 0x800C0003:
        return QStringLiteral("No Session.");
    case 0x800C0004:
        return QStringLiteral("Cannot Connect");
    case 0x800C0005:
        return QStringLiteral("Resource Not Found.");
    case 0x800C0006:
        return QStringLiteral("File Not Found.");
    case 0x800C0007:
        return QStringLiteral("Data Not Available.");
    case 0x800C0008:
        return QStringLiteral("Download Failure.");
    case 0x800C0009:
        return QStringLiteral("Authentication Failure.");
    case 0x800C000A:
        return QStringLiteral("No Valid Media.");
    case 0x800C000B:
        return QStringLiteral("Connection Timeout.");
    case 0x800C000C:
        return QStringLiteral("Invalid Request.");
    case 0x800C000D:
        return QStringLiteral("Unknown Protocol.");
    case 0x800C000E:
        return QStringLiteral("Security Problem.");
    case 0x800C000F:
        return QStringLiteral("Cannot Load Data.");
    case 0x800C0010:
        return QStringLiteral("Cannot Instantiate Object.");
    case 0x800C0011:
        return QStringLiteral("Default Action.");
    case 0x800C0013:
        return QStringLiteral("QueryOption Unknown.");
    case 0x800C0014:
        return QStringLiteral("Redirect Failed.");
    case 0x800C0015:
        return QStringLiteral("Redirect To Dir.");
    case 0x800C0016:
        return QStringLiteral("Cannot Lock Request.");
    case 0x800C0100:
        return QStringLiteral("Code Download Declined.");
    case 0x800C0200:
        return QStringLiteral("Result Dispatched.");
    case 0x800C0300:
        return QStringLiteral("Cannot Replace SFP File.");
    default:
        return QStringLiteral("Unknown.");
    }
}

// Qt's network errors as the statuses of the download error table.
quint32 clsHTTPDownload::statusOf(QNetworkReply* reply) {
    const bool localFile = reply->url().isLocalFile();
    switch (reply->error()) {
    case QNetworkReply::NoError:
        return Ok;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::UnknownProxyError:
        return CannotConnect;
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ContentGoneError:
        return ResourceNotFound;
    case QNetworkReply::ContentNotFoundError:
        return localFile ? FileNotFound : ResourceNotFound;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyTimeoutError:
        return ConnectionTimeout;
    case QNetworkReply::AuthenticationRequiredError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return AuthenticationFailure;
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::InsecureRedirectError:
    case QNetworkReply::ContentAccessDenied:
        return SecurityProblem;
    case QNetworkReply::TooManyRedirectsError:
        return RedirectFailed;
    case QNetworkReply::ProtocolUnknownError:
        return UnknownProtocol;
    case QNetworkReply::ProtocolInvalidOperationError:
    case QNetworkReply::ContentOperationNotPermittedError:
    case QNetworkReply::ContentConflictError:
    case QNetworkReply::UnknownContentError:
        return InvalidRequest;
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::BackgroundRequestNotAllowedError:
        return NoSession;
    case QNetworkReply::InternalServerError:
    case QNetworkReply::OperationNotImplementedError:
    case QNetworkReply::ServiceUnavailableError:
    case QNetworkReply::UnknownServerError:
        return DataNotAvailable;
    case QNetworkReply::OperationCanceledError:
        return Aborted;
    default:
        // The connection closed early, a malformed answer, a proxy that hung up, anything else.
        return DownloadFailure;
    }
}

std::optional<bool> clsHTTPDownload::StartTheStinkinDownLoad(const QString& File2DownLoad,
                                                             const QString& File2Save) {
    if (mRunning)
        return std::nullopt;
    mRunning = true;
    mKilled = false;
    mTimedOut = false;
    QPointer<clsHTTPDownload> self(this);
    qint64 written = 0;
    quint32 status = run(File2DownLoad, File2Save, &written);
    if (!self)
        return false;
    if (status == Ok && written > 0)
        emit VicDLProg(clamp32(written), clamp32(written), DataFinished, QString());
    if (!self)
        return false;
    if (status == Ok) {
        emit VicDLDone();
    } else {
        QString text = ErrorText(toStatus(status));
        bool cancelled = mKilled;
        emit VicDLCrash(toStatus(status), text, cancelled);
    }
    if (!self)
        return false;
    mBinding = nullptr;
    mRunning = false;
    return status == Ok;
}

quint32 clsHTTPDownload::run(const QString& address, const QString& target, qint64* written) {
    const QUrl url(address, QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || scheme.isEmpty())
        return InvalidUrl;
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https") &&
        scheme != QLatin1String("file"))
        return UnknownProtocol;
    if (scheme != QLatin1String("file") && url.host().isEmpty())
        return InvalidUrl;

    // The file reaches its name only when it is complete.
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return DownloadFailure;

    QNetworkRequest request = NetworkAccess::FreshRequest(url);
    request.setMaximumRedirectsAllowed(10);
    QNetworkReply* reply = NetworkAccess::Manager()->get(request);
    reply->setParent(this);
    mBinding = reply;

    QEventLoop loop;
    bool writeFailed = false;
    auto drain = [&] {
        const QByteArray chunk = reply->readAll();
        if (!chunk.isEmpty() && out.write(chunk) != chunk.size()) {
            writeFailed = true;
            reply->abort();
        }
    };
    connect(reply, &QNetworkReply::readyRead, this, [&] {
        mIdle.start(gTimeout);
        drain();
    });
    // Qt reports the amount received as the total once a download of unknown length ends; only
    // a total the server announced (or a local file's size) counts as known.
    const bool totalAnnounced = url.isLocalFile();
    connect(reply, &QNetworkReply::downloadProgress, this, [&](qint64 received, qint64 total) {
        // A cancelled download reports no more progress.
        if (mKilled)
            return;
        mIdle.start(gTimeout);
        if (total > 0 && (totalAnnounced || reply->header(QNetworkRequest::ContentLengthHeader).isValid()))
            emit VicDLProg(clamp32(received), clamp32(total), DataArriving, QString());
    });
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);

    QPointer<clsHTTPDownload> self(this);
    mIdle.start(gTimeout);
    emit VicDLStart();
    if (!self)
        return Aborted;
    if (!reply->isFinished()) {
        mLoop = &loop;
        loop.exec();
        if (!self)
            return Aborted;
        mLoop = nullptr;
    }
    mIdle.stop();

    quint32 status;
    if (mKilled)
        status = Aborted;
    else if (mTimedOut)
        status = ConnectionTimeout;
    else if (writeFailed)
        status = DownloadFailure;
    else if (!reply->isFinished()) {
        // The event loop was ended from outside (the application quits): the download cannot finish.
        status = Aborted;
    } else
        status = statusOf(reply);

    if (status == Ok) {
        drain();
        *written = out.size();
        if (writeFailed || !out.commit())
            status = DownloadFailure;
    } else {
        out.cancelWriting();
    }
    reply->disconnect(this);
    if (!reply->isFinished())
        reply->abort();
    reply->disconnect(&loop);
    reply->deleteLater();
    return status;
}

void clsHTTPDownload::KillVic() {
    if (mRunning) {
        // A download is cancelled once, also when the abort's own events ask for it again.
        if (mKilled)
            return;
        mKilled = true;
    }
    if (mBinding)
        mBinding->abort();
    emit VicDLCancelled();
    mBinding = nullptr;
}

bool clsHTTPDownload::DeleteVicCache(const QString& Filename) {
    QAbstractNetworkCache* cache = NetworkAccess::Manager()->cache();
    return cache && cache->remove(QUrl(Filename, QUrl::TolerantMode));
}
