#include "update/clsOnlineUpdate.h"

#include "controls/CommandBars.h"
#include "controls/StatusBar.h"
#include "core/QvError.h"
#include "core/QvIds.h"
#include "core/modDevelopeFunction.h"
#include "core/modFolders.h"
#include "core/modInitial.h"
#include "core/modMessagebox.h"
#include "core/modTools.h"
#include "platform/PlainMessage.h"
#include "update/clsHTTPDownload.h"
#include "update/clsXMLGetText.h"
#include "update/modUpdateFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWidget>
#include <cmath>
#include <cstdio>

namespace {

void log(const QString& text) {
    if (modInitial::gIsDevelopMode)
        modDevelopeFunction::WriteLog(text);
}

// The list arrives from the network: a document type declaration (and with it any entity) is
// never accepted.
bool hasDocumentType(const QString& text) {
    return text.contains(QLatin1String("<!DOCTYPE"), Qt::CaseInsensitive) ||
           text.contains(QLatin1String("<!ENTITY"), Qt::CaseInsensitive);
}

// Moves `from` over `to` in one step; the old `to` is gone only when the new one is in place.
bool replaceFile(const QString& from, const QString& to) {
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

void restartThroughUpdater() {
    modMessagebox::NotifyRestartForUpdate();
    modInitial::StartUpdater();
    if (modInitial::gMainWindow)
        modInitial::gMainWindow->close();
}

} // namespace

clsOnlineUpdate* clsOnlineUpdate::Global() {
    static QPointer<clsOnlineUpdate> global;
    if (!global)
        global = new clsOnlineUpdate(QCoreApplication::instance());
    return global;
}

clsOnlineUpdate::clsOnlineUpdate(QObject* parent) : QObject(parent), mRestart(restartThroughUpdater) {}

clsOnlineUpdate::~clsOnlineUpdate() {
    if (mydl)
        mydl->KillVic();
}

bool clsOnlineUpdate::MayReplaceProgramFiles() {
    // A read-only or installed copy belongs to whoever installed it, usually the system's
    // package manager; only a copy whose folder the program writes itself is updated here.
    return modFolders::WritesIntoProgramFolder();
}

StatusBar* clsOnlineUpdate::statusBar() const {
    return modInitial::gCommandBars ? modInitial::gCommandBars->statusBar() : nullptr;
}

void clsOnlineUpdate::setStatusText(const QString& text) {
    StatusBar* bar = statusBar();
    if (!bar)
        return;
    StatusBarPane* pane = bar->FindPane(StatusPaneId::UpdateStatus);
    if (!pane)
        pane = bar->AddPane(StatusPaneId::UpdateStatus);
    pane->setText(text);
}

StatusBarPane* clsOnlineUpdate::progressPane() const {
    StatusBar* bar = statusBar();
    return bar ? bar->FindPane(StatusPaneId::UpdateProgress) : nullptr;
}

void clsOnlineUpdate::removeProgressPane() {
    if (StatusBar* bar = statusBar())
        bar->RemovePane(StatusPaneId::UpdateProgress);
}

void clsOnlineUpdate::OnlineUpdateChecking() {
    if (mDownloading)
        return;
    if (!MayReplaceProgramFiles()) {
        log(QStringLiteral("在线更新跳过: 程序文件不由本程序更新"));
        emit checkFinished(NotAllowed);
        return;
    }
    setStatusText(TextChecking);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (!m_oOnlineUpdateFileListCheck) {
        m_oOnlineUpdateFileListCheck = new clsXMLGetText(this);
        connect(m_oOnlineUpdateFileListCheck, &clsXMLGetText::Completed, this,
                &clsOnlineUpdate::m_oOnlineUpdateFileListCheck_Completed);
    }
    m_oOnlineUpdateFileListCheck->OpenURL(modInitial::gUrlOnlineUpdateList);
}

void clsOnlineUpdate::OnlineUpdateCheckingOnRequest() {
    if (!MayReplaceProgramFiles()) {
        ShowPlainMessage(modFolders::IsInstalledCopy()
                             ? TextFromPackageManager
                             : TextReadOnlyFolder.arg(QDir::toNativeSeparators(modInitial::AppPath())),
                         QStringLiteral("Quorvel"));
    }
    OnlineUpdateChecking();
}

bool clsOnlineUpdate::CancelDownload() {
    // The download object stays until its waiting call has returned; the loop of downloadAll
    // drops it.
    if (mydl) {
        mCancelled = true;
        mydl->KillVic();
    }
    return false;
}

void clsOnlineUpdate::finishWith(Outcome outcome) {
    emit checkFinished(outcome);
}

void clsOnlineUpdate::failed(const QString& why) {
    log(QStringLiteral("在线更新失败: ") + why);
    removeProgressPane();
    setStatusText(TextFailed);
    finishWith(Failed);
}

void clsOnlineUpdate::m_oOnlineUpdateFileListCheck_Completed(const QString& ReturnValue) {
    // A list that arrives while the files of an earlier one are downloading is not acted on.
    if (mDownloading)
        return;
    XmlDocument document;
    if (hasDocumentType(ReturnValue) || !document.loadXML(ReturnValue)) {
        finishWith(ListUnusable);
        return;
    }
    const XmlNode fileList = document.selectSingleNode(QStringLiteral("filelist"));
    if (fileList.isNull()) {
        finishWith(ListUnusable);
        return;
    }
    try {
        filterList(fileList);
    } catch (const QvError& e) {
        failed(e.description());
        return;
    }
    if (fileList.childElements().length() == 0) {
        removeProgressPane();
        setStatusText(TextUpToDate);
        finishWith(UpToDate);
        return;
    }

    const QString temp = modFolders::TempFolder();
    QDir().mkpath(temp);
    setStatusText(TextUpdating);
    if (StatusBar* bar = statusBar()) {
        if (!bar->FindPane(StatusPaneId::UpdateProgress)) {
            StatusBarPane* progress = bar->AddProgressPane(StatusPaneId::UpdateProgress);
            progress->setWidth(100);
            progress->setProgressRange(100);
            progress->widget()->setAccessibleName(QStringLiteral("在线更新进度"));
        }
    }

    mDownloading = true;
    QPointer<clsOnlineUpdate> self(this);
    bool complete = false;
    QString why;
    try {
        complete = downloadAll(fileList);
    } catch (const QvError& e) {
        why = e.description();
    }
    if (!self)
        return;
    if (!complete) {
        mDownloading = false;
        failed(why.isEmpty() ? QStringLiteral("download") : why);
        return;
    }
    try {
        applyUpdaterEntries(fileList);
        document.save(temp + QStringLiteral("/filelist.dat"));
    } catch (const QvError& e) {
        mDownloading = false;
        failed(e.description());
        return;
    }
    removeProgressPane();
    log(QStringLiteral("在线更新: 文件已下载, 重新启动以安装"));
    finishWith(Restarting);
    if (self && mRestart)
        mRestart();
    if (self)
        mDownloading = false;
}

void clsOnlineUpdate::filterList(XmlNode fileList) {
    const QString folder = modInitial::AppPath();
    const QString temp = modFolders::TempFolder();
    mTotalSize = 0;
    // Every entry is read before any is dropped: one entry that cannot be used stops the whole update.
    std::vector<std::pair<XmlNode, modUpdateFiles::FileRecord>> entries;
    for (const XmlNode& file : fileList.childElements())
        entries.emplace_back(file, modUpdateFiles::ReadFileRecord(file, folder, temp));

    for (const auto& [file, record] : entries) {
        bool keep = false;
        bool counts = true;
        if (!QFileInfo::exists(record.localPath)) {
            keep = true;
        } else if (modUpdateFiles::IsMainProgramEntry(record.fileName)) {
            // The running program's own version, whatever the file on disk says.
            keep = modTools::ProgramVersionNumber().toInt() < record.version;
        } else if (record.compareMode == QLatin1String("ver")) {
            // A file without readable version data is never replaced in this mode.
            const QString local = modUpdateFiles::GetFileVersionNumber(record.localPath);
            keep = !local.isEmpty() && local.toInt() < record.version;
        } else if (record.compareMode == QLatin1String("lastwritetime")) {
            const qint64 local = modTools::GetTimeSerial(QFileInfo(record.localPath).lastModified());
            const qint64 server = modTools::GetTimeSerial(record.lastWriteTime);
            // The server's copy must be more than five minutes newer.
            keep = server - local >= 301;
        } else if (record.compareMode == QLatin1String("overwriteanyway")) {
            keep = true;
        } else if (record.compareMode == QLatin1String("overwritenoexist")) {
            keep = false;
        } else {
            keep = true;
            counts = false;
        }
        if (!keep)
            fileList.removeChild(file);
        else if (counts)
            mTotalSize += record.size;
    }
}

bool clsOnlineUpdate::downloadAll(const XmlNode& fileList) {
    const QString folder = modInitial::AppPath();
    const QString temp = modFolders::TempFolder();
    mCancelled = false;
    mBytesFetched = 0;
    if (StatusBarPane* progress = progressPane())
        progress->setProgressValue(0);
    auto* download = new clsHTTPDownload(this);
    mydl = download;
    connect(download, &clsHTTPDownload::VicDLProg, this, &clsOnlineUpdate::mydl_VicDLProg);
    connect(download, &clsHTTPDownload::VicDLCrash, this, &clsOnlineUpdate::mydl_VicDLCrash);

    bool complete = true;
    QString why;
    QPointer<clsOnlineUpdate> self(this);
    for (const XmlNode& file : fileList.childElements()) {
        const modUpdateFiles::FileRecord record = modUpdateFiles::ReadFileRecord(file, folder, temp);
        download->DeleteVicCache(record.url);
        const std::optional<bool> fetched =
            download->StartTheStinkinDownLoad(record.url, record.downloadPath);
        if (!self)
            return false;
        if (mCancelled || !fetched || !*fetched) {
            complete = false;
            break;
        }
        // A short or wrong file never goes further than Temp, and not even there.
        const qint64 size = QFileInfo(record.downloadPath).size();
        if (size != record.size) {
            QFile::remove(record.downloadPath);
            why = QStringLiteral("%1: 大小 %2, 更新列表中为 %3").arg(record.url).arg(size).arg(record.size);
            complete = false;
            break;
        }
    }
    if (!complete && !mCancelled)
        download->KillVic();
    mydl = nullptr;
    delete download;
    if (!why.isEmpty())
        throw QvError(QvErrors::General, why);
    return complete;
}

void clsOnlineUpdate::applyUpdaterEntries(XmlNode fileList) {
    const QString folder = modInitial::AppPath();
    const QString temp = modFolders::TempFolder();
    for (const XmlNode& file : fileList.childElements()) {
        if (!modUpdateFiles::IsUpdaterEntry(file.getAttribute(QStringLiteral("filename"))))
            continue;
        const modUpdateFiles::FileRecord record = modUpdateFiles::ReadFileRecord(file, folder, temp);
        QDir().mkpath(QFileInfo(record.localPath).path());
        modUpdateFiles::CarryExecutePermission(record.downloadPath, record.localPath);
        // The updater cannot replace itself while it runs; the main program puts it in place.
        if (!replaceFile(record.downloadPath, record.localPath))
            throw QvError(QvErrors::PathAccess,
                          QStringLiteral("%1 无法替换为 %2").arg(record.localPath, record.downloadPath));
        fileList.removeChild(file);
    }
}

void clsOnlineUpdate::mydl_VicDLProg(qint32 VicBytesIn, qint32 VicTotalBytes, qint32 StatusCode,
                                     const QString&) {
    StatusBarPane* progress = progressPane();
    if (!progress)
        return;
    if (StatusCode == clsHTTPDownload::DataArriving) {
        if (mTotalSize > 0)
            progress->setProgressValue(
                int(std::lround(double(mBytesFetched + VicBytesIn) / double(mTotalSize) * 100.0)));
    } else if (StatusCode == clsHTTPDownload::DataFinished) {
        mBytesFetched += VicTotalBytes;
    }
}

void clsOnlineUpdate::mydl_VicDLCrash(qint32 VicErrNum, QString& VicErrDescr, bool& Cancelled) {
    log(QStringLiteral("在线更新下载失败: %1 %2%3")
            .arg(QString::number(quint32(VicErrNum), 16), VicErrDescr,
                 Cancelled ? QStringLiteral(" (已取消)") : QString()));
}
