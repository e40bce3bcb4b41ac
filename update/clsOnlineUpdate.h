#pragma once
#include "core/XmlDocument.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class clsHTTPDownload;
class clsXMLGetText;
class StatusBar;
class StatusBarPane;

// The online update of the program's own files. It fetches the file list from
// gUrlOnlineUpdateList, keeps the entries whose local file is missing or out of date, downloads
// each of them into Temp with a progress bar in the status bar, replaces the updater itself,
// writes what is left of the list to Temp/filelist.dat, tells the user, starts QVUpdate and
// closes the main window; QVUpdate moves the files into place and starts the program again.
//
// Nothing is downloaded when any entry of the list would place a file outside the program
// folder or is unreadable, and a downloaded file whose size is not the list's fails the update.
class clsOnlineUpdate : public QObject {
    Q_OBJECT
public:
    // How a check ended (checkFinished).
    enum Outcome {
        ListUnusable, // not reachable, not XML or no `filelist`: the status text stays "..检查更新"
        UpToDate,     // "最新版,不需要更新."
        Failed,       // "..在线更新失败，将在下次启动QV的时侯重试..."
        Restarting,   // every file is in Temp and the list is saved; the restart follows
        NotAllowed,   // this installation's program files may not be replaced: nothing was done
    };
    Q_ENUM(Outcome)

    static inline const QString TextChecking = QStringLiteral("..检查更新");
    static inline const QString TextUpToDate = QStringLiteral("最新版,不需要更新.");
    static inline const QString TextUpdating = QStringLiteral("在线更新中...");
    static inline const QString TextFailed = QStringLiteral("..在线更新失败，将在下次启动QV的时侯重试...");
    // What the check-for-updates command says where the program files may not be replaced: an
    // installed copy, and a read-only copy of the program folder (its folder follows).
    static inline const QString TextFromPackageManager =
        QStringLiteral("这份 Quorvel 是安装在系统中的，它的程序文件由系统的软件包管理器管理。"
                       "请通过系统的软件包管理器更新 Quorvel。");
    static inline const QString TextReadOnlyFolder =
        QStringLiteral("Quorvel 的程序文件夹 %1 是只读的，程序文件不能在这里更新。"
                       "请向提供这份 Quorvel 的管理员索取更新。");

    // The program's one coordinator, created on first use and kept until the application ends.
    static clsOnlineUpdate* Global();

    explicit clsOnlineUpdate(QObject* parent = nullptr);
    ~clsOnlineUpdate() override;

    // Starts a check: the status text, then the list request. Does nothing while a download of
    // an earlier check runs. Where the program files may not be replaced it only reports
    // NotAllowed: nothing is fetched and nothing is shown (the check at start-up).
    void OnlineUpdateChecking();
    // The user's check-for-updates command: the same check, except that where the program
    // files may not be replaced the user is told where updates come from.
    void OnlineUpdateCheckingOnRequest();
    // Aborts a running download (the update then ends through its failure path). Returns false.
    bool CancelDownload();
    bool IsDownloading() const { return mDownloading; }

    // Whether this installation lets the online update replace its program files. Every check
    // asks here before it fetches anything.
    static bool MayReplaceProgramFiles();

    // What follows a complete download: by default the restart notice, StartUpdater and the
    // main window's unload. Tests put their own step here.
    void setRestartHandler(std::function<void()> handler) { mRestart = std::move(handler); }

signals:
    void checkFinished(clsOnlineUpdate::Outcome outcome);

private:
    void m_oOnlineUpdateFileListCheck_Completed(const QString& ReturnValue);
    void mydl_VicDLProg(qint32 VicBytesIn, qint32 VicTotalBytes, qint32 StatusCode,
                        const QString& szStatusText);
    void mydl_VicDLCrash(qint32 VicErrNum, QString& VicErrDescr, bool& Cancelled);

    // Removes the entries that need no download; throws QvError for an entry that cannot be used.
    void filterList(XmlNode fileList);
    bool downloadAll(const XmlNode& fileList);
    // Puts a downloaded updater in place and takes its entry off the list.
    void applyUpdaterEntries(XmlNode fileList);
    void finishWith(Outcome outcome);
    void failed(const QString& why);

    StatusBar* statusBar() const;
    void setStatusText(const QString& text);
    void removeProgressPane();
    StatusBarPane* progressPane() const;

    clsXMLGetText* m_oOnlineUpdateFileListCheck = nullptr;
    QPointer<clsHTTPDownload> mydl;
    qint64 mTotalSize = 0;
    qint64 mBytesFetched = 0;
    bool mDownloading = false;
    bool mCancelled = false;
    std::function<void()> mRestart;
};
