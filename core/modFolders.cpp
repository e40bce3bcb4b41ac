#include "core/modFolders.h"

#include "core/modInitial.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#ifndef QV_INSTALLED_DATA_DIR
#define QV_INSTALLED_DATA_DIR "../share/quorvel"
#endif

namespace modFolders {
namespace {

struct Decision {
    QString programFolder;
    QString dataHome;
    bool valid = false;
    bool installed = false;
    bool writesIntoProgramFolder = true;
    QString dataFolder;
    QString userFolder;
};

Decision& cached() {
    static Decision decision;
    return decision;
}

// True when the folder exists and refuses to be written: read-only (a read-only mount, an
// immutable folder, no write permission). access() answers for the mount and the immutable flag
// too, where the mode bits alone would let root through. A folder that is missing or cannot be
// looked at is no read-only copy: its failures show where the files are used.
bool refusesWrites(const QString& folder) {
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0)
        return false;
    return errno == EROFS || errno == EACCES || errno == EPERM;
}

QString userDataHome() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

const Decision& decision() {
    Decision& d = cached();
    const QString program = modInitial::AppPath();
    const QString home = userDataHome();
    if (d.valid && d.programFolder == program && d.dataHome == home)
        return d;
    d = Decision();
    d.programFolder = program;
    d.dataHome = home;
    d.valid = true;
    const QString installedData = InstalledDataFolder(program);
    d.installed = !QFileInfo::exists(program + QStringLiteral("/Data/common.dat")) &&
                  QFileInfo::exists(installedData + QStringLiteral("/common.dat"));
    d.dataFolder = d.installed ? installedData : program + QStringLiteral("/Data");
    d.writesIntoProgramFolder = !d.installed && !refusesWrites(program);
    if (d.writesIntoProgramFolder)
        d.userFolder = program;
    else if (!home.isEmpty())
        d.userFolder = QDir::cleanPath(home + QStringLiteral("/Quorvel"));
    return d;
}

// A path below the user folder; empty when there is none, so that nothing ends up at the top
// of the file system.
QString inUserFolder(const QString& relative) {
    const QString folder = decision().userFolder;
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + relative;
}

// mkdir -p with the given mode for the folders it makes.
bool makeFolderChain(const QString& folder, mode_t mode, QString* error) {
    const QFileInfo info(folder);
    if (info.isDir())
        return true;
    const QString parent = info.absolutePath();
    if (parent != info.absoluteFilePath() && !makeFolderChain(parent, mode, error))
        return false;
    if (::mkdir(QFile::encodeName(folder).constData(), mode) != 0 && errno != EEXIST) {
        *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(folder),
                                              QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (!QFileInfo(folder).isDir()) {
        *error = QStringLiteral("%1: 不是文件夹").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    return true;
}

} // namespace

QString ProgramFolder() {
    return modInitial::AppPath();
}

bool WritesIntoProgramFolder() {
    return decision().writesIntoProgramFolder;
}

bool IsInstalledCopy() {
    return decision().installed;
}

QString InstalledDataFolder(const QString& programFolder) {
    return QDir::cleanPath(programFolder + QLatin1Char('/') + QStringLiteral(QV_INSTALLED_DATA_DIR));
}

QString DataFolder() {
    return decision().dataFolder;
}

QString CommonDataFile() {
    return DataFolder() + QStringLiteral("/common.dat");
}

QString IconLibraryFile() {
    return DataFolder() + QStringLiteral("/icon.dat");
}

QString MachineRegistryFile() {
    return DataFolder() + QStringLiteral("/Registry/HKEY_LOCAL_MACHINE.reg");
}

QString UserFolder() {
    return decision().userFolder;
}

QString UserDataFile() {
    return inUserFolder(QStringLiteral("Data/User.dat"));
}

QString LocalPageFolder() {
    return inUserFolder(QStringLiteral("Data"));
}

QString CacheFolder() {
    return inUserFolder(QStringLiteral("Cache"));
}

QString TempFolder() {
    return inUserFolder(QStringLiteral("Temp"));
}

QString LogFile() {
    return inUserFolder(QStringLiteral("log.txt"));
}

bool CreateUserFolder(QString* error) {
    const QString folder = UserFolder();
    if (folder.isEmpty()) {
        *error = QStringLiteral("没有用户数据文件夹（XDG_DATA_HOME 和 HOME 都没有设置）");
        return false;
    }
    return makeFolderChain(folder, 0700, error);
}

void Refresh() {
    cached().valid = false;
}

} // namespace modFolders
