#include "core/XmlDocument.h"
#include "core/modDataFile.h"

#include "driver/PlannedText.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <random>

// A driver program types into a note, saving every 5 ms, and is killed with SIGKILL at a random
// moment, 50 times over. After each kill User.dat must decrypt and parse, keep the rest of the
// user data (about 100 KB of it), and hold a text the note really had: a prefix of what was typed,
// never shorter than what an earlier run saved, never longer than this run typed.
TEST(NotesKillTest, UserDataSurvivesAKillAtAnyMomentOfTyping) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("User.dat");
    QString data = "<data><globalinfo userid=\"7\"/><localsofts>";
    for (int i = 0; i < 450; ++i)
        data +=
            QStringLiteral("<soft caption=\"程序 %1\" file=\"/opt/app%1/bin/app\" tip=\"说明 %1\"/>").arg(i);
    data += "</localsofts><postnotes><postnote psid='1' createtime='t' visible='1' top='' left='' width='' "
            "height=''></postnote></postnotes></data>";
    modDataFile::WriteEncryptedFile(path, data);

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delayMs(0, 50);
    QElapsedTimer clock;
    clock.start();
    qsizetype saved = 0;
    int grew = 0;
    for (int run = 0; run < 50; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        QProcess driver;
        driver.start(QCoreApplication::applicationDirPath() + "/notes_typing_driver", {dir.path(), "5"});
        QByteArray out;
        while (!out.contains('\n') && driver.waitForReadyRead(5000))
            out += driver.readAllStandardOutput();
        ASSERT_TRUE(out.startsWith("ready ")) << out.constData() << driver.readAllStandardError().constData();
        // The kill comes a random moment after the typing has begun (on a busy machine the
        // first key can take a while).
        while (!out.contains("typed ") && driver.waitForReadyRead(5000))
            out += driver.readAllStandardOutput();
        QThread::msleep(delayMs(random));
        ::kill(pid_t(driver.processId()), SIGKILL);
        ASSERT_TRUE(driver.waitForFinished(5000));
        out += driver.readAllStandardOutput();
        // The last count reported; one more key may have gone in before the kill stopped the print.
        const QList<QByteArray> lines = out.trimmed().split('\n');
        const qsizetype typed = lines.last().mid(lines.last().indexOf(' ') + 1).toInt();

        QString message;
        XmlDocument doc;
        ASSERT_TRUE(doc.loadXML(modDataFile::ReadEncryptedFile(path, &message))) << message.toStdString();
        ASSERT_EQ(doc.selectNodes("data/localsofts/soft").length(), 450);
        const QString text = doc.selectSingleNode("data/postnotes/postnote").text();
        ASSERT_EQ(text, PlannedText(text.size()));
        ASSERT_GE(text.size(), saved);
        ASSERT_LE(text.size(), typed + 1);
        grew += text.size() > saved;
        saved = text.size();
    }
    EXPECT_GE(grew, 15) << "most runs save something before the kill";
    std::printf("50 kills in %lld ms; the note grew in %d runs to %lld characters\n",
                static_cast<long long>(clock.elapsed()), grew, static_cast<long long>(saved));
}
