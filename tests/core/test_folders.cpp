#include "core/clsUserData.h"
#include "core/modDevelopeFunction.h"
#include "core/modFolders.h"
#include "core/modInitial.h"

#include "ReadOnlyPath.h"
#include "ScopedEnv.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// A read-only portable copy and an installed copy (whose programs' folder may well be writable)
// read their shipped data where it is and write every file into each user's own data folder.
TEST(Folders, ReadOnlyAndInstalledCopiesWriteIntoEachUsersOwnDataFolder) {
    QTemporaryDir root;
    const QString oldAppPath = modInitial::AppPath();
    struct Restore {
        QString appPath, readOnly;
        ~Restore() {
            qvtest::setReadOnly(readOnly, false);
            modInitial::SetAppPath(appPath);
            modFolders::Refresh();
            modInitial::gDevLog.reset();
        }
    } restore{oldAppPath, root.filePath("portable")};
    ScopedEnv home("XDG_DATA_HOME", root.filePath("alice/share").toUtf8());
    const QString alice = root.filePath("alice/share/Quorvel");

    const QString portable = root.filePath("portable");
    QDir().mkpath(portable + "/Data");
    qvtest::writeFile(portable + "/Data/common.dat", "common");
    if (qvtest::setReadOnly(portable, true)) {
        modInitial::SetAppPath(portable);
        EXPECT_FALSE(modFolders::WritesIntoProgramFolder());
        EXPECT_EQ(modFolders::CommonDataFile(), portable + "/Data/common.dat");
        EXPECT_EQ(clsUserData().FilePath(), alice + "/Data/User.dat");
        EXPECT_EQ(modFolders::CacheFolder(), alice + "/Cache");
        {
            ScopedEnv bob("XDG_DATA_HOME", root.filePath("bob").toUtf8());
            EXPECT_EQ(modFolders::UserDataFile(), root.filePath("bob/Quorvel/Data/User.dat"));
        }
        // The first start makes the folder (with the missing data home), for its owner only.
        QString error;
        ASSERT_TRUE(modFolders::CreateUserFolder(&error)) << error.toStdString();
        EXPECT_EQ(int(QFileInfo(alice).permissions()) & 0x0077, 0) << "group and others have no access";
        modInitial::gDevLog = std::make_unique<QStringList>();
        modDevelopeFunction::WriteLog(QStringLiteral("第一行"));
        EXPECT_TRUE(qvtest::readFile(alice + "/log.txt").endsWith(QStringLiteral(" 第一行\n").toUtf8()));
        // The decision holds while the program runs; the next start takes it again.
        qvtest::setReadOnly(portable, false);
        EXPECT_EQ(modFolders::LogFile(), alice + "/log.txt");
        modFolders::Refresh();
        EXPECT_EQ(modFolders::LogFile(), portable + "/log.txt");
        EXPECT_EQ(QDir(portable).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"Data"});
    }

    const QString bin = root.filePath("usr/bin");
    const QString data = modFolders::InstalledDataFolder(bin);
    EXPECT_EQ(data, root.filePath("usr/share/quorvel"));
    QDir().mkpath(bin);
    QDir().mkpath(data);
    qvtest::writeFile(data + "/common.dat", "common");
    modInitial::SetAppPath(bin);
    EXPECT_TRUE(modFolders::IsInstalledCopy());
    EXPECT_FALSE(modFolders::WritesIntoProgramFolder());
    EXPECT_EQ(modFolders::IconLibraryFile(), data + "/icon.dat");
    EXPECT_EQ(modFolders::TempFolder(), alice + "/Temp");
    // Data beside the programs makes it a portable copy again.
    QDir().mkpath(bin + "/Data");
    qvtest::writeFile(bin + "/Data/common.dat", "common");
    modFolders::Refresh();
    EXPECT_EQ(modFolders::CommonDataFile(), bin + "/Data/common.dat");
    EXPECT_EQ(modFolders::UserDataFile(), bin + "/Data/User.dat");
}
