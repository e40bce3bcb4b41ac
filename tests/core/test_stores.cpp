#include "core/QvError.h"
#include "core/QvIds.h"
#include "core/clsCommonData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"

#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "common/TestSupport.h"

namespace {

const char* kGlobal =
    "<global><hostdomain>h.example</hostdomain><urlgetuserid>http://h.example/id</urlgetuserid>"
    "<urlupdatechecking>c</urlupdatechecking><urlonlineupdatelist>http://h.example/list"
    "</urlonlineupdatelist><urlupdatevar>v</urlupdatevar><updateinterval>86400</updateinterval>"
    "<cfginterval> 3600 </cfginterval><inquiryqq>http://qq.example/?a=1&amp;b=2</inquiryqq>"
    "<inquirymsn>http://msn.example/</inquirymsn></global>";

QString commonText(const QString& version = "<version c=\"7\" i=\"3\"/>", const QString& global = kGlobal) {
    return "<data>" + global + version + "<appbtnlayout><b caption=\"x\"/></appbtnlayout>" +
           "<searchengines><searchengine name=\"baidu\"/></searchengines></data>";
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        modInitial::SetAppPath(dir.path());
        modInitial::gIsDevelopMode = false;
        clsUserData::SetUserIDRequester({});
        clsUserData::SetDockingLayoutProvider({});
    }
    void TearDown() override {
        clsUserData::SetUserIDRequester({});
        clsUserData::SetDockingLayoutProvider({});
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(StoreTest, CommonDataHandsOutSectionsAndVersions) {
    modDataFile::WriteEncryptedFile(path("common.dat"), commonText());
    clsCommonData common(path("common.dat"));
    ASSERT_TRUE(common.LoadError().isEmpty()) << common.LoadError().toStdString();
    EXPECT_EQ(common.XMLNode.nodeName(), "data");
    EXPECT_EQ(common.CommonVer(), 7);
    EXPECT_EQ(common.IconVer(), 3);
    EXPECT_EQ(common.AppButtonLayoutXMLNode().selectSingleNode("b/@caption").text(), "x");
    EXPECT_EQ(common.xmlNodeSearchEngines().childElements().length(), 1);
    EXPECT_THROW(common.Section("mailinfo"), QvError);

    // The loaded document is what counts until the next load: editing the file changes nothing.
    modDataFile::WriteEncryptedFile(path("common.dat"), commonText("<version c=\"8\" i=\"3\"/>"));
    EXPECT_EQ(common.CommonVer(), 7);
    common.Reload();
    EXPECT_EQ(common.CommonVer(), 8);
}

TEST_F(StoreTest, CommonDataVersionMustBeA16BitNumber) {
    for (const char* bad :
         {"<version c=\"40000\" i=\"1\"/>", "<version c=\"x\" i=\"1\"/>", "<version i=\"1\"/>", ""}) {
        modDataFile::WriteEncryptedFile(path("common.dat"), commonText(QString::fromUtf8(bad)));
        clsCommonData common(path("common.dat"));
        EXPECT_THROW(common.CommonVer(), QvError) << bad;
    }
}

TEST_F(StoreTest, UnusableCommonDataLoadsNothingAndSaysWhy) {
    clsCommonData missing(path("common.dat"));
    EXPECT_TRUE(missing.XMLNode.isNull());
    EXPECT_FALSE(missing.LoadError().isEmpty());
    EXPECT_THROW(missing.IntialGlobalVariant(), QvError);

    // Right format, wrong content: decrypts to characters that are no XML.
    qvtest::writeFile(path("common.dat"), QByteArray(64, 'A'));
    clsCommonData garbage(path("common.dat"));
    EXPECT_TRUE(garbage.XMLNode.isNull());
    EXPECT_FALSE(garbage.LoadError().isEmpty());

    // Digits that do not make whole blocks: the cipher's message is the reason.
    qvtest::writeFile(path("common.dat"), QByteArray(30, 'B'));
    clsCommonData partial(path("common.dat"));
    EXPECT_TRUE(partial.LoadError().contains("ciphertext size not a multiple of block size"))
        << partial.LoadError().toStdString();
}

TEST_F(StoreTest, GlobalSettingsAreReadInFullAndAMissingKeyIsNamed) {
    modDataFile::WriteEncryptedFile(path("common.dat"), commonText());
    clsCommonData common(path("common.dat"));
    common.IntialGlobalVariant();
    EXPECT_EQ(modInitial::gHostDomain, "h.example");
    EXPECT_EQ(modInitial::gUrlGetUserID, "http://h.example/id");
    EXPECT_EQ(modInitial::gUrlOnlineUpdateList, "http://h.example/list");
    EXPECT_EQ(modInitial::gUpdateInterval, 86400);
    EXPECT_EQ(modInitial::gCfgInterval, 3600);
    EXPECT_EQ(modInitial::gInquiryQQ, "http://qq.example/?a=1&b=2");
    EXPECT_EQ(modInitial::gInquiryMSN, "http://msn.example/");

    QString withoutKey = QString::fromUtf8(kGlobal);
    withoutKey.remove(QRegularExpression("<urlupdatevar>.*</urlupdatevar>"));
    modDataFile::WriteEncryptedFile(path("common.dat"), commonText("<version c=\"1\" i=\"1\"/>", withoutKey));
    clsCommonData incomplete(path("common.dat"));
    try {
        incomplete.IntialGlobalVariant();
        FAIL() << "a missing key must stop the reading";
    } catch (const QvError& e) {
        EXPECT_EQ(e.description(), "urlupdatevar");
    }

    QString badNumber = QString::fromUtf8(kGlobal).replace("86400", "daily");
    modDataFile::WriteEncryptedFile(path("common.dat"), commonText("<version c=\"1\" i=\"1\"/>", badNumber));
    clsCommonData wrong(path("common.dat"));
    EXPECT_THROW(wrong.IntialGlobalVariant(), QvError);
}

TEST_F(StoreTest, SectionsAreCreatedOnFirstAccessAppendedLastAndSaved) {
    modDataFile::WriteEncryptedFile(path("User.dat"), clsUserData::InitialDocument());
    {
        clsUserData user(path("User.dat"), nullptr);
        ASSERT_TRUE(user.LoadError().isEmpty());
        XmlNode notes = clsUserData::GetOrCreateChild(user.XMLNode, "postnotes");
        EXPECT_EQ(user.XMLNode.lastChild(), notes);
        // The second access finds the same element.
        EXPECT_EQ(clsUserData::GetOrCreateChild(user.XMLNode, "postnotes"), notes);
        XmlNode apps = user.LocalCustomsAppXMLNode();
        EXPECT_EQ(user.XMLNode.lastChild(), apps);
        EXPECT_EQ(user.XMLNode.childElements().length(), 3);
        user.Save();
    }
    clsUserData again(path("User.dat"), nullptr);
    QStringList names;
    for (const XmlNode& n : again.XMLNode.childElements())
        names << n.nodeName();
    EXPECT_EQ(names, QStringList({"globalinfo", "postnotes", "customsapp"}));
}

TEST_F(StoreTest, SavesOfUnchangedDataWriteTheSameFileAndTheLayoutReplacesTheFirstChild) {
    modDataFile::WriteEncryptedFile(path("User.dat"), clsUserData::InitialDocument());
    QString layout =
        QStringLiteral("<DockingPaneLayout><Pane Id=\"%1\"/></DockingPaneLayout>").arg(PaneId::Navigation);
    clsUserData::SetDockingLayoutProvider([&] { return layout; });
    clsUserData user(path("User.dat"), nullptr);
    user.Save();
    const QByteArray first = qvtest::readFile(path("User.dat"));
    user.Save();
    EXPECT_EQ(qvtest::readFile(path("User.dat")), first);

    layout =
        QStringLiteral("<DockingPaneLayout><Pane Id=\"%1\"/></DockingPaneLayout>").arg(PaneId::Entertainment);
    user.Save();
    clsUserData again(path("User.dat"), nullptr);
    XmlNode section = again.XMLNode.selectSingleNode("dockinglayout");
    ASSERT_FALSE(section.isNull());
    EXPECT_EQ(section.childNodes().length(), 1);
    EXPECT_EQ(section.selectSingleNode("DockingPaneLayout/Pane/@Id").text(),
              QString::number(PaneId::Entertainment));
}

TEST_F(StoreTest, UserIdIsRequestedWhileEmptyAndOnlyANumberIsKept) {
    modDataFile::WriteEncryptedFile(path("User.dat"), clsUserData::InitialDocument());
    modInitial::gUrlGetUserID = "http://h.example/id";
    modInitial::gIsDevelopMode = true;
    modInitial::gDevLog = std::make_unique<QStringList>();
    QStringList requested;
    clsUserData::SetUserIDRequester([&](clsUserData*, const QString& url) { requested << url; });
    {
        clsUserData user(path("User.dat"), nullptr);
        QSignalSpy received(&user, &clsUserData::userIDReceived);
        EXPECT_EQ(user.userID(), "");
        EXPECT_EQ(requested, QStringList({"http://h.example/id"}));
        user.OnUserIDReply("12a45");
        EXPECT_EQ(user.userID(), "");
        EXPECT_EQ(requested.size(), 2) << "an empty identifier asks again";
        user.OnUserIDReply(" 12345\n");
        EXPECT_EQ(received.count(), 1);
        EXPECT_EQ(user.userID(), "12345");
        // A late reply with nothing pending changes nothing.
        user.OnUserIDReply("999");
        EXPECT_EQ(user.userID(), "12345");
        user.Save();
    }
    ASSERT_TRUE(modInitial::gDevLog);
    EXPECT_TRUE(modInitial::gDevLog->filter(QStringLiteral("读取用户ID开始....")).size() == 2);
    EXPECT_TRUE(modInitial::gDevLog->filter(QStringLiteral("取得用户ID成功....")).size() == 1);
    modInitial::gIsDevelopMode = false;
    modInitial::gDevLog.reset();

    requested.clear();
    clsUserData next(path("User.dat"), nullptr);
    EXPECT_EQ(next.userID(), "12345");
    EXPECT_TRUE(requested.isEmpty()) << "a stored identifier is not requested again";
}

TEST_F(StoreTest, ScanResultReplacesTheSoftwareSectionInPlace) {
    modDataFile::WriteEncryptedFile(path("User.dat"),
                                    "<data><globalinfo userid=\"1\"/><localsofts><localsoft lsid=\"old\"/>"
                                    "</localsofts><customsapp/></data>");
    clsUserData user(path("User.dat"), nullptr);
    user.LocalSoftUpdateByXMLString(
        "<localsofts><localsoft lsid=\"w\" caption=\"Writer\" file=\"/usr/bin/lowriter\" "
        "tip=\"\"/><localsoft lsid=\"c\" caption=\"Calc\" file=\"/usr/bin/localc\" "
        "tip=\"\"/></localsofts>");
    EXPECT_EQ(user.XMLNode.childElements().item(1).nodeName(), "localsofts");
    EXPECT_EQ(user.LocalSoftsXMLNode().childElements().length(), 2);
    EXPECT_TRUE(user.LocalSoftsXMLNode().selectSingleNode("localsoft[@lsid='old']").isNull());
    EXPECT_THROW(user.LocalSoftUpdateByXMLString("<nothing/>"), QvError);
    EXPECT_EQ(user.LocalSoftsXMLNode().childElements().length(), 2) << "a failed update keeps the old result";
}

TEST_F(StoreTest, UnreadableUserDataIsNeverWrittenOver) {
    qvtest::writeFile(path("User.dat"), "not a data file at all");
    clsUserData user(path("User.dat"), nullptr);
    EXPECT_FALSE(user.LoadError().isEmpty());
    EXPECT_THROW(user.Save(), QvError);
    EXPECT_EQ(qvtest::readFile(path("User.dat")), QByteArray("not a data file at all"));
}

TEST(CommandLine, WordsAreFoundInAnyCaseAnywhere) {
    modInitial::ReadCommandLine("--x DEVELOPMODE");
    EXPECT_TRUE(modInitial::gIsDevelopMode);
    EXPECT_FALSE(modInitial::gOnlineUpdateOff);
    modInitial::ReadCommandLine("abcdevelopmodexyz onlineupdateoff");
    EXPECT_TRUE(modInitial::gIsDevelopMode);
    EXPECT_TRUE(modInitial::gOnlineUpdateOff);
    modInitial::ReadCommandLine("develop Mode OnlineUpdate");
    EXPECT_FALSE(modInitial::gIsDevelopMode);
    EXPECT_FALSE(modInitial::gOnlineUpdateOff);
}
