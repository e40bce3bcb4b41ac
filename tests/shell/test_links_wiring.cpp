#include "LocalHttpServer.h"
#include "TestSupport.h"
#include "controls/CommandBars.h"
#include "controls/DockingPanes.h"
#include "controls/IconStore.h"
#include "core/QvIds.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "links/frmEnt.h"
#include "links/frmNav.h"
#include "links/frmSNS.h"
#include "platform/PlainMessage.h"
#include "shell/frmMain.h"
#include "shell/modSubsystems.h"
#include "web/cltWebPage.h"
#include "web/frmBrowser.h"
#include "web/frmPaneWebPage.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <gtest/gtest.h>

#include <memory>

// The main window with the subsystems plugged in as the program does it, over a common data whose
// links point to a local server.
TEST(LinksWiring, PanesGetTheirWindowsMenusAndPagesAndLinksOpenByCommand) {
    LocalHttpServer server;
    ASSERT_TRUE(server.start());
    server.serve("/quotes", "<html><body>quotes</body></html>");
    server.serve("/site", "<html><body>site</body></html>");
    QTemporaryDir dir;
    modInitial::SetAppPath(dir.path());
    modInitial::ResetShutdown();
    QDir(dir.path()).mkpath("Data");
    const QString link = "<link id='%1' caption='%2' tip='' iconno='' category='%3' openmethod='1' "
                         "notshowadd='0'><get url='%4'/></link>";
    modDataFile::WriteEncryptedFile(
        dir.filePath("Data/common.dat"),
        "<data><links>" + link.arg("7", "Quotes", "stock", server.url("/quotes")) +
            link.arg("8", "Site", "vlive", server.url("/site")) + "</links><navlayout/><entlayout/></data>");
    modDataFile::WriteEncryptedFile(dir.filePath("Data/User.dat"), clsUserData::InitialDocument());
    modInitial::gData = new clsData;
    IconStore icons;
    icons.LoadLibrary(qvtest::buildDir() + "/Data/icon.dat");
    modInitial::gIconStore = &icons;
    cltWebPage::ReleaseGlobal();
    frmMain::extensions() = frmMain::Extensions();
    modSubsystems::Install();

    auto window = std::make_unique<frmMain>();
    window->show();
    QCoreApplication::processEvents();
    DockingPaneManager* panes = window->dockingPanes();
    EXPECT_NE(qobject_cast<frmNav*>(window->paneContent(PaneId::Navigation)), nullptr);

    // The video pane: its seven menus, the vlive link in the last; a blank first page.
    panes->ShowPane(PaneId::Movie);
    auto* video = qobject_cast<frmPaneWebPage*>(window->paneContent(PaneId::Movie));
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->toolBar()->Controls().size() -
                  video->toolBar()->Controls().indexOf(video->toolBar()->Find(Cmd::VideoLibrary)),
              7);
    EXPECT_EQ(video->toolBar()->Item(video->toolBar()->Count() - 1)->CommandBar()->Item(0)->Parameter(),
              server.url("/site"));
    EXPECT_TRUE(video->isAssignedURL());

    // The stock pane opens the catalogue's quotes page on its first display.
    panes->ShowPane(PaneId::Stock);
    ASSERT_TRUE(server.waitForRequest("/quotes"));
    panes->ShowPane(PaneId::Community);
    EXPECT_NE(qobject_cast<frmSNS*>(window->paneContent(PaneId::Community)), nullptr);
    panes->ShowPane(PaneId::Entertainment);
    EXPECT_NE(qobject_cast<frmEnt*>(window->paneContent(PaneId::Entertainment)), nullptr);

    // Cmd::OpenLink opens the link its parameter names; an unknown id opens nothing and says so.
    QStringList messages;
    SetPlainMessageHandler([&](const QString& text, const QString&) { messages << text; });
    QList<frmBrowser*> created;
    QObject::connect(cltWebPage::Global(), &cltWebPage::windowCreated, [&](frmBrowser* w) { created << w; });
    CommandBar* bar = window->toolBarTools();
    CommandBarControl* open = bar->Add(CommandBarControl::Button, Cmd::OpenLink, "link");
    open->setParameter("404");
    open->Execute();
    EXPECT_TRUE(created.isEmpty());
    EXPECT_EQ(messages.size(), 1);
    open->setParameter("8");
    open->Execute();
    ASSERT_TRUE(server.waitForRequest("/site"));
    EXPECT_EQ(created.size(), 1);

    SetPlainMessageHandler({});
    for (frmBrowser* w : frmBrowser::AllWindows())
        delete w;
    cltWebPage::ReleaseGlobal();
    window.reset();
    frmMain::extensions() = frmMain::Extensions();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete modInitial::gData;
    modInitial::gData = nullptr;
    modInitial::gIconStore = nullptr;
}
