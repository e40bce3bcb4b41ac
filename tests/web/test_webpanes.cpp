#include "LocalHttpServer.h"
#include "TestSupport.h"
#include "controls/CommandBars.h"
#include "core/QvIds.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "web/PageLifecycle.h"
#include "web/clsActStatus.h"
#include "web/cltWebPage.h"
#include "web/frmBrowser.h"
#include "web/frmPaneSNS.h"
#include "web/frmPaneWebPage.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <gtest/gtest.h>

namespace {

QByteArray page(const QByteArray& title, const QByteArray& body = "<p>page</p>") {
    return "<!DOCTYPE html><html><head><meta charset='utf-8'><title>" + title + "</title></head><body>" +
           body + "</body></html>";
}

bool showing(frmPaneWebPage* pane, const QString& url) {
    return pane->page() && pane->page()->url() == QUrl(url) && !pane->page()->isLoading();
}

// Web panes over a program folder of their own, pages from a local server.
class WebPaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        modInitial::SetAppPath(dir.path());
        QDir(dir.path()).mkpath("Data");
        modDataFile::WriteEncryptedFile(
            dir.filePath("Data/common.dat"),
            QString::fromUtf8(qvtest::readFile(qvtest::sourceDir() + "/data/common.xml")));
        modDataFile::WriteEncryptedFile(dir.filePath("Data/User.dat"), clsUserData::InitialDocument());
        modInitial::gData = new clsData;
        cltWebPage::ReleaseGlobal();
        ASSERT_TRUE(server.start());
        server.serve("/first", page("First"));
        server.serve("/second", page("Second"));
        server.serve("/popup", page("Popup"));
        server.serve("/opener", page("Opener", "<a id='blank' href='/popup' target='_blank'>new</a>"));
    }
    void TearDown() override {
        for (frmBrowser* window : frmBrowser::AllWindows())
            delete window;
        cltWebPage::ReleaseGlobal();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete modInitial::gData;
        modInitial::gData = nullptr;
    }
    void openAt(frmPaneWebPage* pane, const QString& path) {
        pane->resize(800, 500);
        pane->show();
        pane->goURL(server.url(path));
        ASSERT_TRUE(waitUntil([&] { return showing(pane, server.url(path)); }));
    }
    void clickPopupLink(frmPaneWebPage* pane) {
        bool done = false;
        pane->page()->runJavaScript("document.getElementById('blank').click();",
                                    [&](const QVariant&) { done = true; });
        ASSERT_TRUE(waitUntil([&] { return done; }));
    }

    QTemporaryDir dir;
    LocalHttpServer server;
};

} // namespace

TEST_F(WebPaneTest, PaneKeepsItsPagesLibraryEntriesPopupsAndHistory) {
    frmPaneWebPage pane;
    EXPECT_FALSE(pane.isAssignedURL());
    openAt(&pane, "/opener");
    EXPECT_TRUE(pane.isAssignedURL());

    // A pop-up of the page replaces the pane's page; no browser tab opens.
    clickPopupLink(&pane);
    ASSERT_TRUE(waitUntil([&] { return showing(&pane, server.url("/popup")); }));
    EXPECT_TRUE(frmBrowser::AllWindows().isEmpty());
    EXPECT_EQ(pane.Caption(), "Popup");

    // A library entry shows its site in the pane.
    CommandBarControl* entry = pane.toolBar()->Add(CommandBarControl::Button, Cmd::FavoriteEntry, "lib");
    entry->setParameter(server.url("/second"));
    entry->Execute();
    ASSERT_TRUE(waitUntil([&] { return showing(&pane, server.url("/second")); }));

    // Its buttons, the later ones too, are reached with the keyboard.
    for (int id : {int(Cmd::Refresh), int(Cmd::FavoriteEntry)}) {
        ASSERT_TRUE(
            waitUntil([&] { return pane.commandBars()->FindControl(id)->toolButton() != nullptr; }, 2000));
        ASSERT_TRUE(waitUntil(
            [&] {
                return (pane.commandBars()->FindControl(id)->toolButton()->focusPolicy() & Qt::TabFocus) != 0;
            },
            2000));
    }

    // The back menu lists the earlier pages, nearest first; an entry goes there.
    CommandBar* back = pane.commandBars()->FindControl(Cmd::Back)->CommandBar();
    pane.SetHistoryButton(frmPaneWebPage::HistoryBack, back);
    ASSERT_EQ(back->Count(), 2);
    EXPECT_EQ(back->Item(0)->Caption(), "Popup");
    EXPECT_EQ(back->Item(1)->Tag().toInt(), -2);
    back->Item(1)->Execute();
    ASSERT_TRUE(waitUntil([&] { return showing(&pane, server.url("/opener")); }));
    EXPECT_TRUE(pane.commandBars()->FindControl(Cmd::Forward)->Enabled());
}

TEST_F(WebPaneTest, CommunityPaneRecordsItsSiteAndOpensPopupsAsTabs) {
    frmPaneSNS pane("290");
    QSignalSpy uncheck(&pane, &frmPaneSNS::uncheckRequested);
    openAt(&pane, "/opener");
    clsActStatus* status = ActStatusOf(modInitial::gData->UserData());
    ASSERT_TRUE(waitUntil([&] { return status->getSNSLastOpenUrl("290") == server.url("/opener"); }));

    QList<frmBrowser*> created;
    QObject::connect(cltWebPage::Global(), &cltWebPage::windowCreated, [&](frmBrowser* w) { created << w; });
    clickPopupLink(&pane);
    ASSERT_TRUE(waitUntil([&] {
        return created.size() == 1 && created[0]->page() &&
               created[0]->page()->url() == QUrl(server.url("/popup"));
    }));
    EXPECT_EQ(pane.page()->url(), QUrl(server.url("/opener")));

    // Every completed page is the site's last address.
    pane.goURL(server.url("/second"));
    ASSERT_TRUE(waitUntil([&] { return status->getSNSLastOpenUrl("290") == server.url("/second"); }));

    // The close button asks the panel to uncheck the site; once closed, nothing is recorded.
    CommandBarControl* close = pane.commandBars()->FindControl(Cmd::CloseSNSPane);
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->TooltipText(), "关闭可以在设置面板离重新打开");
    close->Execute();
    ASSERT_EQ(uncheck.count(), 1);
    EXPECT_EQ(uncheck.at(0).at(0).toString(), "290");
    pane.RequestClose();
    EXPECT_EQ(pane.page(), nullptr);
}

TEST_F(WebPaneTest, AHiddenPanesPageIsHiddenToItselfFrozenAfterAWhileAndBackWhenShown) {
    PageLifecycle::SetFreezeDelayMs(200);
    struct RestoreDelay {
        ~RestoreDelay() { PageLifecycle::SetFreezeDelayMs(-1); }
    } restoreDelay;
    // The pane lives in a frame that the main window hides and shows (a pane sliding back to
    // its strip and out again).
    QWidget frame;
    auto* pane = new frmPaneWebPage(&frame);
    frame.resize(800, 500);
    pane->resize(800, 500);
    frame.show();
    server.serve("/ticking", page("Ticking", "<script>window.ticks = 0;"
                                             "setInterval(function () { window.ticks++; }, 20);</script>"));
    pane->goURL(server.url("/ticking"));
    ASSERT_TRUE(waitUntil([&] { return showing(pane, server.url("/ticking")); }));
    auto eval = [&](const QString& script) {
        QVariant result;
        bool done = false;
        pane->page()->runJavaScript(script, [&](const QVariant& v) {
            result = v;
            done = true;
        });
        EXPECT_TRUE(waitUntil([&] { return done; }, 10000));
        return result;
    };
    ASSERT_TRUE(waitUntil([&] { return eval("document.visibilityState").toString() == "visible"; }));

    frame.hide();
    EXPECT_TRUE(waitUntil([&] { return !pane->page()->isVisible(); }));
    EXPECT_TRUE(
        waitUntil([&] { return pane->page()->lifecycleState() == QWebEnginePage::LifecycleState::Frozen; }));

    frame.show();
    EXPECT_EQ(pane->page()->lifecycleState(), QWebEnginePage::LifecycleState::Active);
    EXPECT_TRUE(waitUntil([&] { return eval("document.visibilityState").toString() == "visible"; }));
    const int ticks = eval("window.ticks").toInt();
    EXPECT_TRUE(waitUntil([&] { return eval("window.ticks").toInt() > ticks + 3; }));
}
