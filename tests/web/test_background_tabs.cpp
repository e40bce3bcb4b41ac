#include "LocalHttpServer.h"
#include "TestSupport.h"
#include "controls/TabbedWorkspace.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "web/PageLifecycle.h"
#include "web/clsActStatus.h"
#include "web/clsRecentClosedPages.h"
#include "web/cltWebPage.h"
#include "web/frmBrowser.h"

#include <QDir>
#include <QImage>
#include <QMainWindow>
#include <QMdiArea>
#include <QPointer>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <gtest/gtest.h>

#include <memory>

// What a page that is not on show costs: a tab under the current one is hidden to its page
// (no animation frames), frozen after a while when the engine allows it, and back at once when
// the user returns to it.
namespace {

// Counts its animation frames and its timer ticks, and remembers every visibility it had.
QByteArray countingPage(const QByteArray& colour) {
    return "<!DOCTYPE html><html><head><meta charset='utf-8'><title>Counting</title></head>"
           "<body style='margin:0;background:" +
           colour +
           "'><script>"
           "window.frames_ = 0; window.ticks = 0; window.states = [document.visibilityState];"
           "(function frame() { window.frames_++; requestAnimationFrame(frame); })();"
           "setInterval(function () { window.ticks++; }, 20);"
           "document.addEventListener('visibilitychange', function () {"
           "  window.states.push(document.visibilityState); });"
           "</script></body></html>";
}

bool isGreen(const QColor& c) {
    return c.green() > 150 && c.red() < 60 && c.blue() < 60;
}

QVariant evalJs(QWebEnginePage* page, const QString& script) {
    QVariant result;
    bool done = false;
    page->runJavaScript(script, [&](const QVariant& value) {
        result = value;
        done = true;
    });
    waitUntil([&] { return done; }, 10000);
    return result;
}

int counter(frmBrowser* window, const char* name) {
    return evalJs(window->page(), QStringLiteral("window.%1").arg(QLatin1String(name))).toInt();
}

QString visibility(frmBrowser* window) {
    return evalJs(window->page(), "document.visibilityState").toString();
}

class BackgroundTabsTest : public ::testing::Test {
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
        ASSERT_TRUE(server.start());
        server.serve("/counting", countingPage("#00b000"));
        server.serve("/counting-blue", countingPage("#0000c0"));
        server.serve("/other", "<!DOCTYPE html><html><body style='background:#fff'>other</body></html>");

        mainWindow = std::make_unique<QMainWindow>();
        auto* area = new QMdiArea;
        mainWindow->setCentralWidget(area);
        mainWindow->resize(900, 650);
        workspace = new TabbedWorkspace(area);
        modInitial::gWorkspace = workspace;
        mainWindow->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(mainWindow.get()));
        cltWebPage::ReleaseGlobal();
    }

    void TearDown() override {
        PageLifecycle::SetFreezeDelayMs(-1);
        for (frmBrowser* window : frmBrowser::AllWindows())
            delete window;
        cltWebPage::ReleaseGlobal();
        modInitial::gWorkspace = nullptr;
        mainWindow.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete modInitial::gData;
        modInitial::gData = nullptr;
    }

    frmBrowser* openPage(const QString& path) {
        frmBrowser* window = cltWebPage::Global()->Add(server.url(path));
        EXPECT_TRUE(waitUntil(
            [&] { return window->page()->url() == QUrl(server.url(path)) && !window->page()->isLoading(); }));
        return window;
    }

    QTemporaryDir dir;
    LocalHttpServer server;
    std::unique_ptr<QMainWindow> mainWindow;
    TabbedWorkspace* workspace = nullptr;
};

} // namespace

TEST_F(BackgroundTabsTest, ATabUnderTheCurrentOneIsHiddenToItsPageAndDrawsAgainWhenShown) {
    frmBrowser* first = openPage("/counting");
    ASSERT_TRUE(waitUntil([&] { return counter(first, "frames_") > 5; })) << "the page never animated";
    EXPECT_EQ(visibility(first), "visible");

    frmBrowser* second = openPage("/counting-blue");
    ASSERT_EQ(workspace->ActiveWindow(), second);
    EXPECT_TRUE(workspace->IsOnShow(second));
    EXPECT_FALSE(workspace->IsOnShow(first));
    ASSERT_TRUE(waitUntil([&] { return visibility(first) == "hidden"; }));
    EXPECT_FALSE(first->page()->isVisible());
    // While the tab on show draws frame after frame, the one under it gets none.
    const int hiddenFrames = counter(first, "frames_");
    const int shownFrames = counter(second, "frames_");
    ASSERT_TRUE(waitUntil([&] { return counter(second, "frames_") > shownFrames + 20; }));
    EXPECT_EQ(counter(first, "frames_"), hiddenFrames);
    // Its timers still run (slowed down), only the drawing stops.
    EXPECT_GT(counter(first, "ticks"), 0);

    // Back to the first tab: it is visible and draws, the second one is hidden in turn.
    workspace->tabBar()->setCurrentIndex(workspace->TabIndexOf(first));
    EXPECT_TRUE(waitUntil([&] { return visibility(first) == "visible"; }));
    EXPECT_TRUE(waitUntil([&] { return counter(first, "frames_") > hiddenFrames + 5; }));
    EXPECT_TRUE(waitUntil([&] { return visibility(second) == "hidden"; }));
    EXPECT_EQ(evalJs(first->page(), "window.states.join(' ')").toString(), "visible hidden visible");

    // Windows arranged side by side are all on show.
    workspace->Arrange(TabbedWorkspace::TileVertical);
    EXPECT_TRUE(waitUntil([&] { return visibility(second) == "visible"; }));
    EXPECT_EQ(visibility(first), "visible");
    // Back to tabs: the one on top is visible, the other one hidden again.
    workspace->Tabbed();
    frmBrowser* top = workspace->IsOnShow(first) ? first : second;
    frmBrowser* under = top == first ? second : first;
    EXPECT_FALSE(workspace->IsOnShow(under));
    EXPECT_TRUE(waitUntil([&] { return visibility(under) == "hidden"; }));
    EXPECT_EQ(visibility(top), "visible");
}

TEST_F(BackgroundTabsTest, AFrozenTabThawsWhenShownAndItsTimersRunAgain) {
    PageLifecycle::SetFreezeDelayMs(300);
    // A page whose picture never arrives keeps loading, and the engine keeps such a page active.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    server.serve("/loading", QStringLiteral("<!DOCTYPE html><html><body><img src='http://127.0.0.1:%1/never'>"
                                            "</body></html>")
                                 .arg(silent.serverPort())
                                 .toUtf8());

    frmBrowser* counting = openPage("/counting");
    ASSERT_TRUE(waitUntil([&] { return counter(counting, "ticks") > 2; }));
    frmBrowser* loading = cltWebPage::Global()->Add(server.url("/loading"));
    ASSERT_TRUE(waitUntil([&] { return loading->page()->url() == QUrl(server.url("/loading")); }));
    openPage("/other");

    // Both are under the current tab; the finished page freezes, the loading one stays active.
    ASSERT_TRUE(waitUntil(
        [&] { return counting->page()->lifecycleState() == QWebEnginePage::LifecycleState::Frozen; }));
    EXPECT_EQ(loading->page()->lifecycleState(), QWebEnginePage::LifecycleState::Active);
    EXPECT_TRUE(loading->page()->isLoading());
    // Once it has loaded, it freezes as well.
    loading->page()->triggerAction(QWebEnginePage::Stop);
    EXPECT_TRUE(waitUntil(
        [&] { return loading->page()->lifecycleState() == QWebEnginePage::LifecycleState::Frozen; }));

    // Shown again: active at once, and its timers tick again.
    workspace->Activate(counting);
    EXPECT_EQ(counting->page()->lifecycleState(), QWebEnginePage::LifecycleState::Active);
    const int ticks = counter(counting, "ticks");
    EXPECT_TRUE(waitUntil([&] { return counter(counting, "ticks") > ticks + 3; }));
    EXPECT_EQ(visibility(counting), "visible");
}

TEST_F(BackgroundTabsTest, ClosingATabUnderTheCurrentOneRecordsThePictureItShowed) {
    frmBrowser* green = openPage("/counting");
    ASSERT_TRUE(waitUntil([&] {
        const QImage shown = green->WebBrowser()->grab().toImage();
        return !shown.isNull() && isGreen(shown.pixelColor(shown.width() / 2, shown.height() / 2));
    }));
    openPage("/other");
    ASSERT_TRUE(waitUntil([&] { return !green->page()->isVisible(); }));

    QPointer<frmBrowser> alive(green);
    EXPECT_TRUE(green->RequestClose());
    EXPECT_TRUE(waitUntil([&] { return alive.isNull(); }));
    clsRecentClosedPages* list = ActStatusOf(modInitial::gData->UserData())->RecentlyClosedPages();
    const XmlNode record = list->XMLNode.selectSingleNode("rcp");
    ASSERT_FALSE(record.isNull());
    QImage thumbnail;
    ASSERT_TRUE(thumbnail.load(record.getAttribute("ThumbnailName"), "BMP"));
    EXPECT_TRUE(isGreen(thumbnail.pixelColor(thumbnail.width() / 2, thumbnail.height() / 2)));

    // A tab covered as soon as it was opened never drew its page; it closes all the same and is
    // recorded.
    frmBrowser* covered = cltWebPage::Global()->Add(server.url("/counting-blue"));
    cltWebPage::Global()->Add(server.url("/other"));
    ASSERT_TRUE(
        waitUntil([&] { return !covered->page()->isLoading() && covered->page()->title() == "Counting"; }));
    QPointer<frmBrowser> coveredAlive(covered);
    EXPECT_TRUE(covered->RequestClose());
    EXPECT_TRUE(waitUntil([&] { return coveredAlive.isNull(); }));
    EXPECT_EQ(list->XMLNode.selectNodes("rcp").length(), 2);
}
