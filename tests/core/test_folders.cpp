#include "core/clsCommonData.h"
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

// Where the files of a writable, a read-only and an installed copy go.
namespace {

class Folders : public ::testing::Test {
protected:
    void SetUp() override {
        oldAppPath = modInitial::AppPath();
        ASSERT_TRUE(root.isValid());
    }
    void TearDown() override {
        modInitial::SetAppPath(oldAppPath);
        modFolders::Refresh();
        modInitial::gDevLog.reset();
    }
    QString path(const QString& relative) const { return root.filePath(relative); }
    // A copy that carries its data beside its programs.
    QString portableCopy(const QString& relative) const {
        QDir().mkpath(path(relative + "/Data"));
        qvtest::writeFile(path(relative + "/Data/common.dat"), "common");
        qvtest::writeFile(path(relative + "/Data/icon.dat"), "icons");
        return path(relative);
    }

    QTemporaryDir root;
    QString oldAppPath;
};

} // namespace

TEST_F(Folders, AWritableCopyKeepsEveryFileInItsProgramFolder) {
    const QString program = portableCopy("QV");
    ScopedEnv home("XDG_DATA_HOME", path("home").toUtf8());
    modInitial::SetAppPath(program);

    EXPECT_TRUE(modFolders::WritesIntoProgramFolder());
    EXPECT_FALSE(modFolders::IsInstalledCopy());
    EXPECT_EQ(modFolders::UserFolder(), program);
    EXPECT_EQ(modFolders::UserDataFile(), program + "/Data/User.dat");
    EXPECT_EQ(modFolders::LocalPageFolder(), program + "/Data");
    EXPECT_EQ(modFolders::CacheFolder(), program + "/Cache");
    EXPECT_EQ(modFolders::TempFolder(), program + "/Temp");
    EXPECT_EQ(modFolders::LogFile(), program + "/log.txt");
    EXPECT_EQ(modFolders::CommonDataFile(), program + "/Data/common.dat");
    EXPECT_EQ(modFolders::IconLibraryFile(), program + "/Data/icon.dat");
    EXPECT_EQ(modFolders::MachineRegistryFile(), program + "/Data/Registry/HKEY_LOCAL_MACHINE.reg");
    EXPECT_EQ(clsUserData().FilePath(), program + "/Data/User.dat");
    EXPECT_EQ(clsCommonData().FilePath(), program + "/Data/common.dat");

    QString error;
    EXPECT_TRUE(modFolders::CreateUserFolder(&error)) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(path("home")));
}

TEST_F(Folders, AReadOnlyCopyWritesIntoEachUsersOwnDataFolder) {
    const QString program = portableCopy("QV");
    struct Writable {
        QString folder;
        ~Writable() { qvtest::setReadOnly(folder, false); }
    } writable{program};
    if (!qvtest::setReadOnly(program, true))
        GTEST_SKIP() << "this machine cannot make a folder read-only";
    ScopedEnv home("XDG_DATA_HOME", path("alice/share").toUtf8());
    modInitial::SetAppPath(program);

    const QString alice = path("alice/share/Quorvel");
    EXPECT_FALSE(modFolders::WritesIntoProgramFolder());
    EXPECT_FALSE(modFolders::IsInstalledCopy());
    EXPECT_EQ(modFolders::UserFolder(), alice);
    EXPECT_EQ(modFolders::UserDataFile(), alice + "/Data/User.dat");
    EXPECT_EQ(modFolders::LocalPageFolder(), alice + "/Data");
    EXPECT_EQ(modFolders::CacheFolder(), alice + "/Cache");
    EXPECT_EQ(modFolders::TempFolder(), alice + "/Temp");
    EXPECT_EQ(modFolders::LogFile(), alice + "/log.txt");
    // What the copy ships is still read from beside it.
    EXPECT_EQ(modFolders::CommonDataFile(), program + "/Data/common.dat");
    EXPECT_EQ(modFolders::IconLibraryFile(), program + "/Data/icon.dat");
    EXPECT_EQ(clsUserData().FilePath(), alice + "/Data/User.dat");

    // Another user of the same copy has a folder of their own.
    {
        ScopedEnv bob("XDG_DATA_HOME", path("bob/share").toUtf8());
        EXPECT_EQ(modFolders::UserDataFile(), path("bob/share/Quorvel/Data/User.dat"));
    }

    // The first start makes the folder, the user's own, together with the missing data home.
    QString error;
    ASSERT_TRUE(modFolders::CreateUserFolder(&error)) << error.toStdString();
    EXPECT_TRUE(QFileInfo(alice).isDir());
    EXPECT_EQ(QFileInfo(alice).permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther |
                                                QFile::WriteOther | QFile::ExeGroup | QFile::ExeOther),
              QFile::Permissions());
    modInitial::gDevLog = std::make_unique<QStringList>();
    modDevelopeFunction::WriteLog(QStringLiteral("第一行"));
    EXPECT_TRUE(qvtest::readFile(alice + "/log.txt").endsWith(QStringLiteral(" 第一行\n").toUtf8()));

    // The decision holds while the program runs, and is taken again at the next start.
    qvtest::setReadOnly(program, false);
    EXPECT_EQ(modFolders::UserFolder(), alice);
    modFolders::Refresh();
    EXPECT_EQ(modFolders::UserFolder(), program);
    EXPECT_EQ(QDir(program).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"Data"});
}

TEST_F(Folders, AnInstalledCopyReadsTheInstalledDataAndWritesNothingBesideItsPrograms) {
    const QString bin = path("usr/bin");
    QDir().mkpath(bin);
    const QString data = modFolders::InstalledDataFolder(bin);
    EXPECT_EQ(data, path("usr/share/quorvel"));
    QDir().mkpath(data);
    qvtest::writeFile(data + "/common.dat", "common");
    qvtest::writeFile(data + "/icon.dat", "icons");
    ScopedEnv home("XDG_DATA_HOME", path("home").toUtf8());
    modInitial::SetAppPath(bin);

    // The programs' folder is writable (a prefix of the user's own), and still not written to.
    EXPECT_TRUE(modFolders::IsInstalledCopy());
    EXPECT_FALSE(modFolders::WritesIntoProgramFolder());
    EXPECT_EQ(modFolders::DataFolder(), data);
    EXPECT_EQ(modFolders::CommonDataFile(), data + "/common.dat");
    EXPECT_EQ(modFolders::IconLibraryFile(), data + "/icon.dat");
    EXPECT_EQ(modFolders::MachineRegistryFile(), data + "/Registry/HKEY_LOCAL_MACHINE.reg");
    EXPECT_EQ(modFolders::UserDataFile(), path("home/Quorvel/Data/User.dat"));
    EXPECT_EQ(clsCommonData().FilePath(), data + "/common.dat");

    // Data beside the programs makes it a portable copy again, whatever else is installed.
    portableCopy("usr/bin");
    modFolders::Refresh();
    EXPECT_FALSE(modFolders::IsInstalledCopy());
    EXPECT_EQ(modFolders::CommonDataFile(), bin + "/Data/common.dat");
    EXPECT_EQ(modFolders::UserDataFile(), bin + "/Data/User.dat");
}
