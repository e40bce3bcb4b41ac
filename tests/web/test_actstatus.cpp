#include "controls/TabbedWorkspace.h"
#include "core/QvError.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "web/cWebBrowser.h"
#include "web/clsActStatus.h"
#include "web/clsRecentClosedPages.h"

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QMdiArea>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

#include "common/TestSupport.h"

static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

// The session state of a user data store over a program folder of its own, and a main window
// whose tabs are plain widgets.
class ActStatusTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        modInitial::SetAppPath(dir.path());
        QDir(dir.path()).mkpath("Data");
        modDataFile::WriteEncryptedFile(dir.filePath("Data/User.dat"), clsUserData::InitialDocument());
        modInitial::gData = new clsData;
        status = ActStatusOf(modInitial::gData->UserData());
        ASSERT_NE(status, nullptr);
    }
    void TearDown() override {
        modInitial::gWorkspace = nullptr;
        mainWindow.reset();
        delete modInitial::gData;
        modInitial::gData = nullptr;
        modInitial::gIsDevelopMode = false;
        modInitial::gDevLog.reset();
    }

    void openMainWindow() {
        mainWindow = std::make_unique<QMainWindow>();
        auto* area = new QMdiArea;
        mainWindow->setCentralWidget(area);
        mainWindow->resize(800, 600);
        workspace = new TabbedWorkspace(area);
        modInitial::gWorkspace = workspace;
        mainWindow->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(mainWindow.get()));
    }
    QWidget* addTab() {
        auto* window = new QWidget;
        workspace->AddWindow(window);
        QApplication::processEvents();
        return window;
    }

    QStringList openedUrls() const {
        QStringList urls;
        for (const XmlNode& page : status->OpenedPageNode.childElements())
            urls << page.getAttribute("url");
        return urls;
    }
    int snsCount() const { return status->UserSNSNode.childElements().length(); }

    void developerMode() {
        modInitial::gIsDevelopMode = true;
        modInitial::gDevLog = std::make_unique<QStringList>();
    }

    QTemporaryDir dir;
    clsActStatus* status = nullptr;
    std::unique_ptr<QMainWindow> mainWindow;
    TabbedWorkspace* workspace = nullptr;
};

// --- The section ---

TEST_F(ActStatusTest, IsCreatedOnceWithItsSections) {
    clsUserData* store = modInitial::gData->UserData();
    EXPECT_EQ(ActStatusOf(store), status);
    EXPECT_EQ(status->Parent, store);
    EXPECT_EQ(store->XMLNode.lastChild().nodeName(), "actstatus");
    EXPECT_EQ(store->XMLNode.selectNodes("actstatus").length(), 1);
    EXPECT_EQ(status->XMLNode.xml(), "<actstatus><openedpages/><usersns/></actstatus>");

    clsRecentClosedPages* pages = status->RecentlyClosedPages();
    EXPECT_EQ(status->RecentlyClosedPages(), pages);
    EXPECT_EQ(pages->XMLNode, status->XMLNode.selectSingleNode("RecentlyClosedPages"));
}

TEST_F(ActStatusTest, LoadKeepsTheRecordsOfAStoredSession) {
    XmlDocument doc;
    ASSERT_TRUE(doc.loadXML("<actstatus><usersns><sns linkid=\"12\" url=\"http://s/12\"/></usersns>"
                            "<openedpages/></actstatus>"));
    clsActStatus loaded;
    loaded.Load(doc.documentElement());
    EXPECT_EQ(loaded.getSNSLastOpenUrl("12"), "http://s/12");
    EXPECT_EQ(doc.documentElement().childElements().length(), 2) << "existing sections are not duplicated";
}

// --- Open pages and the tab order ---

TEST_F(ActStatusTest, ANewWindowIsRecordedAtItsTabPosition) {
    openMainWindow();
    QWidget* a = addTab();
    QWidget* b = addTab();
    QWidget* c = addTab();
    status->UpdateOpenedPage(a, "http://a/");
    status->UpdateOpenedPage(b, "http://b/");
    status->UpdateOpenedPage(c, "http://c/");

    // A new window shown as the second tab.
    QWidget* d = addTab();
    workspace->tabBar()->moveTab(3, 1);
    QApplication::processEvents();
    ASSERT_EQ(workspace->TabIndexOf(d), 1);
    status->UpdateOpenedPage(d, "http://d/");

    EXPECT_EQ(openedUrls(), (QStringList{"http://a/", "http://d/", "http://b/", "http://c/"}));
    const XmlNode second = status->OpenedPageNode.childElements().item(1);
    EXPECT_EQ(second.attributeNames(), (QStringList{"frmhwnd", "url"}));
    EXPECT_EQ(second.getAttribute("frmhwnd"), cWebBrowser::WindowHandle(d));

    // A recorded window keeps its place when its address changes.
    status->UpdateOpenedPage(c, "http://c/next");
    EXPECT_EQ(openedUrls(), (QStringList{"http://a/", "http://d/", "http://b/", "http://c/next"}));
}

TEST_F(ActStatusTest, AWindowPastTheRecordsGoesLast) {
    openMainWindow();
    QWidget* a = addTab();
    QWidget* b = addTab();
    QWidget* c = addTab();
    status->UpdateOpenedPage(c, "http://c/");
    status->UpdateOpenedPage(a, "http://a/");
    // b is the second tab, with one record before it by position and one after.
    status->UpdateOpenedPage(b, "http://b/");
    EXPECT_EQ(openedUrls(), (QStringList{"http://a/", "http://b/", "http://c/"}));

    QWidget* e = addTab();
    QWidget* f = addTab();
    status->UpdateOpenedPage(f, "http://f/");
    status->UpdateOpenedPage(e, "http://e/");
    EXPECT_EQ(openedUrls(), (QStringList{"http://a/", "http://b/", "http://c/", "http://e/", "http://f/"}))
        << "tab 4 past three records goes last; tab 3 then goes before the fourth record";
}

TEST_F(ActStatusTest, AWindowWithoutATabIsNotRecorded) {
    QWidget lonely;
    status->UpdateOpenedPage(&lonely, "http://a/");
    EXPECT_TRUE(openedUrls().isEmpty()) << "no main window";

    openMainWindow();
    addTab();
    status->UpdateOpenedPage(&lonely, "http://a/");
    EXPECT_TRUE(openedUrls().isEmpty()) << "a window that is not one of the tabs";

    status->UpdateOpenedPage(nullptr, "http://a/");
    EXPECT_TRUE(openedUrls().isEmpty());
}

TEST_F(ActStatusTest, AnEmptyAddressLeavesRecordsAsTheyAre) {
    openMainWindow();
    QWidget* a = addTab();
    QWidget* b = addTab();
    status->UpdateOpenedPage(a, "http://a/");
    status->UpdateOpenedPage(a, "");
    EXPECT_EQ(openedUrls(), QStringList{"http://a/"});

    status->UpdateOpenedPage(b, "");
    ASSERT_EQ(status->OpenedPageNode.childElements().length(), 2);
    const XmlNode fresh = status->OpenedPageNode.childElements().item(1);
    EXPECT_EQ(fresh.xml(), "<openedpage frmhwnd=\"\" url=\"\"/>");
}

TEST_F(ActStatusTest, RemovingAWindowsRecordLeavesTheOthers) {
    openMainWindow();
    QWidget* a = addTab();
    QWidget* b = addTab();
    status->UpdateOpenedPage(a, "http://a/");
    status->UpdateOpenedPage(b, "http://b/");

    status->RemoveOpenedPageRecord(a);
    EXPECT_EQ(openedUrls(), QStringList{"http://b/"});
    QWidget stranger;
    status->RemoveOpenedPageRecord(&stranger);
    status->RemoveOpenedPageRecord(nullptr);
    EXPECT_EQ(openedUrls(), QStringList{"http://b/"});
}

// --- Social sites ---

TEST_F(ActStatusTest, ASiteKeepsOneRecordWithItsLastAddress) {
    status->UpdateUserSNS("12", "http://s/one");
    status->UpdateUserSNS("12", "http://s/two");
    status->UpdateUserSNS("30", "http://t/");
    ASSERT_EQ(snsCount(), 2);
    EXPECT_EQ(status->UserSNSNode.childElements().item(0).xml(), "<sns linkid=\"12\" url=\"http://s/two\"/>");
    EXPECT_EQ(status->getSNSLastOpenUrl("12"), "http://s/two");
    EXPECT_EQ(status->getSNSLastOpenUrl("30"), "http://t/");

    status->UpdateUserSNS("12", "");
    EXPECT_EQ(status->getSNSLastOpenUrl("12"), "") << "an empty address is written too";
    EXPECT_EQ(snsCount(), 2);
}

TEST_F(ActStatusTest, SiteIdentifiersCompareAsNumbers) {
    status->UpdateUserSNS("7", "http://s/7");
    EXPECT_EQ(status->getSNSLastOpenUrl("007"), "http://s/7");
    status->UpdateUserSNS("07", "http://s/seven");
    EXPECT_EQ(snsCount(), 1);
    EXPECT_EQ(status->getSNSLastOpenUrl("7"), "http://s/seven");
}

TEST_F(ActStatusTest, AWordAsSiteIdentifierNeverFindsItsRecord) {
    developerMode();
    status->UpdateUserSNS("weibo", "http://w/1");
    status->UpdateUserSNS("weibo", "http://w/2");
    EXPECT_EQ(snsCount(), 2);
    EXPECT_EQ(status->UserSNSNode.childElements().item(1).getAttribute("linkid"), "weibo");
    EXPECT_EQ(status->getSNSLastOpenUrl("weibo"), "");
    EXPECT_TRUE(modInitial::gDevLog->isEmpty()) << modInitial::gDevLog->join('\n').toStdString();
}

TEST_F(ActStatusTest, AnIdentifierCannotChangeTheLookUp) {
    developerMode();
    status->UpdateUserSNS("12", "http://s/12");
    for (const QString& id :
         {QStringLiteral("0 or 1=1"), QStringLiteral("12]|//*[1"), QStringLiteral("x]"), QString()}) {
        EXPECT_EQ(status->getSNSLastOpenUrl(id), "") << id.toStdString();
        EXPECT_THROW(status->RemoveUserSNS(id), QvError) << id.toStdString();
    }
    status->UpdateUserSNS("0 or 1=1", "http://evil/");
    EXPECT_EQ(status->getSNSLastOpenUrl("12"), "http://s/12");
    EXPECT_EQ(snsCount(), 2);
    EXPECT_EQ(status->UserSNSNode.childElements().item(1).getAttribute("linkid"), "0 or 1=1");
    EXPECT_TRUE(modInitial::gDevLog->isEmpty()) << modInitial::gDevLog->join('\n').toStdString();
}

TEST_F(ActStatusTest, AnUnknownSiteHasNoAddress) {
    developerMode();
    EXPECT_EQ(status->getSNSLastOpenUrl("99"), "");
    EXPECT_TRUE(modInitial::gDevLog->isEmpty());
}

TEST_F(ActStatusTest, RemovingASiteWithoutRecordIsAnError) {
    status->UpdateUserSNS("12", "http://s/12");
    status->UpdateUserSNS("13", "http://s/13");
    status->RemoveUserSNS("12");
    EXPECT_EQ(snsCount(), 1);
    EXPECT_EQ(status->getSNSLastOpenUrl("13"), "http://s/13");
    try {
        status->RemoveUserSNS("12");
        FAIL() << "no error for a site without record";
    } catch (const QvError& e) {
        EXPECT_EQ(e.number(), QvErrors::ObjectMissing);
    }
}

TEST_F(ActStatusTest, AddressesAreKeptInAFormTheFileCanHold) {
    status->UpdateUserSNS("12", QStringLiteral("http://s/a") + QChar(0xFFFF) + QChar(0x02) + "b");
    EXPECT_EQ(status->getSNSLastOpenUrl("12"), "http://s/ab");
    modInitial::gData->UserData()->Save();
    modInitial::gData->ReloadUserData();
    ASSERT_TRUE(modInitial::gData->UserData()->LoadError().isEmpty());
    EXPECT_EQ(ActStatusOf(modInitial::gData->UserData())->getSNSLastOpenUrl("12"), "http://s/ab");
}

// --- Failures ---

TEST_F(ActStatusTest, FailingStepsGoToTheDeveloperLogAndTheOperationGoesOn) {
    developerMode();
    clsActStatus broken;
    broken.Load(XmlNode());
    ASSERT_EQ(modInitial::gDevLog->size(), 2);
    for (const QString& line : *modInitial::gDevLog) {
        EXPECT_TRUE(line.contains(" Error 91 (")) << line.toStdString();
        EXPECT_TRUE(line.endsWith(") in 过程 Load of Class Module clsActStatus")) << line.toStdString();
    }
    EXPECT_TRUE(QString::fromUtf8(qvtest::readFile(dir.filePath("log.txt")))
                    .contains(") in 过程 Load of Class Module clsActStatus"));

    modInitial::gDevLog->clear();
    EXPECT_NO_THROW(broken.UpdateUserSNS("5", "http://s/"));
    QStringList closings;
    for (const QString& line : *modInitial::gDevLog)
        closings << line.mid(line.indexOf(") in ") + 2);
    // Look-up; the new record's creation and appending; then each attribute of the missing record.
    EXPECT_EQ(closings, (QStringList{"in 过程 UpdateUserSNS of Class Module clsActStatus",
                                     "in 过程 AddUserSNSRecord of Class Module clsActStatus",
                                     "in 过程 AddUserSNSRecord of Class Module clsActStatus",
                                     "in 过程 AddUserSNSRecord of Class Module clsActStatus",
                                     "in 过程 AddUserSNSRecord of Class Module clsActStatus",
                                     "in 过程 UpdateUserSNS of Class Module clsActStatus",
                                     "in 过程 UpdateUserSNS of Class Module clsActStatus"}));

    modInitial::gDevLog->clear();
    EXPECT_EQ(broken.getSNSLastOpenUrl("5"), "");
    ASSERT_EQ(modInitial::gDevLog->size(), 1);
    EXPECT_TRUE(
        modInitial::gDevLog->first().endsWith(") in 过程 getSNSLastOpenUrl of Class Module clsActStatus"));
}

TEST_F(ActStatusTest, FailingStepsAreSilentOutsideDeveloperMode) {
    clsActStatus broken;
    EXPECT_NO_THROW(broken.Load(XmlNode()));
    EXPECT_NO_THROW(broken.UpdateUserSNS("5", "http://s/"));
    EXPECT_NO_THROW(broken.RemoveOpenedPageRecord(nullptr));
    EXPECT_FALSE(QFile::exists(dir.filePath("log.txt")));
}

} // namespace
