#include "LocalHttpServer.h"
#include "TestSupport.h"
#include "controls/AutoHideTab.h"
#include "controls/DockingPanes.h"
#include "controls/IconStore.h"
#include "core/QvIds.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "mail/clsMailInfo.h"
#include "mail/frmMailbox.h"
#include "shell/frmMain.h"
#include "shell/modSubsystems.h"
#include "web/cltWebPage.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

// The mail pane as the program plugs it into the main window, over the shipped common data.
TEST(MailWiring, MailPaneComesOutOfItsStripTabWithTheShippedServices) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    modInitial::SetAppPath(dir.path());
    modInitial::ResetShutdown();
    QDir(dir.path()).mkpath("Data");
    modDataFile::WriteEncryptedFile(
        dir.filePath("Data/common.dat"),
        QString::fromUtf8(qvtest::readFile(qvtest::sourceDir() + "/data/common.xml")));
    modDataFile::WriteEncryptedFile(dir.filePath("Data/User.dat"), clsUserData::InitialDocument());
    modInitial::gData = new clsData;
    IconStore icons;
    ASSERT_TRUE(icons.LoadLibrary(qvtest::buildDir() + "/Data/icon.dat"));
    modInitial::gIconStore = &icons;
    cltWebPage::ReleaseGlobal();
    frmMain::extensions() = frmMain::Extensions();
    modSubsystems::Install();
    {
        auto window = std::make_unique<frmMain>();
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        DockingPane* pane = window->dockingPanes()->FindPane(PaneId::Mail);
        ASSERT_NE(pane, nullptr);
        ASSERT_TRUE(pane->IsHidden());
        EXPECT_EQ(window->paneContent(PaneId::Mail), nullptr);

        // Pressing the strip tab makes the pane's window as the pane comes out, typed into first.
        QTest::mouseClick(pane->tab(), Qt::LeftButton);
        ASSERT_TRUE(pane->IsExpanded());
        auto* mailbox = qobject_cast<frmMailbox*>(window->paneContent(PaneId::Mail));
        ASSERT_NE(mailbox, nullptr);
        EXPECT_EQ(pane->Handle(), mailbox);
        ASSERT_TRUE(waitUntil([&] { return mailbox->txt_MailUserName->hasFocus(); }, 3000));
        ASSERT_GT(mailbox->cbo_Mailbox->count(), 0);
        EXPECT_EQ(mailbox->cbo_Mailbox->count(), ProgramMailInfo()->MailboxInfos()->Count());
        EXPECT_EQ(mailbox->cbo_Mailbox->currentText(), QStringLiteral("网易163邮箱"));
        EXPECT_EQ(mailbox->cbo_Mailbox->currentData().toInt(), 1);
        EXPECT_FALSE(mailbox->cbo_Mailbox->itemIcon(0).isNull());
    }
    cltWebPage::ReleaseGlobal();
    frmMain::extensions() = frmMain::Extensions();
    modInitial::gIconStore = nullptr;
    delete modInitial::gData;
    modInitial::gData = nullptr;
}
