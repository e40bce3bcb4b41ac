#pragma once
#include <QString>
#include <QStringList>

// The desktop's "open" service: documents, folders, addresses and mailto: links open in the
// application the desktop associates with them; programs (executables, .desktop files) start.
// Nothing waits for the opened application.
//
// The program always uses the desktop implementation. A test may install its own service with
// setInstance() to see what would have been opened.
class ShellService {
public:
    virtual ~ShellService();

    // Opens `target`: a local path (document, folder, program, .desktop file), a program name
    // found on PATH, or an address with a scheme (http:, mailto:, file:, trash:, ...).
    // False when nothing could be opened.
    virtual bool open(const QString& target) = 0;
    // Shows `path` selected in a file-manager window on its folder.
    virtual bool showInFileManager(const QString& path) = 0;

    // The process-wide service.
    static ShellService& instance();
    // Installs `service` (not owned) as the process-wide one; nullptr brings back the desktop one.
    static void setInstance(ShellService* service);
};

// The Linux desktop implementation.
class DesktopShellService : public ShellService {
public:
    bool open(const QString& target) override;
    bool showInFileManager(const QString& path) override;

    // The command a .desktop file's Exec line runs, field codes removed and quoting undone
    // (program first). Empty when the file has no usable Exec line.
    static QStringList desktopEntryCommand(const QString& desktopFile);
    // True when `path` is a program to start rather than a document to open: an executable
    // file that is a binary (ELF) or a script with a "#!" line.
    static bool isStartableProgram(const QString& path);

private:
    static bool startDesktopEntry(const QString& desktopFile);
    static bool startProgram(const QString& program, const QStringList& arguments = {},
                             const QString& workingFolder = {});
};
