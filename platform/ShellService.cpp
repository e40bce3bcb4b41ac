#include "platform/ShellService.h"

#include "platform/DesktopEntry.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextStream>
#include <QUrl>

namespace {

ShellService* gInstalledService = nullptr;

const QString kFileManagerService = QStringLiteral("org.freedesktop.FileManager1");

// An address with a scheme of at least two letters; "C:\..." is a drive, not a scheme.
bool hasUrlScheme(const QString& target) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(target).hasMatch();
}

struct ExecToken {
    QString text;
    bool quoted = false;
};

// Splits an Exec value into arguments: blanks separate, double quotes group, and inside quotes a
// backslash escapes ", `, $ and \.
QList<ExecToken> splitExec(const QString& exec) {
    QList<ExecToken> tokens;
    ExecToken current;
    bool inToken = false;
    bool inQuotes = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (inQuotes) {
            if (c == QLatin1Char('"')) {
                inQuotes = false;
            } else if (c == QLatin1Char('\\') && i + 1 < exec.size()) {
                current.text += exec.at(++i);
            } else {
                current.text += c;
            }
        } else if (c == QLatin1Char('"')) {
            inQuotes = true;
            inToken = true;
            current.quoted = true;
        } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
            if (inToken)
                tokens.append(current);
            current = ExecToken();
            inToken = false;
        } else {
            current.text += c;
            inToken = true;
        }
    }
    if (inToken)
        tokens.append(current);
    return tokens;
}

// The nearest folder that exists, from `path` upwards.
QString nearestExistingFolder(const QString& path) {
    QFileInfo info(path);
    QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    while (!QFileInfo(folder).isDir()) {
        const QString parent = QFileInfo(folder).absolutePath();
        if (parent == folder)
            break;
        folder = parent;
    }
    return folder;
}

bool fileManagerAvailable(QDBusConnection& bus) {
    QDBusConnectionInterface* iface = bus.interface();
    if (!iface)
        return false;
    if (iface->isServiceRegistered(kFileManagerService).value())
        return true;
    const QDBusMessage query = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListActivatableNames"));
    const QDBusMessage reply = bus.call(query, QDBus::Block, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    return reply.arguments().constFirst().toStringList().contains(kFileManagerService);
}

} // namespace

ShellService::~ShellService() = default;

ShellService& ShellService::instance() {
    static DesktopShellService desktop;
    return gInstalledService ? *gInstalledService : desktop;
}

void ShellService::setInstance(ShellService* service) {
    gInstalledService = service;
}

bool DesktopShellService::open(const QString& target) {
    if (target.trimmed().isEmpty())
        return false;

    QString path = target;
    if (hasUrlScheme(target)) {
        const QUrl url(target);
        if (!url.isLocalFile())
            return QDesktopServices::openUrl(url);
        path = url.toLocalFile();
    }

    const QFileInfo info(path);
    if (!info.exists()) {
        // A bare program name, as the shell finds programs on the search path; the Windows
        // ".exe" ending of names in the data is not part of a Linux program's name.
        if (path.contains(QLatin1Char('/')))
            return false;
        QString program = QStandardPaths::findExecutable(path);
        if (program.isEmpty() && path.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
            program = QStandardPaths::findExecutable(path.chopped(4));
        return !program.isEmpty() && startProgram(program);
    }
    if (info.isFile() && info.suffix().compare(QLatin1String("desktop"), Qt::CaseInsensitive) == 0)
        return startDesktopEntry(info.absoluteFilePath());
    if (isStartableProgram(info.absoluteFilePath()))
        return startProgram(info.absoluteFilePath());
    return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
}

bool DesktopShellService::showInFileManager(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && QFileInfo::exists(absolute) && fileManagerAvailable(bus)) {
        QDBusMessage call = QDBusMessage::createMethodCall(kFileManagerService,
                                                           QStringLiteral("/org/freedesktop/FileManager1"),
                                                           kFileManagerService, QStringLiteral("ShowItems"));
        call << QStringList{QUrl::fromLocalFile(absolute).toString()} << QString();
        const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
    }
    // No file manager that selects items: open the folder (or the nearest one that exists).
    QFileInfo info(absolute);
    const QString folder = nearestExistingFolder(info.isDir() ? info.absolutePath() : absolute);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

QStringList DesktopShellService::desktopEntryCommand(const QString& desktopFile) {
    const DesktopEntry entry = DesktopEntry::Read(desktopFile);
    if (!entry.isValid() || entry.value(QStringLiteral("Exec")).isEmpty())
        return {};
    QStringList command;
    for (const ExecToken& token : splitExec(entry.value(QStringLiteral("Exec")))) {
        // A field code standing alone is an argument that expands to the files or addresses
        // being opened; nothing is opened with the program here, so it drops out.
        static const QRegularExpression lone(QStringLiteral("^%[fFuUdDnNvm]$"));
        if (lone.match(token.text).hasMatch())
            continue;
        if (token.text == QLatin1String("%i")) {
            if (const QString icon = entry.value(QStringLiteral("Icon")); !icon.isEmpty())
                command << QStringLiteral("--icon") << icon;
            continue;
        }
        QString arg;
        for (qsizetype i = 0; i < token.text.size(); ++i) {
            const QChar c = token.text.at(i);
            if (c != QLatin1Char('%') || i + 1 >= token.text.size()) {
                arg += c;
                continue;
            }
            const QChar code = token.text.at(++i);
            if (code == QLatin1Char('%'))
                arg += QLatin1Char('%');
            else if (code == QLatin1Char('c'))
                arg += entry.value(QStringLiteral("Name"));
            else if (code == QLatin1Char('k'))
                arg += desktopFile;
            // every other field code expands to nothing
        }
        if (!arg.isEmpty() || token.quoted)
            command << arg;
    }
    return command;
}

bool DesktopShellService::isStartableProgram(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || !info.isExecutable())
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(4);
    return head.startsWith("\x7f"
                           "ELF") ||
           head.startsWith("#!");
}

bool DesktopShellService::startDesktopEntry(const QString& desktopFile) {
    const DesktopEntry entry = DesktopEntry::Read(desktopFile);
    if (!entry.isValid())
        return false;
    if (entry.value(QStringLiteral("Type")) == QLatin1String("Link")) {
        const QString url = entry.value(QStringLiteral("URL"));
        return !url.isEmpty() && QDesktopServices::openUrl(QUrl::fromUserInput(url));
    }
    QStringList command = desktopEntryCommand(desktopFile);
    if (command.isEmpty())
        return false;
    const QString program = command.takeFirst();
    return startProgram(program, command, entry.value(QStringLiteral("Path")));
}

bool DesktopShellService::startProgram(const QString& program, const QStringList& arguments,
                                       const QString& workingFolder) {
    return QProcess::startDetached(program, arguments, workingFolder);
}
