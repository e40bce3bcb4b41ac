#include "platform/PlainMessage.h"
#include "platform/ShellService.h"

#include "TestSupport.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include "common/RecordingShell.h"

namespace {

bool waitForFile(const QString& path, int ms = 10000) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        if (QFileInfo(path).size() > 0)
            return true;
        QThread::msleep(20);
    }
    return false;
}

void writeExecutable(const QString& path, const QByteArray& content) {
    qvtest::writeFile(path, content);
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner | QFileDevice::ExeUser);
}

// ---- The process-wide service ----------------------------------------------------------------

TEST(ShellServiceInstance, InstalledServiceReceivesTheCallsUntilRemoved) {
    RecordingShell fake;
    ShellService::setInstance(&fake);
    ShellService::instance().open("mailto:someone@example.com");
    ShellService::instance().showInFileManager("/tmp/a.txt");
    ShellService::setInstance(nullptr);

    EXPECT_EQ(fake.opened, QStringList{"mailto:someone@example.com"});
    EXPECT_EQ(fake.shown, QStringList{"/tmp/a.txt"});
    EXPECT_NE(dynamic_cast<DesktopShellService*>(&ShellService::instance()), nullptr);
}

// ---- Desktop entries -------------------------------------------------------------------------

TEST(DesktopEntryCommand, FieldCodesDropOutAndQuotingIsUndone) {
    QTemporaryDir dir;
    const QString file = dir.path() + "/app.desktop";
    qvtest::writeFile(
        file, "[Desktop Entry]\n"
              "Type=Application\n"
              "Name=My App\n"
              "Icon=myicon\n"
              "Exec=\"/opt/my app/run\" --title %c \"a \\\\\"quoted\\\\\" arg\" 100%% %U --file=%f %i %k\n");
    const QStringList command = DesktopShellService::desktopEntryCommand(file);
    EXPECT_EQ(command, (QStringList{"/opt/my app/run", "--title", "My App", "a \"quoted\" arg", "100%",
                                    "--file=", "--icon", "myicon", file}));
}

TEST(DesktopEntryCommand, OnlyTheDesktopEntryGroupCounts) {
    QTemporaryDir dir;
    const QString file = dir.path() + "/app.desktop";
    qvtest::writeFile(file, "# comment\n"
                            "[Desktop Action new]\n"
                            "Exec=wrong --new\n"
                            "[Desktop Entry]\n"
                            "Exec=right %F\n"
                            "[Desktop Action other]\n"
                            "Exec=wrong --other\n");
    EXPECT_EQ(DesktopShellService::desktopEntryCommand(file), QStringList{"right"});

    qvtest::writeFile(file, "[Something Else]\nExec=nothing\n");
    EXPECT_TRUE(DesktopShellService::desktopEntryCommand(file).isEmpty());
    EXPECT_TRUE(DesktopShellService::desktopEntryCommand(dir.path() + "/missing.desktop").isEmpty());
}

// ---- Starting programs -----------------------------------------------------------------------

TEST(DesktopShellServiceOpen, StartsAnExecutableScript) {
    QTemporaryDir dir;
    const QString marker = dir.path() + "/ran.txt";
    const QString script = dir.path() + "/tool";
    writeExecutable(script, "#!/bin/sh\necho started > '" + marker.toUtf8() + "'\n");

    DesktopShellService shell;
    EXPECT_TRUE(shell.open(script));
    EXPECT_TRUE(waitForFile(marker));
}

TEST(DesktopShellServiceOpen, StartsTheCommandOfADesktopFile) {
    QTemporaryDir dir;
    const QString marker = dir.path() + "/ran.txt";
    const QString entry = dir.path() + "/tool.desktop";
    qvtest::writeFile(entry, "[Desktop Entry]\nType=Application\nName=Tool\nPath=" + dir.path().toUtf8() +
                                 "\nExec=sh -c \"pwd > ran.txt\" %U\n");

    DesktopShellService shell;
    EXPECT_TRUE(shell.open(entry));
    ASSERT_TRUE(waitForFile(marker));
    // The entry's Path is the working folder.
    EXPECT_EQ(qvtest::readFile(marker).trimmed(), dir.path().toUtf8());
}

TEST(DesktopShellServiceOpen, FindsABareProgramNameOnPath) {
    QTemporaryDir dir;
    const QString marker = dir.path() + "/ran.txt";
    writeExecutable(dir.path() + "/qvtesttool", "#!/bin/sh\necho ok > '" + marker.toUtf8() + "'\n");
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", dir.path().toUtf8() + ":" + oldPath);

    DesktopShellService shell;
    // Names in the data carry the Windows ending.
    const bool started = shell.open("qvtesttool.exe");
    qputenv("PATH", oldPath);
    EXPECT_TRUE(started);
    EXPECT_TRUE(waitForFile(marker));
}

TEST(DesktopShellServiceOpen, NothingToOpen) {
    QTemporaryDir dir;
    DesktopShellService shell;
    EXPECT_FALSE(shell.open(""));
    EXPECT_FALSE(shell.open("   "));
    EXPECT_FALSE(shell.open(dir.path() + "/no such file.txt"));
    EXPECT_FALSE(shell.open("qv-no-such-program-here"));
}

TEST(DesktopShellServiceOpen, ExecutableBitAloneDoesNotMakeAProgram) {
    QTemporaryDir dir;
    const QString doc = dir.path() + "/notes.txt";
    writeExecutable(doc, "plain text, executable bit set by a careless copy\n");
    const QString script = dir.path() + "/run.sh";
    writeExecutable(script, "#!/bin/sh\n");
    const QString unmarked = dir.path() + "/plain.sh";
    qvtest::writeFile(unmarked, "#!/bin/sh\n");

    EXPECT_FALSE(DesktopShellService::isStartableProgram(doc));
    EXPECT_TRUE(DesktopShellService::isStartableProgram(script));
    EXPECT_FALSE(DesktopShellService::isStartableProgram(unmarked));
    EXPECT_TRUE(DesktopShellService::isStartableProgram("/bin/sh"));
    EXPECT_FALSE(DesktopShellService::isStartableProgram(dir.path()));
}

// ---- Plain messages --------------------------------------------------------------------------

TEST(PlainMessage, InstalledHandlerSeesTextAndTitle) {
    QStringList seen;
    SetPlainMessageHandler([&](const QString& text, const QString& title) { seen << text << title; });
    ShowPlainMessage("53File not found", "Quorvel");
    ShowPlainMessage("second");
    SetPlainMessageHandler({});
    EXPECT_EQ(seen, (QStringList{"53File not found", "Quorvel", "second", ""}));
}

TEST(PlainMessage, AutoAnswerWritesOneLineToStderr) {
    qputenv("QV_AUTOANSWER", "1");
    testing::internal::CaptureStderr();
    ShowPlainMessage(QStringLiteral("你已经运行了主程序"), "Quorvel");
    ShowPlainMessage("two\nlines");
    const std::string err = testing::internal::GetCapturedStderr();
    qunsetenv("QV_AUTOANSWER");
    EXPECT_EQ(QString::fromStdString(err),
              QStringLiteral("QV message: 你已经运行了主程序\nQV message: two lines\n"));
}

} // namespace
