#include "controls/CommandBars.h"
#include "controls/TaskDialog.h"
#include "core/QvIds.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "platform/PlainMessage.h"
#include "platform/ShellService.h"
#include "shell/frmMain.h"
#include "shell/modSubsystems.h"
#include "software/frmSelectCustomFile.h"

#include "common/RecordingShell.h"
#include "common/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

// The local software as the program plugs it in: the buttons of toolbar "本地工具" from the
// common data, a program entry that opens its file, "添加软件" opening the custom-application
// window, and the rescan command refilling the bar that holds it with what the scan found.
TEST(SoftwareWiringTest, TheLocalToolbarScansOpensProgramsAndAddsCustomApplications) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString D = dir.path();
    modInitial::SetAppPath(D);
    modInitial::ResetShutdown();
    QDir(D).mkpath("Data");
    qvtest::writeFile(D + "/writer", "#!/bin/sh\n");
    modDataFile::WriteEncryptedFile(
        D + "/Data/common.dat",
        QString("<data><version c='1' i='1'/><links/><localsoftdefs><def lsid='w' caption='Writer' tip=''>"
                "<l targettype='File' action='Link' targetfile='$D/writer' "
                "regvaluetype=''/></def></localsoftdefs>"
                "<appbtnlayout><appbtn caption='办公' iconno='1240' tip=''><ls "
                "id='w'/></appbtn></appbtnlayout></data>")
            .replace("$D", D));
    modDataFile::WriteEncryptedFile(D + "/Data/User.dat", clsUserData::InitialDocument());
    RecordingShell shell;
    ShellService::setInstance(&shell);
    QStringList messages;
    SetPlainMessageHandler([&](const QString& text, const QString&) { messages << text; });
    frmMain::extensions() = frmMain::Extensions();
    modSubsystems::Install();
    modInitial::gData = new clsData;

    auto window = std::make_unique<frmMain>();
    window->show();
    CommandBar* local = window->toolBarLocal();
    ASSERT_EQ(local->Count(), 2);
    EXPECT_EQ(local->Item(0)->Caption(), "我的软件");
    CommandBarControl* office = local->Item(1);
    EXPECT_EQ(office->Caption(), "办公");

    // The first opening scans for this new user; the program entry opens its file.
    emit window->commandBars()->InitCommandsPopup(office->CommandBar());
    ASSERT_EQ(office->CommandBar()->Count(), 1);
    office->CommandBar()->Item(0)->Execute();
    EXPECT_EQ(shell.opened, QStringList({D + "/writer"}));

    // "添加软件" shows the custom-application window.
    CommandBarControl* mine = local->Item(0);
    emit window->commandBars()->InitCommandsPopup(mine->CommandBar());
    mine->CommandBar()->Item(0)->Execute();
    QPointer<frmSelectCustomFile> form = frmSelectCustomFile::Existing();
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->isVisible());
    form->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form; }));

    // The rescan command: the bar that holds it lists the programs found.
    CommandBar* bar = window->commandBars()->Add("扫描");
    bar->Add(CommandBarControl::Button, Cmd::RescanSoftware, "扫描")->Execute();
    ASSERT_EQ(bar->Count(), 1);
    EXPECT_EQ(bar->Item(0)->Id(), Cmd::OpenProgram);
    EXPECT_EQ(bar->Item(0)->Caption(), "Writer");
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

    TaskDialog::SetAnswerer([](const TaskDialog&) -> std::optional<int> { return 106; });
    window->close();
    window.reset();
    TaskDialog::SetAnswerer({});
    SetPlainMessageHandler({});
    ShellService::setInstance(nullptr);
    frmMain::extensions() = frmMain::Extensions();
}
