#include "controls/TaskDialog.h"
#include "core/QvIds.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "web/clsActStatus.h"
#include "web/clsRecentClosedPages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "common/TestSupport.h"

// The thumbnail names come from the user data file, which anyone who can write the file can
// craft: removing records must never delete a file outside the cache folder.
TEST(RecentClosedSafety, OnlyThumbnailsInsideTheCacheFolderAreEverDeleted) {
    QTemporaryDir dir;
    QTemporaryDir outside;
    const QString app = dir.path();
    modInitial::SetAppPath(app);
    QDir(app).mkpath("Data");
    QDir(app).mkpath("Cache/sub");

    // Files that a hostile record names, one of them read-only, and one reached through a link
    // that sits in the cache folder.
    const QStringList victims = {outside.filePath("a.txt"), outside.filePath("readonly.txt"),
                                 outside.filePath("linked.txt"), app + "/Cache/sub/nested.bmp"};
    for (const QString& v : victims)
        qvtest::writeFile(v, "precious");
    QFile::setPermissions(outside.filePath("readonly.txt"), QFileDevice::ReadOwner);
    ASSERT_TRUE(QFile::link(outside.filePath("linked.txt"), app + "/Cache/link.bmp"));
    qvtest::writeFile(app + "/Cache/good.bmp", "BM");

    const QStringList hostile = {outside.filePath("a.txt"),
                                 outside.filePath("readonly.txt"),
                                 app + "/Cache/../Data/User.dat",
                                 app + "/Cache/sub/nested.bmp",
                                 "a.txt",
                                 app + "/Cache/..",
                                 "C:\\Windows\\win.ini"};
    QString records;
    int key = 1000;
    for (const QString& name : hostile)
        records += QStringLiteral("<rcp url=\"http://h/%1\" ThumbnailName=\"%2\" rindex=\"%1\"/>")
                       .arg(++key)
                       .arg(name.toHtmlEscaped());
    records += QStringLiteral("<rcp url=\"http://ok/\" ThumbnailName=\"%1\" rindex=\"good\"/>")
                   .arg(app + "/Cache/good.bmp");
    records += QStringLiteral("<rcp url=\"http://link/\" ThumbnailName=\"%1\" rindex=\"link\"/>")
                   .arg(app + "/Cache/link.bmp");
    modDataFile::WriteEncryptedFile(app + "/Data/User.dat",
                                    "<data><globalinfo userid=\"\"/><actstatus><RecentlyClosedPages>" +
                                        records + "</RecentlyClosedPages></actstatus></data>");

    modInitial::gData = new clsData;
    TaskDialog::SetAnswerer([](const TaskDialog&) -> std::optional<int> { return Answer::Yes; });
    clsRecentClosedPages* pages = ActStatusOf(modInitial::gData->UserData())->RecentlyClosedPages();

    // Loading drops every name that is not a plain file in the cache folder.
    for (const XmlNode& record : pages->XMLNode.childElements()) {
        const QString name = record.getAttribute("ThumbnailName");
        const QString rindex = record.getAttribute("rindex");
        if (rindex == "good" || rindex == "link")
            EXPECT_EQ(name, app + "/Cache/" + rindex + ".bmp");
        else
            EXPECT_EQ(name, "") << rindex.toStdString();
    }
    // A record added with such a name keeps it, but removing it deletes nothing there either.
    pages->Add(QDateTime::currentDateTime(), "http://new/", "t", "", outside.filePath("a.txt"), "", "new");
    EXPECT_TRUE(pages->Remove("new", true));

    EXPECT_TRUE(pages->Remove("1001", true));
    EXPECT_TRUE(pages->RemoveAll());
    EXPECT_EQ(pages->XMLNode.childElements().length(), 0);

    for (const QString& v : victims)
        EXPECT_EQ(qvtest::readFile(v), QByteArray("precious")) << v.toStdString();
    EXPECT_TRUE(modDataFile::ReadEncryptedFile(app + "/Data/User.dat").startsWith("<data>"));
    EXPECT_FALSE(QFileInfo::exists(app + "/Cache/good.bmp"));
    EXPECT_FALSE(QFileInfo(app + "/Cache/link.bmp").isSymLink()) << "the link itself went";

    TaskDialog::SetAnswerer({});
    delete modInitial::gData;
    modInitial::gData = nullptr;
}
