#include "platform/SpecialFolders.h"

#include "platform/ShellService.h"

#include <QDir>
#include <QStandardPaths>

namespace SpecialFolders {
namespace {

QString firstProgram(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

QString standardFolder(QStandardPaths::StandardLocation location) {
    const QString path = QStandardPaths::writableLocation(location);
    // Without a configured user folder Qt falls back to the home folder; that is still a folder.
    return path.isEmpty() ? QDir::homePath() : path;
}

} // namespace

QString Path(int csidl) {
    switch (csidl) {
    case Personal:
        return standardFolder(QStandardPaths::DocumentsLocation);
    case MyMusic:
        return standardFolder(QStandardPaths::MusicLocation);
    case MyPictures:
        return standardFolder(QStandardPaths::PicturesLocation);
    case RecycleBin:
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash/files";
    case Recent:
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/RecentDocuments";
    default:
        return QString();
    }
}

QIcon ThemeIcon(int csidl) {
    switch (csidl) {
    case Personal:
        return QIcon::fromTheme("folder-documents", QIcon::fromTheme("folder"));
    case MyMusic:
        return QIcon::fromTheme("folder-music", QIcon::fromTheme("audio-x-generic"));
    case MyPictures:
        return QIcon::fromTheme("folder-pictures", QIcon::fromTheme("image-x-generic"));
    case Drives:
        return QIcon::fromTheme("computer");
    case Network:
        return QIcon::fromTheme("network-workgroup", QIcon::fromTheme("network-wired"));
    case ControlPanel:
        return QIcon::fromTheme("preferences-system", QIcon::fromTheme("preferences-desktop"));
    case Printers:
        return QIcon::fromTheme("printer");
    case RecycleBin:
        return QIcon::fromTheme("user-trash");
    case Recent:
        return QIcon::fromTheme("document-open-recent");
    default:
        return QIcon();
    }
}

bool Open(int csidl) {
    ShellService& shell = ShellService::instance();
    switch (csidl) {
    case Personal:
    case MyMusic:
    case MyPictures: {
        const QString path = Path(csidl);
        QDir().mkpath(path);
        return shell.open(path);
    }
    case RecycleBin:
        // The trash as the file manager shows it; its files folder when no handler takes trash:.
        return shell.open("trash:///") || shell.open(Path(RecycleBin));
    case Drives:
        return shell.open("computer:///") || shell.open(QDir::rootPath());
    case Network:
        return shell.open("network:///") || shell.open("smb://");
    case ControlPanel: {
        const QString program = firstProgram({"gnome-control-center", "systemsettings", "systemsettings5",
                                              "xfce4-settings-manager", "mate-control-center", "lxqt-config",
                                              "cinnamon-settings"});
        return !program.isEmpty() && shell.open(program);
    }
    case Printers: {
        const QString program = firstProgram({"system-config-printer"});
        if (!program.isEmpty())
            return shell.open(program);
        // CUPS serves its own printer pages on every Linux desktop that prints.
        return shell.open("http://localhost:631/printers/");
    }
    default:
        return false;
    }
}

} // namespace SpecialFolders
