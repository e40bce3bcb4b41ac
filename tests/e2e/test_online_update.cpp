#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>
#include <signal.h>

#include "ProgramFolder.h"
#include "common/LocalHttpServer.h"
#include "common/TestSupport.h"

// The real QV updates itself from a local server through the real QVUpdate.
namespace {

const QDateTime kServerTime(QDate(2020, 5, 6), QTime(7, 8, 9));
const QDateTime kOldTime(QDate(2001, 1, 1), QTime(12, 0, 0));

// The processes that run the program file `path`.
QList<qint64> processesOf(const QString& path) {
    QList<qint64> pids;
    const QString wanted = QFileInfo(path).canonicalFilePath();
    QDirIterator it(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        bool numeric = false;
        const qint64 pid = it.fileName().toLongLong(&numeric);
        if (numeric && QFileInfo(it.filePath() + "/exe").symLinkTarget() == wanted)
            pids << pid;
    }
    return pids;
}

void setTime(const QString& path, const QDateTime& time) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(time, QFileDevice::FileModificationTime));
}

// Serves a list of "readme.txt" (by last write time) and one more file.
void serveUpdate(LocalHttpServer& server, const QString& secondLocation, const QString& secondMode) {
    const QByteArray readme = "the new readme\n";
    const QByteArray second = "the second new file, somewhat longer\n";
    const QString item = QStringLiteral(
        "<file filename=\"%1\" clientlocation=\"%2\" serverpath=\"%3\" servername=\"%1\" size=\"%4\" "
        "version=\"\" lastwritetime=\"%5\" comparemode=\"%6\" iscompressed=\"false\"/>");
    const QString time = kServerTime.toString("yyyy-MM-dd HH:mm:ss");
    const QString list = "<filelist>" +
                         item.arg("readme.txt", "readme.txt", server.url("/files/"))
                             .arg(readme.size())
                             .arg(time, "lastwritetime") +
                         item.arg("second.dat", secondLocation, server.url("/files/"))
                             .arg(second.size())
                             .arg(time, secondMode) +
                         "</filelist>";
    server.serve("/filelist.xml", list.toUtf8(), "text/xml");
    server.serve("/files/readme.txt", readme, "application/octet-stream");
    server.serve("/files/second.dat", second, "application/octet-stream");
}

} // namespace

TEST(OnlineUpdateEndToEnd, QVFetchesTheFilesAndRestartsThroughQVUpdate) {
    LocalHttpServer server;
    ASSERT_TRUE(server.start());
    serveUpdate(server, "Data\\second.dat", "overwritenoexist");
    ProgramFolder folder;
    folder.setGlobal("urlonlineupdatelist", server.url("/filelist.xml"));
    qvtest::writeFile(folder.path("readme.txt"), "the old readme\n");
    setTime(folder.path("readme.txt"), kOldTime);

    const QString errors = folder.path("errors.txt");
    QProcess* qv = folder.start({}, errors);
    ASSERT_TRUE(waitUntil([&] { return qv->state() == QProcess::NotRunning; }, 60000));
    EXPECT_EQ(qv->exitCode(), 0);
    EXPECT_TRUE(QString::fromUtf8(qvtest::readFile(errors))
                    .contains(QStringLiteral("QV question: Quorvel需要更新！")));

    // QVUpdate put the files in place and started QV again, which asks for the list once more.
    ASSERT_TRUE(waitUntil([&] { return server.requestsFor("/filelist.xml").size() >= 2; }, 60000))
        << qvtest::readFile(errors).toStdString();
    EXPECT_EQ(qvtest::readFile(folder.path("readme.txt")), QByteArray("the new readme\n"));
    EXPECT_EQ(qvtest::readFile(folder.path("Data/second.dat")),
              QByteArray("the second new file, somewhat longer\n"));
    EXPECT_EQ(QFileInfo(folder.path("readme.txt")).lastModified(), kServerTime);
    EXPECT_EQ(QFileInfo(folder.path("Data/second.dat")).lastModified(), kServerTime);
    EXPECT_FALSE(QFileInfo::exists(folder.path("Temp/filelist.dat")));
    EXPECT_EQ(QDir(folder.path("Temp")).entryList(QDir::Files), QStringList());
    const QList<qint64> running = processesOf(folder.path("QV"));
    ASSERT_EQ(running.size(), 1) << "QV runs again";
    EXPECT_TRUE(processesOf(folder.path("QVUpdate")).isEmpty());

    // The new start finds everything current and fetches no file again.
    const qsizetype fetched = server.requestsFor("/files/readme.txt").size();
    ::kill(pid_t(running.first()), SIGTERM);
    ASSERT_TRUE(waitUntil([&] { return processesOf(folder.path("QV")).isEmpty(); }, 30000));
    EXPECT_EQ(server.requestsFor("/files/readme.txt").size(), fetched);
    EXPECT_EQ(fetched, 1);
}

TEST(OnlineUpdateEndToEnd, AFileThatCannotBeWrittenLeavesEveryOldFileInPlace) {
    LocalHttpServer server;
    ASSERT_TRUE(server.start());
    // A folder stands where the second file should go: QVUpdate cannot write it.
    serveUpdate(server, "blocked", "overwriteanyway");
    ProgramFolder folder;
    folder.setGlobal("urlonlineupdatelist", server.url("/filelist.xml"));
    qvtest::writeFile(folder.path("readme.txt"), "the old readme\n");
    setTime(folder.path("readme.txt"), kOldTime);
    QDir(folder.path(".")).mkpath("blocked");
    qvtest::writeFile(folder.path("blocked/inside.txt"), "x");

    const QString errors = folder.path("errors.txt");
    QProcess* qv = folder.start({}, errors);
    ASSERT_TRUE(waitUntil([&] { return qv->state() == QProcess::NotRunning; }, 60000));
    ASSERT_TRUE(waitUntil([&] { return processesOf(folder.path("QVUpdate")).isEmpty(); }, 30000));
    EXPECT_EQ(qvtest::readFile(folder.path("readme.txt")), QByteArray("the old readme\n"));
    EXPECT_EQ(QFileInfo(folder.path("readme.txt")).lastModified(), kOldTime);
    EXPECT_TRUE(QFileInfo(folder.path("blocked")).isDir());
    EXPECT_TRUE(QFileInfo::exists(folder.path("Temp/filelist.dat"))) << "the list stays for the next try";
    EXPECT_TRUE(processesOf(folder.path("QV")).isEmpty()) << "no restart after a failure";
    EXPECT_EQ(server.requestsFor("/filelist.xml").size(), 1);
    // QVUpdate's failure message, answered through the message seam.
    const QString err = QString::fromUtf8(qvtest::readFile(errors));
    EXPECT_TRUE(err.contains(QStringLiteral("QV message: 在线升级失败！请重新下载安装包: ")))
        << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("错误情况: ") + folder.path("blocked")));
}
