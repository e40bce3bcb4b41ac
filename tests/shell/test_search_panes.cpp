#include "controls/CommandBars.h"
#include "controls/DockingPanes.h"
#include "core/QvIds.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "search/frmAdvSearch.h"
#include "search/frmSearch.h"
#include "shell/frmMain.h"
#include "shell/modSubsystems.h"

#include <QCoreApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The search panes as the program plugs them into the main window.
TEST(MainWindowSearchPanes, QuickPaneHandsOverToTheAdvancedPane) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    modInitial::SetAppPath(dir.path());
    QDir(dir.path()).mkpath("Data");
    modDataFile::WriteEncryptedFile(dir.filePath("Data/User.dat"), clsUserData::InitialDocument());
    modInitial::gData = new clsData;
    frmMain::extensions() = frmMain::Extensions();
    modSubsystems::Install();
    {
        frmMain window;
        window.show();
        QCoreApplication::processEvents();
        DockingPaneManager* panes = window.dockingPanes();
        DockingPane* quick = panes->FindPane(PaneId::Search);
        ASSERT_NE(quick, nullptr);
        EXPECT_TRUE(quick->IsHidden());

        // The pane's window is made as the pane comes out.
        panes->ShowPane(PaneId::Search);
        auto* search = qobject_cast<frmSearch*>(window.paneContent(PaneId::Search));
        ASSERT_NE(search, nullptr);
        EXPECT_EQ(quick->Handle(), search);

        search->btn_AdvSearch->click();
        QCoreApplication::processEvents();
        DockingPane* advanced = panes->FindPane(PaneId::AdvancedSearch);
        ASSERT_NE(advanced, nullptr);
        EXPECT_FALSE(advanced->IsHidden());
        EXPECT_NE(qobject_cast<frmAdvSearch*>(advanced->Handle()), nullptr);
        EXPECT_TRUE(quick->IsHidden());
        EXPECT_TRUE(window.superSearchButton()->Checked());

        // Asking again while it is open keeps the one pane; the toolbar button then closes it.
        search->btn_AdvSearch->click();
        EXPECT_EQ(panes->FindPane(PaneId::AdvancedSearch), advanced);
        window.superSearchButton()->Execute();
        QCoreApplication::processEvents();
        EXPECT_EQ(panes->FindPane(PaneId::AdvancedSearch), nullptr);
        EXPECT_FALSE(window.superSearchButton()->Checked());
    }
    frmMain::extensions() = frmMain::Extensions();
    delete modInitial::gData;
    modInitial::gData = nullptr;
}
