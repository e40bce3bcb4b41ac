#include "core/clsUserData.h"
#include "core/modDataFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>
#include <signal.h>

#include "ProgramFolder.h"
#include "common/ReadOnlyPath.h"

// Developer mode where nothing can be written: the log file and the data folder are read-only.
TEST(DeveloperLog, AnUnwritableLogAndDataFolderNeitherStopNorEndTheProgram) {
    ProgramFolder folder;
    modDataFile::WriteEncryptedFile(folder.path("Data/User.dat"), clsUserData::InitialDocument());
    const QString log = folder.path("log.txt");
    const QString data = folder.path("Data");
    QFile(log).open(QIODevice::WriteOnly);
    if (!qvtest::setReadOnly(log, true))
        GTEST_SKIP() << "this machine cannot make a file read-only";
    // Writable again before the folder is removed, whatever happens below.
    struct Restore {
        QString log, data;
        ~Restore() {
            qvtest::setReadOnly(log, false);
            qvtest::setReadOnly(data, false);
        }
    } restore{log, data};
    ASSERT_TRUE(qvtest::setReadOnly(data, true));

    QProcess* p = folder.start({"developMode"});
    QString err;
    const auto readErr = [&] {
        err += QString::fromLocal8Bit(p->readAllStandardError());
        return err;
    };
    // The first log line finds log.txt unwritable: that is said once, and the program goes on.
    QElapsedTimer waited;
    waited.start();
    while (!readErr().contains("QV: log.txt") && p->state() == QProcess::Running && waited.elapsed() < 30000)
        p->waitForReadyRead(100);
    ASSERT_TRUE(err.contains("QV: log.txt")) << err.toStdString();
    // Start-up goes on to the main window and the first page, which log more lines.
    QThread::msleep(1500);
    ASSERT_EQ(p->state(), QProcess::Running) << readErr().toStdString();

    ::kill(pid_t(p->processId()), SIGTERM);
    ASSERT_TRUE(p->waitForFinished(20000));
    readErr();
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p->exitCode(), 0) << err.toStdString();
    EXPECT_EQ(err.count("QV: log.txt"), 1) << err.toStdString();
    EXPECT_EQ(QFileInfo(log).size(), 0);
}
