#pragma once
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <optional>

class QEventLoop;
class QNetworkReply;

// Downloads a URL to a file and waits for it: StartTheStinkinDownLoad returns when the file is
// complete or the download failed, and runs the event loop meanwhile, so the window repaints and
// commands (a cancel that calls KillVic) run during the download. No cached copy is ever used.
//
// Events of one download: VicDLStart when the request is sent; VicDLProg while data arrives
// with a known total (status code DataArriving) and once at the end (status code
// DataFinished, the file's size as total); then VicDLDone on success or VicDLCrash with the
// status and its text. KillVic raises VicDLCancelled.
//
// The target is written only when the whole file arrived: a failed download leaves whatever
// was at that path before.
class clsHTTPDownload : public QObject {
    Q_OBJECT
public:
    // Statuses of VicDLCrash: the platform's URL-download error codes.
    enum Status : quint32 {
        Ok = 0,
        InvalidUrl = 0x800C0002,
        NoSession = 0x800C0003,
        CannotConnect = 0x800C0004,
        ResourceNotFound = 0x800C0005,
        FileNotFound = 0x800C0006,
        DataNotAvailable = 0x800C0007,
        DownloadFailure = 0x800C0008,
        AuthenticationFailure = 0x800C0009,
        ConnectionTimeout = 0x800C000B,
        InvalidRequest = 0x800C000C,
        UnknownProtocol = 0x800C000D,
        SecurityProblem = 0x800C000E,
        RedirectFailed = 0x800C0014,
        Aborted = 0x80004004, // the download was cancelled (KillVic)
    };
    // Status codes of VicDLProg.
    static constexpr qint32 DataArriving = 5;
    static constexpr qint32 DataFinished = 6;

    explicit clsHTTPDownload(QObject* parent = nullptr);
    ~clsHTTPDownload() override;

    // Nothing when a download of this object is already running; otherwise true when the file
    // was saved, false when the download failed or was cancelled.
    std::optional<bool> StartTheStinkinDownLoad(const QString& File2DownLoad, const QString& File2Save);
    // Aborts a running download and raises VicDLCancelled (also when none runs).
    void KillVic();
    // Removes the URL from the download cache; true when an entry was removed.
    bool DeleteVicCache(const QString& Filename);
    bool IsDownloading() const { return mRunning; }

    // The text of a download status ("Unknown." for a status without its own text).
    static QString ErrorText(qint32 status);
    // A download that receives nothing for this long fails with ConnectionTimeout.
    static void SetTimeout(int milliseconds);

signals:
    void VicDLStart();
    void VicDLDone();
    // Raised when the download stops with any status but 0; Cancelled is true when KillVic came first.
    void VicDLCrash(qint32 VicErrNum, QString& VicErrDescr, bool& Cancelled);
    void VicDLCancelled();
    void VicDLProg(qint32 VicBytesIn, qint32 VicTotalBytes, qint32 StatusCode, const QString& szStatusText);

private:
    quint32 run(const QString& url, const QString& target, qint64* written);
    static quint32 statusOf(QNetworkReply* reply);

    bool mRunning = false;
    bool mKilled = false;
    bool mTimedOut = false;
    // The running request while this object holds it; KillVic lets go of it.
    QPointer<QNetworkReply> mBinding;
    QEventLoop* mLoop = nullptr;
    QTimer mIdle;
};
