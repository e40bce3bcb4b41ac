#include "platform/PlainMessage.h"
#include "updater/modQVUpdate.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "common/TestSupport.h"

namespace {

const QString kFailure = QStringLiteral("在线升级失败！请重新下载安装包: ");

struct File {
    QString clientlocation;
    QString servername;
    QString lastwritetime = QStringLiteral("2021-03-04 05:06:07");
};

class UpdaterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetPlainMessageHandler([this](const QString& text, const QString& title) {
            messages << text;
            EXPECT_EQ(title, "QVUpdate");
        });
        modQVUpdate::SetProgramStarter([this](const QString& program, const QString& folder) {
            started << program;
            EXPECT_EQ(folder, QDir::cleanPath(dir.path()));
            return true;
        });
        modQVUpdate::SetWaitLimit(60000);
    }
    void TearDown() override {
        SetPlainMessageHandler({});
        modQVUpdate::SetProgramStarter({});
        modQVUpdate::SetWaitLimit(60000);
    }
    QString path(const QString& relative) const { return QDir::cleanPath(dir.filePath(relative)); }
    void put(const QString& relative, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path(relative)).path());
        qvtest::writeFile(path(relative), bytes);
    }
    // Writes the list and a download in Temp for each entry (the servername's text as content).
    void prepare(const QList<File>& files, bool withDownloads = true) {
        QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<filelist>";
        for (const File& f : files) {
            xml += QStringLiteral("<file filename=\"%1\" clientlocation=\"%2\" serverpath=\"http://h/\" "
                                  "servername=\"%1\" size=\"%3\" version=\"\" lastwritetime=\"%4\" "
                                  "comparemode=\"overwriteanyway\" iscompressed=\"false\"/>")
                       .arg(f.servername.toHtmlEscaped(), f.clientlocation.toHtmlEscaped())
                       .arg(f.servername.toUtf8().size())
                       .arg(f.lastwritetime)
                       .toUtf8();
            if (withDownloads)
                put("Temp/tupd" + f.servername, f.servername.toUtf8());
        }
        put("Temp/filelist.dat", xml + "</filelist>");
    }
    // The process id of a process that has ended.
    static QString endedProcess() {
        QProcess p;
        p.start("true", {});
        p.waitForStarted(5000);
        const qint64 pid = p.processId();
        p.waitForFinished(5000);
        return QString::number(pid);
    }
    void expectFailure(const QString& file, const char* descriptionPart) {
        ASSERT_EQ(messages.size(), 1);
        const QStringList lines = messages.first().split('\n');
        ASSERT_EQ(lines.size(), 3) << messages.first().toStdString();
        EXPECT_EQ(lines[0], kFailure + QLatin1String(modQVUpdate::DownloadPage));
        EXPECT_EQ(lines[1], QStringLiteral("错误情况: ") + file);
        EXPECT_TRUE(lines[2].contains(QString::fromUtf8(descriptionPart))) << lines[2].toStdString();
        EXPECT_TRUE(started.isEmpty()) << "no restart after a failure";
    }

    QTemporaryDir dir;
    QStringList messages;
    QStringList started;
};

} // namespace

TEST_F(UpdaterTest, WithoutAProcessIdOrWithoutAListNothingIsTouched) {
    prepare({{"a.txt", "a.txt"}});
    put("a.txt", "old");
    EXPECT_EQ(modQVUpdate::Main({}, dir.path()), 1);
    expectFailure(QString(), "进程号");
    EXPECT_EQ(qvtest::readFile(path("a.txt")), QByteArray("old"));
    EXPECT_TRUE(QFileInfo::exists(path("Temp/filelist.dat")));

    messages.clear();
    QFile::remove(path("Temp/filelist.dat"));
    EXPECT_EQ(modQVUpdate::Main({endedProcess()}, dir.path()), 1);
    expectFailure(QString(), "filelist.dat");
    EXPECT_EQ(qvtest::readFile(path("a.txt")), QByteArray("old"));

    // A list the main program did not write: no filelist root.
    messages.clear();
    put("Temp/filelist.dat", "<other/>");
    EXPECT_EQ(modQVUpdate::Main({endedProcess()}, dir.path()), 1);
    expectFailure(QString(), "filelist");
}

TEST_F(UpdaterTest, WaitsForTheMainProgramButNotForeverAndNotForAnEndedOne) {
    prepare({{"a.txt", "a.txt"}});
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(modQVUpdate::Main({endedProcess()}, dir.path()), 0);
    EXPECT_LT(timer.elapsed(), 1000) << "an ended process is not waited for";

    // A process that ends while the updater waits (and is not collected by its parent, as this
    // test does not run its event loop meanwhile).
    prepare({{"a.txt", "a.txt"}});
    QProcess ending;
    ending.start("sleep", {"0.4"});
    ASSERT_TRUE(ending.waitForStarted());
    timer.restart();
    EXPECT_EQ(modQVUpdate::Main({QString::number(ending.processId())}, dir.path()), 0);
    EXPECT_GE(timer.elapsed(), 300);
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_EQ(started.size(), 2);
    ending.waitForFinished();

    // One that does not end in time: the failure message and no restart.
    started.clear();
    prepare({{"a.txt", "a.txt"}});
    put("a.txt", "old");
    modQVUpdate::SetWaitLimit(300);
    QProcess stuck;
    stuck.start("sleep", {"20"});
    ASSERT_TRUE(stuck.waitForStarted());
    EXPECT_EQ(modQVUpdate::Main({QString::number(stuck.processId())}, dir.path()), 1);
    expectFailure(QString(), QString::number(stuck.processId()).toUtf8().constData());
    EXPECT_EQ(qvtest::readFile(path("a.txt")), QByteArray("old"));
    stuck.kill();
    stuck.waitForFinished();
}

TEST_F(UpdaterTest, FilesReplaceReadOnlyOnesInNewFolderChainsAndCarryTheListsTime) {
    put("ro.txt", "old read-only");
    QFile::setPermissions(path("ro.txt"), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    put("QV", "old program");
    QFile::setPermissions(path("QV"), QFile::permissions(path("QV")) | QFile::ExeOwner);
    prepare({{"ro.txt", "ro.txt"},
             {"Data\\a\\b\\c\\new.dat", "new.dat", "2019-12-31 23:59:58"},
             {"\\QV.exe", "QV.exe"}});
    EXPECT_EQ(modQVUpdate::Main({endedProcess()}, dir.path()), 0);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
    EXPECT_EQ(started, QStringList({path("QV")}));
    // Access time first: reading the file below may move it.
    EXPECT_EQ(QFileInfo(path("ro.txt")).lastRead(), QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7)));
    EXPECT_EQ(qvtest::readFile(path("ro.txt")), QByteArray("ro.txt"));
    EXPECT_EQ(qvtest::readFile(path("Data/a/b/c/new.dat")), QByteArray("new.dat"));
    EXPECT_EQ(qvtest::readFile(path("QV")), QByteArray("QV.exe"));
    EXPECT_TRUE(QFile::permissions(path("QV")) & QFile::ExeOwner) << "the program stays startable";
    EXPECT_EQ(QFileInfo(path("Data/a/b/c/new.dat")).lastModified(),
              QDateTime(QDate(2019, 12, 31), QTime(23, 59, 58)));
    EXPECT_EQ(QFileInfo(path("ro.txt")).lastModified(), QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7)));
    EXPECT_FALSE(QFileInfo::exists(path("Temp/filelist.dat")));
    EXPECT_EQ(QDir(path("Temp")).entryList(QDir::Files), QStringList()) << "every download left Temp";
    EXPECT_EQ(QDir(dir.path()).entryList({"*.qvupdate-old"}), QStringList());
}

TEST_F(UpdaterTest, AFailureHalfWayPutsEveryOldFileBack) {
    put("one.txt", "old one");
    put("two.txt", "old two");
    // A target that cannot be written: a folder stands where the file should go.
    put("blocked/inside.txt", "x");
    prepare({{"one.txt", "one.txt"},
             {"Data\\new\\three.txt", "three.txt"},
             {"blocked", "blocked"},
             {"two.txt", "two.txt"}});
    EXPECT_EQ(modQVUpdate::Main({endedProcess()}, dir.path()), 1);
    expectFailure(path("blocked"), "文件夹");
    EXPECT_EQ(qvtest::readFile(path("one.txt")), QByteArray("old one"));
    EXPECT_EQ(qvtest::readFile(path("two.txt")), QByteArray("old two"));
    EXPECT_FALSE(QFileInfo::exists(path("Data/new"))) << "folders made for the update go again";
    EXPECT_TRUE(QFileInfo(path("blocked")).isDir());
    EXPECT_EQ(qvtest::readFile(path("Temp/tupdone.txt")), QByteArray("one.txt"))
        << "the downloads stay in Temp";
    EXPECT_TRUE(QFileInfo::exists(path("Temp/filelist.dat")));
    EXPECT_EQ(QDir(dir.path()).entryList({"*.qvupdate-old"}), QStringList());

    // A download missing from Temp, or an entry that leaves the program folder: nothing moves.
    for (const QList<File>& list :
         {QList<File>{{"one.txt", "one.txt"}, {"two.txt", "two.txt"}},
          QList<File>{{"one.txt", "one.txt"}, {"..\\outside.txt", "outside.txt"}}}) {
        messages.clear();
        QDir(path("Temp")).removeRecursively();
        prepare(list);
        QFile::remove(path("Temp/tupdtwo.txt"));
        EXPECT_EQ(modQVUpdate::Main({endedProcess()}, dir.path()), 1);
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages.first().startsWith(kFailure));
        EXPECT_EQ(qvtest::readFile(path("one.txt")), QByteArray("old one"));
        EXPECT_FALSE(QFileInfo::exists(QFileInfo(dir.path() + "/../outside.txt").absoluteFilePath()));
    }
    EXPECT_TRUE(started.isEmpty());
}

TEST(UpdaterProgram, ShowsItsFailureThroughTheMessageSeamAndStartsNothing) {
    QTemporaryDir folder;
    ASSERT_TRUE(QFile::copy(qvtest::buildDir() + "/QVUpdate", folder.filePath("QVUpdate")));
    QFile::setPermissions(folder.filePath("QVUpdate"), QFile::permissions(qvtest::buildDir() + "/QVUpdate"));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QV_AUTOANSWER", "1");
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    p.setProcessEnvironment(env);
    p.start(folder.filePath("QVUpdate"), {});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 1);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(err.contains("QV message: " + kFailure + modQVUpdate::DownloadPage + " 错误情况:  "))
        << err.toStdString();
}
