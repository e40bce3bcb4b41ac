#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "update/clsHTTPDownload.h"
#include "update/clsXMLGetText.h"
#include "update/modServerRequests.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <utility>

#include "RawServer.h"
#include "common/LocalHttpServer.h"
#include "common/TestSupport.h"

namespace {

struct Crash {
    qint32 status = 0;
    QString text;
    bool cancelled = false;
};

// Records the events of one download object.
struct DownloadEvents {
    explicit DownloadEvents(clsHTTPDownload& dl) {
        QObject::connect(&dl, &clsHTTPDownload::VicDLStart, &context, [this] { log << "start"; });
        QObject::connect(&dl, &clsHTTPDownload::VicDLDone, &context, [this] { log << "done"; });
        QObject::connect(&dl, &clsHTTPDownload::VicDLCancelled, &context, [this] { log << "cancelled"; });
        QObject::connect(&dl, &clsHTTPDownload::VicDLCrash, &context,
                         [this](qint32 status, QString& text, bool& cancelled) {
                             log << "crash";
                             crashes.push_back({status, text, cancelled});
                         });
        QObject::connect(&dl, &clsHTTPDownload::VicDLProg, &context,
                         [this](qint32 in, qint32 total, qint32 code, const QString&) {
                             progress.push_back({in, total, code});
                         });
    }
    QObject context;
    QStringList log;
    std::vector<Crash> crashes;
    std::vector<std::array<qint32, 3>> progress;
};

} // namespace

TEST(TextFetcher, CompletesWithThePageWhateverTheStatus) {
    LocalHttpServer server;
    ASSERT_TRUE(server.start());
    server.serve("/gbk", "\xC4\xE3\xBA\xC3", "text/plain; charset=GBK");
    clsXMLGetText fetcher;
    QSignalSpy completed(&fetcher, &clsXMLGetText::Completed);
    fetcher.OpenURL(server.url("/no-such-page"));
    ASSERT_TRUE(completed.wait(10000));
    EXPECT_TRUE(completed.at(0).at(0).toString().contains("not found")) << "a 404 page is still an answer";

    fetcher.OpenURL(server.url("/gbk"));
    ASSERT_TRUE(completed.wait(10000));
    EXPECT_EQ(completed.at(1).at(0).toString(), QStringLiteral("你好")) << "the server's charset decides";

    // A request that fails completes too, with nothing.
    fetcher.OpenURL(QStringLiteral("http://127.0.0.1:1/"));
    ASSERT_TRUE(completed.wait(10000));
    EXPECT_EQ(completed.at(2).at(0).toString(), QString());
}

TEST(TextFetcher, UserIdReplyIsStoredOnlyWhenNumericAndThePingUsesTheFetcher) {
    LocalHttpServer server;
    ASSERT_TRUE(server.start());
    server.serve("/numeric", "4711", "text/plain");
    server.serve("/letters", "47a11", "text/plain");
    server.serve("/QVlivingstat.html", "ok");
    QTemporaryDir dir;
    modInitial::SetAppPath(dir.path());
    modServerRequests::Install();

    struct Case {
        const char* path;
        QString expected;
    };
    for (const Case& c : {Case{"/numeric", "4711"}, Case{"/letters", ""}, Case{"/missing", ""}}) {
        SCOPED_TRACE(c.path);
        modDataFile::WriteEncryptedFile(dir.filePath("User.dat"), clsUserData::InitialDocument());
        clsUserData user(dir.filePath("User.dat"), nullptr);
        modInitial::gUrlGetUserID = server.url(c.path);
        EXPECT_EQ(user.userID(), QString());
        ASSERT_TRUE(server.waitForRequest(c.path, 10000));
        // The reply has been handled once the store's pending request is gone.
        QTRY_VERIFY_WITH_TIMEOUT(!user.findChild<clsXMLGetText*>("xmlgetUserID"), 10000);
        EXPECT_EQ(user.Document().selectSingleNode("data/globalinfo/@userid").text(), c.expected);
        if (!c.expected.isEmpty()) {
            user.Save();
            clsUserData reloaded(dir.filePath("User.dat"), nullptr);
            EXPECT_EQ(reloaded.Document().selectSingleNode("data/globalinfo/@userid").text(), c.expected);
        }
    }

    // A second request replaces a pending one: only one reply reaches the store.
    modDataFile::WriteEncryptedFile(dir.filePath("User.dat"), clsUserData::InitialDocument());
    {
        clsUserData user(dir.filePath("User.dat"), nullptr);
        QSignalSpy received(&user, &clsUserData::userIDReceived);
        modInitial::gUrlGetUserID = server.url("/numeric");
        user.userID();
        user.userID();
        ASSERT_TRUE(received.wait(10000));
        QTRY_VERIFY_WITH_TIMEOUT(!user.findChild<clsXMLGetText*>("xmlgetUserID"), 10000);
        EXPECT_EQ(received.count(), 1);
    }

    modInitial::gHostDomain = QStringLiteral("127.0.0.1:%1").arg(server.port());
    clsData hub;
    EXPECT_EQ(hub.HostLogging("live"), server.url("/QVlivingstat.html"));
    EXPECT_TRUE(server.waitForRequest("/QVlivingstat.html", 10000));
    clsUserData::SetUserIDRequester({});
    clsData::SetPageRequester({});
    modInitial::gHostDomain.clear();
}

TEST(FileDownload, EveryFailureOfARealRequestGetsItsRowOfTheErrorTable) {
    LocalHttpServer server;
    ASSERT_TRUE(server.start());
    auto status = [](int code, QList<QPair<QByteArray, QByteArray>> headers = {}) {
        return [code, headers](const LocalHttpServer::Request&) {
            LocalHttpServer::Response r;
            r.status = code;
            r.body = "status page";
            r.extraHeaders = headers;
            return r;
        };
    };
    server.serve("/500", status(500));
    server.serve("/401", status(401, {{"WWW-Authenticate", "Basic realm=\"q\""}}));
    server.serve("/400", status(400));
    server.serve("/403", status(403));
    server.serve("/loop", status(302, {{"Location", "/loop"}}));
    RawServer cutShort("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nonly ten!!");
    RawServer silent(QByteArray(), false);
    RawServer plain("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi");
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 closedPort = closed.serverPort();
    closed.close();
    QTemporaryDir dir;

    struct Row {
        const char* name;
        QString url;
        clsHTTPDownload::Status status;
    };
    const Row rows[] = {
        {"no host", "http:///file", clsHTTPDownload::InvalidUrl},
        {"refused", QStringLiteral("http://127.0.0.1:%1/x").arg(closedPort), clsHTTPDownload::CannotConnect},
        {"404", server.url("/missing"), clsHTTPDownload::ResourceNotFound},
        {"no such local file", "file://" + dir.filePath("none.bin"), clsHTTPDownload::FileNotFound},
        {"500", server.url("/500"), clsHTTPDownload::DataNotAvailable},
        {"body cut short", cutShort.url(), clsHTTPDownload::DownloadFailure},
        {"401", server.url("/401"), clsHTTPDownload::AuthenticationFailure},
        {"no answer", silent.url(), clsHTTPDownload::ConnectionTimeout},
        {"400", server.url("/400"), clsHTTPDownload::InvalidRequest},
        {"gopher", "gopher://127.0.0.1/x", clsHTTPDownload::UnknownProtocol},
        {"https to a plain server", plain.url("https"), clsHTTPDownload::SecurityProblem},
        {"403", server.url("/403"), clsHTTPDownload::SecurityProblem},
        {"redirect loop", server.url("/loop"), clsHTTPDownload::RedirectFailed},
    };
    clsHTTPDownload::SetTimeout(500);
    const QString target = dir.filePath("target.bin");
    qvtest::writeFile(target, "the old file");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        clsHTTPDownload dl;
        DownloadEvents events(dl);
        const std::optional<bool> result = dl.StartTheStinkinDownLoad(row.url, target);
        ASSERT_TRUE(result.has_value());
        EXPECT_FALSE(*result);
        ASSERT_EQ(events.crashes.size(), 1u);
        EXPECT_EQ(quint32(events.crashes[0].status), quint32(row.status));
        EXPECT_EQ(events.crashes[0].text, clsHTTPDownload::ErrorText(qint32(row.status)));
        EXPECT_FALSE(events.crashes[0].cancelled);
        EXPECT_FALSE(events.log.contains("done"));
        EXPECT_EQ(qvtest::readFile(target), QByteArray("the old file")) << "a failed download writes nothing";
    }
    clsHTTPDownload::SetTimeout(30000);

    EXPECT_EQ(clsHTTPDownload::ErrorText(qint32(0x800C0004)), "Cannot Connect");
    EXPECT_EQ(clsHTTPDownload::ErrorText(qint32(0x800C0012)), "Unknown.");
    EXPECT_EQ(clsHTTPDownload::ErrorText(qint32(0x800C0300)), "Cannot Replace SFP File.");
    EXPECT_EQ(clsHTTPDownload::ErrorText(qint32(0x80004004)), "Unknown.");
}

TEST(FileDownload, ProgressReentryAndCancel) {
    LocalHttpServer server;
    ASSERT_TRUE(server.start());
    QByteArray big(3 * 1024 * 1024, 'q');
    for (int i = 0; i < big.size(); i += 4096)
        big[i] = char('a' + (i / 4096) % 26);
    server.serve("/big", big, "application/octet-stream");
    QTemporaryDir dir;
    const QString target = dir.filePath("big.bin");

    {
        // A download started from inside a progress event of the same object starts nothing.
        clsHTTPDownload dl;
        DownloadEvents events(dl);
        std::vector<std::optional<bool>> inner;
        QObject::connect(&dl, &clsHTTPDownload::VicDLProg, &events.context, [&] {
            if (inner.empty())
                inner.push_back(dl.StartTheStinkinDownLoad(server.url("/big"), dir.filePath("other.bin")));
        });
        EXPECT_EQ(dl.StartTheStinkinDownLoad(server.url("/big"), target), std::optional<bool>(true));
        ASSERT_EQ(inner.size(), 1u);
        EXPECT_FALSE(inner[0].has_value());
        EXPECT_FALSE(QFile::exists(dir.filePath("other.bin")));
        EXPECT_EQ(qvtest::readFile(target), big);
        EXPECT_EQ(events.log, QStringList({"start", "done"}));
        ASSERT_GE(events.progress.size(), 2u);
        for (size_t i = 0; i + 1 < events.progress.size(); ++i) {
            EXPECT_EQ(events.progress[i][1], big.size());
            EXPECT_EQ(events.progress[i][2], clsHTTPDownload::DataArriving);
        }
        const auto& last = events.progress.back();
        EXPECT_EQ(last, (std::array<qint32, 3>{qint32(big.size()), qint32(big.size()),
                                               clsHTTPDownload::DataFinished}));
        EXPECT_EQ(server.requestsFor("/big").size(), 1);
    }
    {
        // Without a length the download has no total: no progress while data arrives.
        RawServer noLength("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nseventeen bytes!!");
        clsHTTPDownload dl;
        DownloadEvents events(dl);
        EXPECT_EQ(dl.StartTheStinkinDownLoad(noLength.url(), dir.filePath("small.bin")),
                  std::optional<bool>(true));
        EXPECT_EQ(qvtest::readFile(dir.filePath("small.bin")), QByteArray("seventeen bytes!!"));
        ASSERT_EQ(events.progress.size(), 1u);
        EXPECT_EQ(events.progress[0][2], clsHTTPDownload::DataFinished);
    }
    {
        // KillVic during the download: cancelled once (however often it is asked for while the
        // download ends), reported as a cancelled crash, false, nothing written.
        qvtest::writeFile(target, "kept");
        clsHTTPDownload dl;
        DownloadEvents events(dl);
        bool killed = false;
        QObject::connect(&dl, &clsHTTPDownload::VicDLProg, &events.context, [&] {
            if (std::exchange(killed, true))
                return;
            dl.KillVic();
            dl.KillVic();
        });
        EXPECT_EQ(dl.StartTheStinkinDownLoad(server.url("/big"), target), std::optional<bool>(false));
        EXPECT_EQ(events.log, QStringList({"start", "cancelled", "crash"}));
        ASSERT_EQ(events.crashes.size(), 1u);
        EXPECT_TRUE(events.crashes[0].cancelled);
        EXPECT_EQ(qvtest::readFile(target), QByteArray("kept"));
        // The object is free again afterwards.
        EXPECT_EQ(dl.StartTheStinkinDownLoad(server.url("/big"), target), std::optional<bool>(true));
        EXPECT_EQ(qvtest::readFile(target), big);
    }
}
