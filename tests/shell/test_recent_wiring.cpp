#include "controls/CommandBars.h"
#include "controls/IconStore.h"
#include "controls/TaskDialog.h"
#include "core/QvIds.h"
#include "core/modInitial.h"
#include "shell/frmMain.h"
#include "shell/modSubsystems.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "common/RecordingShell.h"
#include "common/ScopedEnv.h"
#include "common/ShellLinkWriter.h"
#include "common/TestSupport.h"

// The program's own wiring: the toolbar "工具" ends with the recent-documents menu, which reads
// the user's Wine Recent folder, and the window hands the menu's commands to it.
TEST(RecentMenuWiring, TheToolbarCarriesTheMenuAndTheWindowRunsItsCommands) {
    QTemporaryDir home;
    const QString prefix = home.path() + "/wine";
    const QString recent = prefix + "/drive_c/users/qvuser/Recent";
    QDir().mkpath(recent);
    QDir().mkpath(prefix + "/drive_c/docs");
    QDir().mkpath(prefix + "/dosdevices");
    ASSERT_TRUE(QFile::link("../drive_c", prefix + "/dosdevices/c:"));
    const QString document = QDir(prefix + "/drive_c").canonicalPath() + "/docs/plan.doc";
    qvtest::writeFile(document, "content");
    const QString shortcut = recent + "/plan.doc.lnk";
    ASSERT_TRUE(
        shelllink::write(shortcut, shelllink::local("C:\\docs\\plan.doc"), QDateTime::currentDateTime()));

    ScopedEnv data("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    ScopedEnv wine("WINEPREFIX", prefix.toUtf8());
    ScopedEnv user("USER", QByteArray("qvuser"));
    IconStore icons;
    ASSERT_TRUE(icons.LoadLibrary(qvtest::buildDir() + "/Data/icon.dat"));
    modInitial::gIconStore = &icons;
    RecordingShell shell;
    ShellService::setInstance(&shell);
    QStringList asked;
    TaskDialog::SetAnswerer([&](const TaskDialog& d) -> std::optional<int> {
        asked << d.ContentText;
        return Answer::Yes;
    });
    frmMain::extensions() = frmMain::Extensions();
    modSubsystems::Install();

    {
        frmMain window;
        CommandBar* tools = window.toolBarTools();
        CommandBarControl* button = tools->Item(tools->Count() - 1);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->Id(), Cmd::RecentMenu);
        EXPECT_EQ(button->Caption(), "最近的文档");

        emit button->CommandBar()->menu()->aboutToShow();
        CommandBarControl* entry = button->CommandBar()->Item(0);
        ASSERT_EQ(entry->Id(), Cmd::RecentDocument);
        EXPECT_EQ(entry->Caption(), "plan.doc");
        EXPECT_EQ(entry->TooltipText(), document);
        entry->Execute();
        EXPECT_EQ(shell.opened, QStringList{document});

        window.commandBars()->FindControl(Cmd::RecentDeleteToday)->Execute();
        EXPECT_EQ(asked, QStringList{"今天所有的文件记录"});
        EXPECT_FALSE(QFile::exists(shortcut));
        EXPECT_TRUE(QFile::exists(document));
    }

    TaskDialog::SetAnswerer({});
    ShellService::setInstance(nullptr);
    frmMain::extensions() = frmMain::Extensions();
    modInitial::gIconStore = nullptr;
}
