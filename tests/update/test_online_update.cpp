#include "controls/CommandBars.h"
#include "controls/StatusBar.h"
#include "core/QvIds.h"
#include "core/XmlDocument.h"
#include "core/modFolders.h"
#include "core/modInitial.h"
#include "core/modTools.h"
#include "platform/PlainMessage.h"
#include "update/clsOnlineUpdate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "common/LocalHttpServer.h"
#include "common/ReadOnlyPath.h"
#include "common/TestSupport.h"

namespace {

const QString kTimeForm = QStringLiteral("yyyy-MM-dd HH:mm:ss");

struct Entry {
    QString filename;
    QString clientlocation;
    QString servername;
    qint64 size;
    QString version;
    QString lastwritetime;
    QString comparemode;
};

class OnlineUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(server.start());
        modInitial::SetAppPath(dir.path());
        modInitial::gUrlOnlineUpdateList = server.url("/filelist.xml");
        bars = new CommandBars(&window);
        modInitial::gCommandBars = bars;
        bars->statusBar();
        update.setRestartHandler([this] { ++restarts; });
    }
    void TearDown() override { modInitial::gCommandBars = nullptr; }

    QString path(const QString& relative) const { return dir.filePath(relative); }
    void put(const QString& relative, const QByteArray& bytes, const QDateTime& time = {}) {
        QDir().mkpath(QFileInfo(path(relative)).path());
        qvtest::writeFile(path(relative), bytes);
        if (time.isValid()) {
            QFile f(path(relative));
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            ASSERT_TRUE(f.setFileTime(time, QFileDevice::FileModificationTime));
        }
    }
    // Serves the list and, for each entry, a body of its size under /files/<servername>.
    void serveList(const QList<Entry>& entries) {
        QString xml = QStringLiteral("<filelist>");
        for (const Entry& e : entries) {
            auto a = [](const QString& v) { return '"' + v.toHtmlEscaped() + '"'; };
            xml += QStringLiteral(
                       "<file filename=%1 clientlocation=%2 serverpath=%3 servername=%4 size=\"%5\" "
                       "version=\"%6\" lastwritetime=\"%7\" comparemode=\"%8\" iscompressed=\"false\"/>")
                       .arg(a(e.filename), a(e.clientlocation), a(server.url("/files/")), a(e.servername))
                       .arg(e.size)
                       .arg(e.version, e.lastwritetime, e.comparemode);
            server.serve("/files/" + e.servername.toUtf8(), body(e.servername, e.size),
                         "application/octet-stream");
        }
        xml += QStringLiteral("</filelist>");
        server.serve("/filelist.xml", xml.toUtf8(), "text/xml");
    }
    static QByteArray body(const QString& name, qint64 size) {
        QByteArray b = name.toUtf8().repeated(int(size / qMax(1, int(name.size())) + 1));
        b.truncate(size);
        return b;
    }
    clsOnlineUpdate::Outcome check() {
        QSignalSpy finished(&update, &clsOnlineUpdate::checkFinished);
        update.OnlineUpdateChecking();
        EXPECT_TRUE(finished.wait(20000));
        return finished.isEmpty() ? clsOnlineUpdate::ListUnusable
                                  : finished.first().first().value<clsOnlineUpdate::Outcome>();
    }
    QString statusText() const {
        StatusBarPane* pane = bars->statusBar()->FindPane(StatusPaneId::UpdateStatus);
        return pane ? pane->Text() : QString();
    }
    bool hasProgressPane() const { return bars->statusBar()->FindPane(StatusPaneId::UpdateProgress); }
    int fileRequests() const {
        int n = 0;
        for (const auto& r : server.requests())
            n += r.path().startsWith("/files/") ? 1 : 0;
        return n;
    }
    static QString running(int delta) {
        return QString::number(modTools::ProgramVersionNumber().toInt() + delta);
    }

    QTemporaryDir dir;
    LocalHttpServer server;
    QMainWindow window;
    CommandBars* bars = nullptr;
    clsOnlineUpdate update;
    int restarts = 0;
};

} // namespace

TEST_F(OnlineUpdateTest, AListWhoseEveryFileIsCurrentFetchesAndWritesNothing) {
    const QDateTime local = QDateTime::currentDateTime().addDays(-3);
    const QDateTime localSecond(local.date(),
                                QTime(local.time().hour(), local.time().minute(), local.time().second()));
    put("Data/kept.dat", "old", localSecond);
    put("notes.txt", "old", localSecond);
    put("QV", "not an ELF file, so it has no version data");
    put("plain.txt", "no version data either");
    ASSERT_TRUE(QFile::copy(qvtest::buildDir() + "/QVUpdate", path("tool")));
    const QString version = modTools::ProgramVersionNumber();
    serveList({
        {"kept.dat", "Data\\kept.dat", "kept.dat", 3, "", local.toString(kTimeForm), "overwritenoexist"},
        {"notes.txt", "\\notes.txt", "notes.txt", 3, "", localSecond.addSecs(300).toString(kTimeForm),
         "lastwritetime"},
        // The main program is judged by the running version, which is the same here.
        {"QV.exe", "QV.exe", "QV.exe", 5, version, local.toString(kTimeForm), "overwriteanyway"},
        {"tool", "tool", "tool", 5, version, local.toString(kTimeForm), "ver"},
        {"plain.txt", "plain.txt", "plain.txt", 5, "99999999", local.toString(kTimeForm), "ver"},
    });

    EXPECT_EQ(check(), clsOnlineUpdate::UpToDate);
    EXPECT_EQ(statusText(), clsOnlineUpdate::TextUpToDate);
    EXPECT_FALSE(hasProgressPane());
    EXPECT_EQ(fileRequests(), 0);
    EXPECT_FALSE(QFileInfo::exists(path("Temp/filelist.dat")));
    EXPECT_EQ(restarts, 0);
}

TEST_F(OnlineUpdateTest, OutOfDateFilesAreFetchedAndTheUpdaterIsReplacedByTheMainProgram) {
    const QDateTime local = QDateTime::currentDateTime().addDays(-3);
    const QDateTime localSecond(local.date(),
                                QTime(local.time().hour(), local.time().minute(), local.time().second()));
    put("notes.txt", "old", localSecond);
    // "ver" would keep a file without version data; the main program's entry goes by the
    // running program's version instead.
    put("QV", "not an ELF file");
    ASSERT_TRUE(QFile::copy(qvtest::buildDir() + "/QVUpdate", path("tool")));
    put("QVUpdate", "the old updater");
    QFile::setPermissions(path("QVUpdate"), QFile::permissions(path("QVUpdate")) | QFile::ExeOwner);
    put("existing.dat", "there");
    serveList({
        {"new.dat", "Data\\sub\\new.dat", "new.dat", 700, "", local.toString(kTimeForm), "overwritenoexist"},
        {"notes.txt", "notes.txt", "notes.txt", 10, "", localSecond.addSecs(301).toString(kTimeForm),
         "lastwritetime"},
        {"QV.exe", "QV.exe", "QV.exe", 2000, running(1), local.toString(kTimeForm), "ver"},
        {"tool", "tool", "tool", 20, running(1), local.toString(kTimeForm), "ver"},
        {"QVUpdate.exe", "QVUpdate.exe", "QVUpdate.exe", 300, "", local.toString(kTimeForm),
         "overwriteanyway"},
        {"existing.dat", "existing.dat", "existing.dat", 30, "", local.toString(kTimeForm),
         "some other mode"},
        // Missing, so fetched although its version is older than anything.
        {"gone.bin", "gone.bin", "gone.bin", 40, "1", local.toString(kTimeForm), "ver"},
    });

    EXPECT_EQ(check(), clsOnlineUpdate::Restarting);
    EXPECT_EQ(restarts, 1);
    EXPECT_EQ(statusText(), clsOnlineUpdate::TextUpdating);
    EXPECT_FALSE(hasProgressPane());
    const std::pair<const char*, int> fetched[] = {{"new.dat", 700}, {"notes.txt", 10},    {"QV.exe", 2000},
                                                   {"tool", 20},     {"existing.dat", 30}, {"gone.bin", 40}};
    for (const auto& [name, size] : fetched) {
        SCOPED_TRACE(name);
        EXPECT_EQ(qvtest::readFile(path(QStringLiteral("Temp/tupd%1").arg(name))), body(name, size));
    }
    // The updater was put in place here, startable, and is not left for QVUpdate.
    EXPECT_EQ(qvtest::readFile(path("QVUpdate")), body("QVUpdate.exe", 300));
    EXPECT_TRUE(QFile::permissions(path("QVUpdate")) & QFile::ExeOwner);
    EXPECT_FALSE(QFileInfo::exists(path("Temp/tupdQVUpdate.exe")));

    XmlDocument saved;
    ASSERT_TRUE(saved.loadXMLUtf8(qvtest::readFile(path("Temp/filelist.dat"))));
    QStringList names;
    for (const XmlNode& file : saved.selectNodes("filelist/file"))
        names << file.getAttribute("filename");
    EXPECT_EQ(names, QStringList({"new.dat", "notes.txt", "QV.exe", "tool", "existing.dat", "gone.bin"}));
}

TEST_F(OnlineUpdateTest, CancellingDuringTheSecondOfThreeFilesKeepsTheFirstAndFails) {
    const QString time = QDateTime::currentDateTime().toString(kTimeForm);
    serveList({{"one", "one", "one", 5000, "", time, "overwriteanyway"},
               {"two", "two", "two", 5000, "", time, "overwriteanyway"},
               {"three", "three", "three", 5000, "", time, "overwriteanyway"}});
    // The user closes the main window while the second file is on its way.
    server.serve("/files/two", [this](const LocalHttpServer::Request&) {
        EXPECT_TRUE(update.IsDownloading());
        EXPECT_TRUE(hasProgressPane());
        update.CancelDownload();
        LocalHttpServer::Response r;
        r.body = body("two", 5000);
        return r;
    });

    EXPECT_EQ(check(), clsOnlineUpdate::Failed);
    EXPECT_EQ(statusText(), clsOnlineUpdate::TextFailed);
    EXPECT_FALSE(hasProgressPane());
    EXPECT_EQ(qvtest::readFile(path("Temp/tupdone")), body("one", 5000));
    EXPECT_FALSE(QFileInfo::exists(path("Temp/tupdtwo")));
    EXPECT_TRUE(server.requestsFor("/files/three").isEmpty());
    EXPECT_FALSE(QFileInfo::exists(path("Temp/filelist.dat")));
    EXPECT_EQ(restarts, 0);
    EXPECT_FALSE(update.IsDownloading());
}

TEST_F(OnlineUpdateTest, HostileEntriesStopTheUpdateBeforeAnythingIsFetchedAndWrongSizesFail) {
    QTemporaryDir outside;
    ASSERT_TRUE(QFile::link(outside.path(), path("link")));
    ASSERT_TRUE(QFile::link(outside.filePath("nothing"), path("dangling")));
    const QString time = QDateTime::currentDateTime().toString(kTimeForm);
    const Entry good{"good", "good", "good", 10, "", time, "overwriteanyway"};
    const QList<Entry> hostile = {
        {"up", "..\\up.txt", "up.txt", 10, "", time, "overwriteanyway"},
        {"deep", "Data\\..\\..\\deep.txt", "deep.txt", 10, "", time, "overwriteanyway"},
        {"drive", "C:\\Windows\\x.dll", "x.dll", 10, "", time, "overwriteanyway"},
        {"share", "\\\\server\\share\\x", "x", 10, "", time, "overwriteanyway"},
        {"scheme", "file:///etc/passwd", "passwd", 10, "", time, "overwriteanyway"},
        {"link", "link/x.txt", "x.txt", 10, "", time, "overwriteanyway"},
        {"dangling link", "dangling", "dangling", 10, "", time, "overwriteanyway"},
        {"server up", "fine.txt", "../../fine.txt", 10, "", time, "overwriteanyway"},
        {"server sub", "fine.txt", "a/fine.txt", 10, "", time, "overwriteanyway"},
        {"size", "fine.txt", "fine.txt", -1, "", time, "overwriteanyway"},
        {"time", "fine.txt", "fine.txt", 10, "", "not a date", "overwriteanyway"},
    };
    for (const Entry& bad : hostile) {
        SCOPED_TRACE(bad.filename.toStdString());
        serveList({good, bad});
        EXPECT_EQ(check(), clsOnlineUpdate::Failed);
        EXPECT_EQ(statusText(), clsOnlineUpdate::TextFailed);
        EXPECT_EQ(fileRequests(), 0);
        EXPECT_FALSE(QFileInfo::exists(path("Temp")));
        EXPECT_TRUE(QDir(outside.path()).isEmpty());
    }

    // A file that is not the size the list gives never stays.
    serveList({good, {"short", "short.bin", "short.bin", 50, "", time, "overwriteanyway"}});
    server.serve("/files/short.bin", body("short.bin", 49), "application/octet-stream");
    EXPECT_EQ(check(), clsOnlineUpdate::Failed);
    EXPECT_EQ(statusText(), clsOnlineUpdate::TextFailed);
    EXPECT_FALSE(QFileInfo::exists(path("Temp/tupdshort.bin")));
    EXPECT_FALSE(QFileInfo::exists(path("Temp/filelist.dat")));
    EXPECT_EQ(restarts, 0);
}

TEST_F(OnlineUpdateTest, AListThatIsNotAFileListChangesNothing) {
    for (const QByteArray& text : {QByteArray("<other><file/></other>"), QByteArray("no xml at all <"),
                                   QByteArray("<!DOCTYPE filelist [<!ENTITY e \"x\">]><filelist/>")}) {
        SCOPED_TRACE(text.toStdString());
        server.serve("/filelist.xml", text, "text/xml");
        EXPECT_EQ(check(), clsOnlineUpdate::ListUnusable);
        EXPECT_EQ(statusText(), clsOnlineUpdate::TextChecking);
    }
    modInitial::gUrlOnlineUpdateList = server.url("/not-there.xml");
    EXPECT_EQ(check(), clsOnlineUpdate::ListUnusable);
    EXPECT_EQ(statusText(), clsOnlineUpdate::TextChecking);
    EXPECT_FALSE(QFileInfo::exists(path("Temp")));
}

// An installed copy and a read-only copy belong to whoever put them there: neither the check at
// start-up nor the command fetches the list; the command says where updates come from. The same
// list is fetched for a writable copy.
TEST_F(OnlineUpdateTest, ACopyWhoseFolderTheProgramMayNotWriteIsNeverUpdated) {
    serveList({{"new", "new.txt", "new.txt", 10, "", "2020-01-01 00:00:00", "overwriteanyway"}});
    QStringList messages;
    SetPlainMessageHandler([&](const QString& text, const QString&) { messages << text; });
    QSignalSpy finished(&update, &clsOnlineUpdate::checkFinished);
    const QString portable = path("portable");
    struct Restore {
        QString readOnly;
        ~Restore() {
            SetPlainMessageHandler({});
            qvtest::setReadOnly(readOnly, false);
        }
    } restore{portable};

    // An installed layout: the programs' folder is writable here, and still not the program's.
    const QString bin = path("usr/bin");
    put(QDir(dir.path()).relativeFilePath(modFolders::InstalledDataFolder(bin)) + "/common.dat", "data");
    QDir().mkpath(bin);
    modInitial::SetAppPath(bin);
    update.OnlineUpdateChecking();
    EXPECT_TRUE(messages.isEmpty());
    update.OnlineUpdateCheckingOnRequest();
    QStringList expected{clsOnlineUpdate::TextFromPackageManager};
    put("portable/Data/common.dat", "data");
    if (qvtest::setReadOnly(portable, true)) {
        modInitial::SetAppPath(portable);
        update.OnlineUpdateCheckingOnRequest();
        expected << clsOnlineUpdate::TextReadOnlyFolder.arg(portable);
    }
    EXPECT_EQ(messages, expected);
    ASSERT_EQ(finished.size(), expected.size() + 1);
    for (const QList<QVariant>& outcome : finished)
        EXPECT_EQ(outcome.first().value<clsOnlineUpdate::Outcome>(), clsOnlineUpdate::NotAllowed);
    EXPECT_TRUE(server.requests().isEmpty());
    EXPECT_EQ(statusText(), QString());

    modInitial::SetAppPath(dir.path());
    EXPECT_EQ(check(), clsOnlineUpdate::Restarting);
    EXPECT_EQ(server.requestsFor("/filelist.xml").size(), 1);
}
