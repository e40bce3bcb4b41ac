#include "updater/modQVUpdate.h"

#include "core/QvError.h"
#include "core/XmlDocument.h"
#include "platform/PlainMessage.h"
#include "platform/ProcessState.h"
#include "update/modUpdateFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

namespace modQVUpdate {

namespace {

int gWaitLimit = 60000;
std::function<bool(const QString&, const QString&)> gStarter;
std::function<void()> gPreparer;

// Larger lists are not a list the main program wrote.
constexpr qint64 kLargestList = 16 * 1024 * 1024;

void showMessage(const QString& text) {
    if (gPreparer)
        gPreparer();
    ShowPlainMessage(text, QString::fromLatin1(Title));
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool renamePath(const QString& from, const QString& to) {
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// Sets the access and last write time of the file. The platform keeps no settable creation time.
void setFileTimes(const QString& path, const QDateTime& localTime) {
    const QDateTime time(localTime.date(), QTime(localTime.time().hour(), localTime.time().minute(),
                                                 localTime.time().second()));
    struct timespec times[2];
    times[0].tv_sec = time_t(time.toSecsSinceEpoch());
    times[0].tv_nsec = 0;
    times[1] = times[0];
    if (::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) != 0)
        throw QvError(QvErrors::PathAccess, systemError());
}

// The files moved so far, so that a failure can put everything back.
class Replacement {
public:
    explicit Replacement(QString programFolder) : mFolder(std::move(programFolder)) {}

    // Creates the missing folders above `file`, remembering each one it made.
    void createFolderChain(const QString& file) {
        const QString folder = QFileInfo(file).path();
        QStringList missing;
        for (QString f = folder; !QFileInfo::exists(f); f = QFileInfo(f).path()) {
            missing.prepend(f);
            if (QFileInfo(f).path() == f)
                break;
        }
        for (const QString& f : std::as_const(missing)) {
            if (!QDir().mkdir(f))
                throw QvError(QvErrors::PathAccess, QStringLiteral("文件夹 %1 无法创建").arg(f));
            mCreatedFolders << f;
        }
        if (!QFileInfo(folder).isDir())
            throw QvError(QvErrors::PathAccess, QStringLiteral("%1 不是文件夹").arg(folder));
    }

    // Moves the installed file aside and the downloaded one into its place.
    void replace(const QString& download, const QString& local) {
        const QFileInfo target(local);
        if (target.isDir() && !target.isSymLink())
            throw QvError(QvErrors::PathAccess, QStringLiteral("目标是一个文件夹"));
        QString aside;
        if (target.exists() || target.isSymLink()) {
            aside = local + QStringLiteral(".qvupdate-old");
            QFile::remove(aside);
            if (!renamePath(local, aside))
                throw QvError(QvErrors::PathAccess, QStringLiteral("原文件无法移开: ") + systemError());
            mAside.push_back({local, aside});
        }
        modUpdateFiles::CarryExecutePermission(download, aside.isEmpty() ? local : aside);
        if (!renamePath(download, local))
            throw QvError(QvErrors::PathAccess, QStringLiteral("新文件无法放到位: ") + systemError());
        mMoved.push_back({download, local});
    }

    // Every file is in place: the old ones go.
    void commit() {
        for (const auto& [local, aside] : mAside)
            QFile::remove(aside);
        mAside.clear();
        mMoved.clear();
        mCreatedFolders.clear();
    }

    // Puts the new files back into Temp and the old ones back into place, newest first.
    void rollback() {
        for (auto it = mMoved.rbegin(); it != mMoved.rend(); ++it) {
            if (!renamePath(it->second, it->first))
                QFile::remove(it->second);
        }
        for (auto it = mAside.rbegin(); it != mAside.rend(); ++it)
            renamePath(it->second, it->first);
        for (auto it = mCreatedFolders.crbegin(); it != mCreatedFolders.crend(); ++it)
            QDir().rmdir(*it);
        mMoved.clear();
        mAside.clear();
        mCreatedFolders.clear();
    }

private:
    QString mFolder;
    std::vector<std::pair<QString, QString>> mMoved; // download path, local path
    std::vector<std::pair<QString, QString>> mAside; // local path, kept-aside path
    QStringList mCreatedFolders;
};

XmlNode loadList(const QString& path, XmlDocument& document) {
    QFile file(path);
    if (!file.exists())
        throw QvError(QvErrors::FileNotFound, QStringLiteral("更新列表 %1 不存在").arg(path));
    if (file.size() > kLargestList || !file.open(QIODevice::ReadOnly))
        throw QvError(QvErrors::PathAccess, QStringLiteral("更新列表 %1 无法读取").arg(path));
    const QByteArray bytes = file.readAll();
    if (bytes.contains("<!DOCTYPE") || bytes.contains("<!ENTITY") || !document.loadXMLUtf8(bytes))
        throw QvError(QvErrors::PathAccess, QStringLiteral("更新列表 %1 不是可用的 XML").arg(path));
    const XmlNode list = document.selectSingleNode(QStringLiteral("filelist"));
    if (list.isNull())
        throw QvError(QvErrors::ObjectMissing, QStringLiteral("更新列表 %1 没有 filelist").arg(path));
    return list;
}

} // namespace

void SetWaitLimit(int milliseconds) {
    gWaitLimit = milliseconds;
}

void SetProgramStarter(std::function<bool(const QString&, const QString&)> starter) {
    gStarter = std::move(starter);
}

void SetMessagePreparer(std::function<void()> preparer) {
    gPreparer = std::move(preparer);
}

int Main(const QStringList& arguments, const QString& programFolder) {
    const QString folder = QDir::cleanPath(QDir(programFolder).absolutePath());
    const QString listPath = folder + QStringLiteral("/Temp/filelist.dat");
    Replacement replacement(folder);
    QString current; // the local path of the file being handled
    try {
        const QString commandLine = arguments.join(QLatin1Char(' ')).trimmed();
        bool ok = false;
        const qint32 pid = commandLine.toInt(&ok);
        if (!ok || pid <= 0)
            throw QvError(QvErrors::TypeMismatch,
                          QStringLiteral("命令行不是主程序的进程号: \"%1\"").arg(commandLine));

        // The main program is ending; the check yields the processor between its tries.
        QElapsedTimer waited;
        waited.start();
        while (IsProcessRunning(pid)) {
            if (waited.elapsed() > gWaitLimit)
                throw QvError(
                    QvErrors::General,
                    QStringLiteral("主程序 (进程 %1) 在 %2 秒内没有退出").arg(pid).arg(gWaitLimit / 1000));
            QThread::msleep(20);
        }

        XmlDocument document;
        const XmlNode list = loadList(listPath, document);

        // Every entry is checked before anything moves: nothing outside the program folder is
        // ever touched, and a missing download leaves every installed file as it is.
        std::vector<modUpdateFiles::FileRecord> records;
        for (const XmlNode& file : list.childElements()) {
            current = folder + QLatin1Char('/') + file.getAttribute(QStringLiteral("clientlocation"));
            records.push_back(modUpdateFiles::ReadFileRecord(file, folder));
            current = records.back().localPath;
            if (!QFileInfo(records.back().downloadPath).isFile())
                throw QvError(QvErrors::FileNotFound,
                              QStringLiteral("下载的文件 %1 不存在").arg(records.back().downloadPath));
        }

        for (const modUpdateFiles::FileRecord& record : records) {
            current = record.localPath;
            replacement.createFolderChain(record.localPath);
            replacement.replace(record.downloadPath, record.localPath);
            try {
                setFileTimes(record.localPath, record.lastWriteTime);
            } catch (const QvError& e) {
                showMessage(QStringLiteral("localfileSetLastWriteTime Module ") + e.description());
            }
        }
        current.clear();
        if (!QFile::remove(listPath))
            throw QvError(QvErrors::PathAccess, QStringLiteral("更新列表 %1 无法删除").arg(listPath));
        replacement.commit();

        current = folder + QLatin1Char('/') + QLatin1String(modUpdateFiles::MainProgram);
        const bool started =
            gStarter ? gStarter(current, folder) : QProcess::startDetached(current, {}, folder);
        if (!started)
            throw QvError(QvErrors::General, QStringLiteral("主程序无法启动"));
        return 0;
    } catch (const QvError& e) {
        // Everything is put back before the message: the user may leave it open for long.
        replacement.rollback();
        showMessage(QStringLiteral("在线升级失败！请重新下载安装包: ") + QLatin1String(DownloadPage) +
                    QLatin1Char('\n') + QStringLiteral("错误情况: ") + current + QLatin1Char('\n') +
                    e.description());
        return 1;
    }
}

} // namespace modQVUpdate
