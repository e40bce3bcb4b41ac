#include "core/QvError.h"
#include "core/XmlDocument.h"
#include "core/clsCommonData.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "core/modSafeFile.h"
#include "platform/PlainMessage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/TestSupport.h"

static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

// Data files met on the disk may be hostile or broken, and disks fail: none of it may hang the
// program, eat its memory, or cost the user the last saved state.
namespace {

using modSafeFile::MaxDataFileSize;

class DataSafety : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        modInitial::SetAppPath(dir.path());
        QDir(dir.path()).mkpath("Data");
        clsUserData::SetDockingLayoutProvider({});
        clsUserData::SetUserIDRequester({});
    }
    void TearDown() override {
        modSafeFile::SetSyncFunction({});
        SetPlainMessageHandler({});
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QStringList filesIn(const QString& folder) const {
        return QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
    }
    QTemporaryDir dir;
};

// Runs `load` and expects it to end fast, without growing the process's peak memory by much.
template <class Fn> void expectQuickAndSmall(const char* what, Fn load) {
    const qint64 peakBefore = qvtest::processMemoryMiB(0, "VmHWM");
    QElapsedTimer timer;
    timer.start();
    load();
    EXPECT_LT(timer.elapsed(), 2000) << what;
    EXPECT_LT(qvtest::processMemoryMiB(0, "VmHWM") - peakBefore, 200) << what;
}

} // namespace

TEST(HostileXml, DocumentTypeDeclarationsAreRefusedBeforeAnyEntityIsExpanded) {
    XmlDocument doc;
    expectQuickAndSmall("entity expansion",
                        [&] { EXPECT_FALSE(doc.loadXML(qvtest::entityExpansionDocument())); });
    EXPECT_TRUE(doc.isEmpty());
    EXPECT_TRUE(doc.parseError().contains("DOCTYPE")) << doc.parseError().toStdString();

    // External entities would read files of the machine; a bare declaration is refused as well.
    EXPECT_FALSE(doc.loadXML("<!DOCTYPE data [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><data>&x;</data>"));
    EXPECT_FALSE(doc.loadXML("<!DOCTYPE data SYSTEM \"http://127.0.0.1:9/data.dtd\"><data/>"));
    EXPECT_FALSE(doc.loadXML("<?xml version=\"1.0\"?><!DOCTYPE data><data/>"));
    EXPECT_TRUE(doc.parseError().contains("DOCTYPE"));

    // Documents without one load as before, predefined and character references included; the
    // refusal of the last parse does not stick to the next.
    ASSERT_TRUE(doc.loadXML("<data a=\"&lt;&amp;&#20013;\">x &gt; y</data>"));
    EXPECT_EQ(doc.documentElement().getAttribute("a"), QStringLiteral("<&中"));
    EXPECT_EQ(doc.documentElement().text(), "x > y");
    // A reference to an undeclared entity is an error, not an empty text.
    EXPECT_FALSE(doc.loadXML("<data>&lol9;</data>"));
}

TEST_F(DataSafety, DataFilesWithEntityDeclarationsAreUnreadableAtOnce) {
    modDataFile::WriteEncryptedFile(path("Data/User.dat"), qvtest::entityExpansionDocument());
    modDataFile::WriteEncryptedFile(path("Data/common.dat"), qvtest::entityExpansionDocument());
    expectQuickAndSmall("User.dat", [&] {
        clsUserData user(path("Data/User.dat"), nullptr);
        EXPECT_TRUE(user.XMLNode.isNull());
        EXPECT_TRUE(user.LoadError().contains("DOCTYPE")) << user.LoadError().toStdString();
        EXPECT_THROW(user.Save(), QvError) << "an unreadable file is never written over";
    });
    expectQuickAndSmall("common.dat", [&] {
        clsCommonData common(path("Data/common.dat"));
        EXPECT_TRUE(common.XMLNode.isNull());
        EXPECT_TRUE(common.LoadError().contains("DOCTYPE")) << common.LoadError().toStdString();
    });
}

TEST_F(DataSafety, OnlyRegularFilesWithinTheSizeLimitAreRead) {
    auto expectRefused = [](const QString& file, int number) {
        try {
            modDataFile::ReadEncryptedFile(file);
            ADD_FAILURE() << "read " << file.toStdString();
        } catch (const QvError& e) {
            EXPECT_EQ(e.number(), number) << e.description().toStdString();
            EXPECT_TRUE(e.description().contains(file)) << e.description().toStdString();
        }
    };

    // A FIFO would block the reader until someone writes to it.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo.dat")).constData(), 0600), 0);
    expectQuickAndSmall("FIFO", [&] { expectRefused(path("fifo.dat"), modSafeFile::NotARegularFile); });
    // A device gives bytes for ever; a link does not hide it.
    ASSERT_TRUE(QFile::link("/dev/zero", path("zero.dat")));
    expectQuickAndSmall("device", [&] { expectRefused(path("zero.dat"), modSafeFile::NotARegularFile); });
    expectRefused(dir.path(), modSafeFile::NotARegularFile);

    // A sparse file far above the limit is refused by its size, without reading it.
    {
        QFile sparse(path("huge.dat"));
        ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
        ASSERT_TRUE(sparse.resize(MaxDataFileSize * 12));
    }
    expectQuickAndSmall("sparse", [&] { expectRefused(path("huge.dat"), modSafeFile::FileTooLarge); });
    {
        clsUserData user(path("huge.dat"), nullptr);
        EXPECT_TRUE(user.XMLNode.isNull());
        EXPECT_TRUE(user.LoadError().contains("256 MiB")) << user.LoadError().toStdString();
    }

    // A link to a regular data file is followed.
    modDataFile::WriteEncryptedFile(path("real.dat"), QStringLiteral("<data/>"));
    ASSERT_TRUE(QFile::link(path("real.dat"), path("link.dat")));
    EXPECT_TRUE(modDataFile::ReadEncryptedFile(path("link.dat")).startsWith("<data/>"));
}

TEST_F(DataSafety, WritesReplaceOnlyRegularFilesAndFollowLinksToThem) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo.dat")).constData(), 0600), 0);
    try {
        modDataFile::WriteEncryptedFile(path("fifo.dat"), "<data/>");
        ADD_FAILURE() << "wrote over a FIFO";
    } catch (const QvError& e) {
        EXPECT_EQ(e.number(), modSafeFile::NotARegularFile);
    }
    struct stat st = {};
    ASSERT_EQ(::lstat(QFile::encodeName(path("fifo.dat")).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO is still there";

    // A link to a regular file: the file behind it gets the new contents, the link stays a link.
    modDataFile::WriteEncryptedFile(path("target.dat"), "<old/>");
    ::chmod(QFile::encodeName(path("target.dat")).constData(), 0640);
    ASSERT_TRUE(QFile::link("target.dat", path("link.dat")));
    modDataFile::WriteEncryptedFile(path("link.dat"), "<new/>");
    EXPECT_TRUE(QFileInfo(path("link.dat")).isSymLink());
    EXPECT_TRUE(modDataFile::ReadEncryptedFile(path("target.dat")).startsWith("<new/>"));
    ASSERT_EQ(::stat(QFile::encodeName(path("target.dat")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "the new file keeps the old one's permissions";

    // A link that leads nowhere is not turned into a file.
    ASSERT_TRUE(QFile::link(path("missing/none.dat"), path("dangling.dat")));
    EXPECT_THROW(modDataFile::WriteEncryptedFile(path("dangling.dat"), "<data/>"), QvError);
    EXPECT_TRUE(QFileInfo(path("dangling.dat")).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(path("missing")));
}

TEST_F(DataSafety, ASaveIsSyncedBeforeTheRenameAndTheFolderAfterIt) {
    const QString file = path("Data/User.dat");
    modDataFile::WriteEncryptedFile(file, "<data><old/></data>");
    const QByteArray before = qvtest::readFile(file);

    // What the file holds at each sync: the old contents while the new file is synced, the new
    // ones when the folder is.
    QStringList seen;
    modSafeFile::SetSyncFunction([&](int fd, bool isFolder) {
        const bool old = qvtest::readFile(file) == before;
        seen << QStringLiteral("%1:%2").arg(isFolder ? "folder" : "file", old ? "old" : "new");
        return isFolder ? ::fsync(fd) : ::fdatasync(fd);
    });
    modDataFile::WriteEncryptedFile(file, "<data><new/></data>");
    EXPECT_EQ(seen, QStringList({"file:old", "folder:new"}));

    // A sync that fails (a disk error, a full disk) abandons the save: the old file stays and no
    // temporary file is left behind.
    const QByteArray saved = qvtest::readFile(file);
    for (int error : {EIO, ENOSPC}) {
        modSafeFile::SetSyncFunction([error](int, bool isFolder) {
            if (isFolder)
                return 0;
            errno = error;
            return -1;
        });
        try {
            modDataFile::WriteEncryptedFile(file, "<data><lost/></data>");
            ADD_FAILURE() << "a failed sync was reported as a save";
        } catch (const QvError& e) {
            EXPECT_EQ(e.number(), QvErrors::PathAccess);
            EXPECT_TRUE(e.description().contains(file) && e.description().contains(strerror(error)))
                << e.description().toStdString();
        }
        EXPECT_EQ(qvtest::readFile(file), saved);
        EXPECT_EQ(filesIn(path("Data")), QStringList{"User.dat"});
    }

    // The user data keeps its changes as unsaved, and the exit warns exactly as for a failed
    // write.
    modInitial::gData = new clsData;
    clsUserData* user = modInitial::gData->UserData();
    ASSERT_TRUE(user->LoadError().isEmpty());
    user->setUserID("77");
    EXPECT_THROW(user->Save(), QvError);
    EXPECT_TRUE(user->IsDirty());
    QStringList messages;
    SetPlainMessageHandler([&](const QString& text, const QString&) { messages << text; });
    modInitial::ResetShutdown();
    modInitial::Shutdown();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("用户数据无法保存到 "))) << messages[0].toStdString();
    EXPECT_EQ(qvtest::readFile(file), saved);

    // A failed write (the folder is gone) gives the same warning.
    modSafeFile::SetSyncFunction({});
    modInitial::gData = new clsData;
    modInitial::gData->UserData()->setUserID("78");
    ASSERT_TRUE(QDir(path("Data")).removeRecursively());
    messages.clear();
    modInitial::ResetShutdown();
    modInitial::Shutdown();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("用户数据无法保存到 "))) << messages[0].toStdString();
}

TEST_F(DataSafety, ChangesAreSavedByThemselvesWithinTheStatedDelay) {
    const QString file = path("Data/User.dat");
    modDataFile::WriteEncryptedFile(file, clsUserData::InitialDocument());
    clsUserData user(file, nullptr);
    QSignalSpy saved(&user, &clsUserData::saved);

    // Two changes a moment apart make one save, which comes SaveDelayMs after the first.
    QElapsedTimer sinceChange;
    sinceChange.start();
    user.setUserID("4711");
    EXPECT_TRUE(user.IsDirty());
    QTest::qWait(300);
    clsUserData::GetOrCreateChild(user.XMLNode, "postnotes").setAttribute("count", "1");
    ASSERT_TRUE(saved.wait(clsUserData::SaveDelayMs + 3000));
    const qint64 delay = sinceChange.elapsed();
    EXPECT_GE(delay, clsUserData::SaveDelayMs - 50);
    EXPECT_LE(delay, clsUserData::SaveDelayMs + 1000);
    EXPECT_EQ(saved.count(), 1);
    EXPECT_FALSE(user.IsDirty());
    const QString onDisk = modDataFile::ReadEncryptedFile(file);
    EXPECT_TRUE(onDisk.contains("userid=\"4711\"")) << onDisk.toStdString();
    EXPECT_TRUE(onDisk.contains("<postnotes count=\"1\"/>")) << onDisk.toStdString();

    // User data kept in memory only has nowhere to go and schedules nothing.
    clsData hub;
    hub.UseInitialUserData();
    hub.UserData()->setUserID("1");
    EXPECT_FALSE(hub.UserData()->IsDirty());
    EXPECT_TRUE(hub.UserData()->IsMemoryOnly());
}

TEST_F(DataSafety, AFailingBackgroundSaveWarnsOnceAndKeepsTheChanges) {
    const QString file = path("Data/User.dat");
    modDataFile::WriteEncryptedFile(file, clsUserData::InitialDocument());
    const QByteArray before = qvtest::readFile(file);
    clsUserData user(file, nullptr);
    QStringList messages;
    SetPlainMessageHandler([&](const QString& text, const QString&) { messages << text; });
    modSafeFile::SetSyncFunction([](int, bool) {
        errno = EIO;
        return -1;
    });
    QSignalSpy failed(&user, &clsUserData::saveFailed);
    user.setUserID("1");
    ASSERT_TRUE(failed.wait(clsUserData::SaveDelayMs + 3000));
    user.setUserID("2");
    ASSERT_TRUE(failed.wait(clsUserData::SaveDelayMs + 3000));
    EXPECT_EQ(messages.size(), 1) << "one warning for a run of failures";
    EXPECT_EQ(qvtest::readFile(file), before);
    EXPECT_TRUE(user.IsDirty());

    modSafeFile::SetSyncFunction({});
    user.Save();
    EXPECT_TRUE(modDataFile::ReadEncryptedFile(file).contains("userid=\"2\""));
}

TEST_F(DataSafety, InterruptedSavesAreKeptAsideWhenNewerAndReadableAndRemovedOtherwise) {
    const QString file = path("Data/User.dat");
    const QDateTime now = QDateTime::currentDateTime();
    auto writeAt = [](const QString& p, const QString& text, const QDateTime& when) {
        modDataFile::WriteEncryptedFile(p, text);
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(when, QFileDevice::FileModificationTime));
    };
    writeAt(file, "<data><saved/></data>", now.addSecs(-60));
    writeAt(path("Data/User.dat.Ab12Cd"), "<data><newer/></data>", now.addSecs(-10));
    writeAt(path("Data/User.dat.ZZ99zz"), "<data><older/></data>", now.addSecs(-120));
    qvtest::writeFile(path("Data/User.dat.q1w2e3"), "0123456789ABCDEF  01"); // cut short
    qvtest::writeFile(path("Data/User.dat.unreadable-20240101-120000"), "kept");
    qvtest::writeFile(path("Data/User.dat.toolong1"), "not ours");

    const QStringList kept = clsUserData::RecoverInterruptedSaves(file);
    ASSERT_EQ(kept.size(), 1);
    const QString expected = file + ".unsaved-" + now.addSecs(-10).toString("yyyyMMdd-HHmmss");
    EXPECT_EQ(kept[0], expected);
    EXPECT_TRUE(modDataFile::ReadEncryptedFile(expected).startsWith("<data><newer/></data>"));
    EXPECT_TRUE(modDataFile::ReadEncryptedFile(file).startsWith("<data><saved/></data>"));
    EXPECT_EQ(filesIn(path("Data")),
              QStringList({"User.dat", "User.dat.toolong1", "User.dat.unreadable-20240101-120000",
                           QFileInfo(expected).fileName()}));
}

TEST_F(DataSafety, UserDataInMemoryOnlyEndsWithoutAnErrorMessage) {
    QStringList messages;
    SetPlainMessageHandler([&](const QString& text, const QString&) { messages << text; });
    modInitial::gData = new clsData;
    modInitial::gData->UseInitialUserData();
    modInitial::gData->UserData()->setUserID("5");
    modInitial::ResetShutdown();
    modInitial::Shutdown();
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_EQ(modInitial::gData, nullptr);
}
