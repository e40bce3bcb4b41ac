#include "TestSupport.h"
#include "controls/MarkupLabel.h"
#include "core/QvError.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modDevelopeFunction.h"
#include "core/modInitial.h"
#include "core/modTools.h"
#include "platform/RegistryView.h"
#include "platform/ShellService.h"
#include "shell/frmAbout.h"
#include "shell/frmDevelopLog.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "common/RecordingShell.h"

namespace {

QList<QWidget*> openWindows(const QString& name) {
    QList<QWidget*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name)
            found << w;
    }
    return found;
}

// A program folder of its own with a common data file, the data hub over it and a registry view
// that reads only what the test writes.
class AboutTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(mFolder.isValid());
        QDir(mFolder.path()).mkpath(QStringLiteral("Data"));
        writeCommonData(QStringLiteral("<data><version c=\"7\" i=\"3\"/></data>"));
        mSavedAppPath = modInitial::AppPath();
        modInitial::SetAppPath(mFolder.path());
        mSavedData = modInitial::gData;
        modInitial::gData = new clsData;
        mSavedRegistryFile = RegistryView::instance().registryFile(HKEY_LOCAL_MACHINE);
        RegistryView::instance().setRegistryFile(HKEY_LOCAL_MACHINE,
                                                 mFolder.filePath("HKEY_LOCAL_MACHINE.reg"));
        mSavedInquiry = modInitial::gInquiryQQ;
        ShellService::setInstance(&mShell);
    }
    void TearDown() override {
        for (QWidget* w : openWindows(QStringLiteral("frmAbout")))
            delete w;
        ShellService::setInstance(nullptr);
        modInitial::gInquiryQQ = mSavedInquiry;
        RegistryView::instance().setRegistryFile(HKEY_LOCAL_MACHINE, mSavedRegistryFile);
        delete modInitial::gData;
        modInitial::gData = mSavedData;
        modInitial::SetAppPath(mSavedAppPath);
    }

    void writeCommonData(const QString& xml) {
        modDataFile::WriteEncryptedFile(mFolder.filePath(QStringLiteral("Data/common.dat")), xml);
    }

    template <typename T> T* field(QWidget* box, const char* name) {
        T* w = box->findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    QTemporaryDir mFolder;
    QString mSavedAppPath;
    QString mSavedRegistryFile;
    QString mSavedInquiry;
    clsData* mSavedData = nullptr;
    RecordingShell mShell;
};

// ---- Fields ---------------------------------------------------------------------------------

TEST_F(AboutTest, ShowsTheProgramAndDataVersions) {
    frmAbout* box = frmAbout::ShowModeless();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("关于 Quorvel Quorvel"));
    const QString mainVer = QStringLiteral("%1.%2.%3")
                                .arg(modInitial::VersionMajor())
                                .arg(modInitial::VersionMinor())
                                .arg(modInitial::VersionRevision());
    EXPECT_EQ(field<QLineEdit>(box, "txt_MainVer")->text(), mainVer);
    EXPECT_EQ(field<QLineEdit>(box, "txt_CommonVer")->text(), QStringLiteral("7"));
    EXPECT_EQ(field<QLineEdit>(box, "txt_IconVer")->text(), QStringLiteral("3"));
    // Without a registry file the engine's own version answers.
    const QString engine = field<QLineEdit>(box, "txt_IEVersion")->text();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d+")).match(engine).hasMatch())
        << engine.toStdString();
    for (const char* name : {"txt_MainVer", "txt_CommonVer", "txt_IconVer", "txt_IEVersion"})
        EXPECT_TRUE(field<QLineEdit>(box, name)->isReadOnly()) << name;
}

TEST_F(AboutTest, TheBrowserVersionIsReadFromTheRegistry) {
    qvtest::writeFile(mFolder.filePath("HKEY_LOCAL_MACHINE.reg"),
                      "Windows Registry Editor Version 5.00\r\n\r\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer]\r\n"
                      "\"Version\"=\"9.11.8112\"\r\n");
    frmAbout* box = frmAbout::ShowModeless();
    EXPECT_EQ(field<QLineEdit>(box, "txt_IEVersion")->text(), QStringLiteral("9.11.8112"));
}

TEST_F(AboutTest, WithoutAVersionSectionTheBoxDoesNotOpen) {
    writeCommonData(QStringLiteral("<data><global/></data>"));
    EXPECT_THROW(frmAbout::ShowModeless(), QvError);
    QCoreApplication::processEvents();
    EXPECT_TRUE(openWindows(QStringLiteral("frmAbout")).isEmpty());
}

// ---- Contacts -------------------------------------------------------------------------------

TEST_F(AboutTest, TheContactLabelsShowTheMakersAddresses) {
    frmAbout* box = frmAbout::ShowModeless();
    auto* mail = field<MarkupLabel>(box, "Label10");
    auto* qq = field<MarkupLabel>(box, "Label8");
    ASSERT_TRUE(mail && qq);
    EXPECT_EQ(mail->markup(), QStringLiteral("<TextBlock>Email: <Hyperlink Click='Mail_Click'>") +
                                  QLatin1String(modTools::MakerMailAddress) +
                                  QStringLiteral("</Hyperlink></TextBlock>"));
    EXPECT_EQ(qq->markup(), QStringLiteral("<TextBlock>QQ    :<Hyperlink Click='QQ_Click'>") +
                                QLatin1String(modTools::MakerQQNumber) +
                                QStringLiteral("</Hyperlink></TextBlock>"));
}

TEST_F(AboutTest, TheMailLinkWritesToTheMaker) {
    frmAbout* box = frmAbout::ShowModeless();
    auto* mail = field<MarkupLabel>(box, "Label10");
    ASSERT_NE(mail, nullptr);
    ASSERT_TRUE(mail->clickHyperlink(QStringLiteral("Mail_Click")));
    EXPECT_EQ(mShell.opened,
              QStringList{QStringLiteral("mailto:") + QLatin1String(modTools::MakerMailAddress)});
}

TEST_F(AboutTest, TheQQLinkOpensTheInquiry) {
    modInitial::gInquiryQQ = QStringLiteral("tencent://message/?uin=12345");
    frmAbout* box = frmAbout::ShowModeless();
    auto* qq = field<MarkupLabel>(box, "Label8");
    ASSERT_NE(qq, nullptr);
    ASSERT_TRUE(qq->clickHyperlink(QStringLiteral("QQ_Click")));
    EXPECT_EQ(mShell.opened, QStringList{QStringLiteral("tencent://message/?uin=12345")});
}

// ---- Window ---------------------------------------------------------------------------------

TEST_F(AboutTest, OneModelessBoxThatCloseRemoves) {
    frmAbout* first = frmAbout::ShowModeless();
    frmAbout* second = frmAbout::ShowModeless();
    EXPECT_EQ(first, second);
    EXPECT_TRUE(first->isVisible());
    EXPECT_FALSE(first->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    QPointer<frmAbout> box(first);
    QTest::mouseClick(field<QPushButton>(first, "btn_Close"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(box.isNull(), 2000);
    EXPECT_TRUE(box.isNull());
}

// ---- Developer log window -------------------------------------------------------------------

class DevelopLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        mSavedLog = std::move(modInitial::gDevLog);
        modInitial::gDevLog = std::make_unique<QStringList>(
            QStringList{QStringLiteral("2008-8-8 20:08 first"), QStringLiteral("2008-8-8 20:09 second"),
                        QStringLiteral("2008-8-8 20:10 third")});
        frmDevelopLog::InstallShowDevelopLogHandler();
    }
    void TearDown() override {
        for (QWidget* w : openWindows(QStringLiteral("frmDevelopLog")))
            delete w;
        modDevelopeFunction::SetShowDevelopLogHandler({});
        modInitial::gDevLog = std::move(mSavedLog);
    }

    static QStringList listed(QWidget* window) {
        QStringList lines;
        auto* list = window->findChild<QListWidget*>(QStringLiteral("lb_Logs"));
        EXPECT_NE(list, nullptr);
        for (int i = 0; list && i < list->count(); ++i)
            lines << list->item(i)->text();
        return lines;
    }

    std::unique_ptr<QStringList> mSavedLog;
};

TEST_F(DevelopLogTest, ShowsTheLogOldestFirst) {
    modDevelopeFunction::ShowDevelopLog();
    const QList<QWidget*> windows = openWindows(QStringLiteral("frmDevelopLog"));
    ASSERT_EQ(windows.size(), 1);
    EXPECT_EQ(windows[0]->windowTitle(), QStringLiteral("Develop Log"));
    EXPECT_TRUE(windows[0]->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(listed(windows[0]), *modInitial::gDevLog);
}

TEST_F(DevelopLogTest, ASecondShowRaisesTheSameWindowWithTheNewLines) {
    modDevelopeFunction::ShowDevelopLog();
    modInitial::gDevLog->append(QStringLiteral("2008-8-8 20:11 fourth"));
    modDevelopeFunction::ShowDevelopLog();
    const QList<QWidget*> windows = openWindows(QStringLiteral("frmDevelopLog"));
    ASSERT_EQ(windows.size(), 1);
    const QStringList lines = listed(windows[0]);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines.last(), QStringLiteral("2008-8-8 20:11 fourth"));
}

TEST_F(DevelopLogTest, OutsideDeveloperModeTheListIsEmpty) {
    modInitial::gDevLog.reset();
    frmDevelopLog* window = frmDevelopLog::ShowWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(listed(window).isEmpty());
}

} // namespace
