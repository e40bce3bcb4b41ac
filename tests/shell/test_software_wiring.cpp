#include "controls/CommandBars.h"
#include "core/QvIds.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "shell/frmMain.h"
#include "shell/modSubsystems.h"
#include "software/frmSelectCustomFile.h"

#include "common/RecordingShell.h"
#include "common/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

// The local software as the program plugs it in: the buttons of toolbar "本地工具", a program
// entry that opens its file, "添加软件" showing the custom-application window, and the rescan
// command refilling the bar that holds it.
TEST(SoftwareWiringTest, TheLocalToolbarScansOpensProgramsAndAddsCustomApplications) {
    QTemporaryDir dir;
    const QString D = dir.path();
    modInitial::SetAppPath(D);
    modInitial::ResetShutdown();
    QDir(D).mkpath("Data");
    qvtest::writeFile(D + "/writer", "x");
    modDataFile::WriteEncryptedFile(
        D + "/Data/common.dat",
        "<data><localsoftdefs><d lsid='w' caption='Writer' tip=''><l targettype='File' "
        "action='Link' targetfile='" +
            D +
            "/writer' regvaluetype=''/></d></localsoftdefs>"
            "<appbtnlayout><a caption='办公' iconno='1240' tip=''><ls id='w'/></a></appbtnlayout></data>");
    modDataFile::WriteEncryptedFile(D + "/Data/User.dat", clsUserData::InitialDocument());
    RecordingShell shell;
    ShellService::setInstance(&shell);
    frmMain::extensions() = frmMain::Extensions();
    modSubsystems::Install();
    modInitial::gData = new clsData;
    auto window = std::make_unique<frmMain>();
    window->show();

    CommandBar* local = window->toolBarLocal();
    ASSERT_EQ(local->Count(), 2);
    CommandBarControl* office = local->Item(1);
    emit window->commandBars()->InitCommandsPopup(office->CommandBar());
    ASSERT_EQ(office->CommandBar()->Count(), 1) << "the first opening scans";
    office->CommandBar()->Item(0)->Execute();
    EXPECT_EQ(shell.opened, QStringList({D + "/writer"}));

    CommandBarControl* mine = local->Item(0);
    emit window->commandBars()->InitCommandsPopup(mine->CommandBar());
    mine->CommandBar()->Item(0)->Execute();
    QPointer<frmSelectCustomFile> form = frmSelectCustomFile::Existing();
    ASSERT_TRUE(form && form->isVisible());
    form->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form; }));

    CommandBar* bar = window->commandBars()->Add("扫描");
    bar->Add(CommandBarControl::Button, Cmd::RescanSoftware, "扫描")->Execute();
    ASSERT_EQ(bar->Count(), 1);
    EXPECT_EQ(bar->Item(0)->Caption(), "Writer");

    window->close();
    window.reset();
    ShellService::setInstance(nullptr);
    frmMain::extensions() = frmMain::Extensions();
}
