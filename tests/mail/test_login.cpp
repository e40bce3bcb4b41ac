#include "MailFixture.h"
#include "core/QvError.h"
#include "mail/clsMailFunction.h"
#include "web/frmMiddle.h"

#include <QDirIterator>

namespace {

const QByteArray kAnswer = "<html><head><title>Answer</title></head><body>welcome</body></html>";

// Two forms: only the second has both login fields.
const QByteArray kTwoForms = R"(<html><head><title>Login</title></head><body>
<form action="/wrong" method="post"><input name="user"><input type="submit" value="Go"></form>
<form action="/login" method="post"><input name="user"><input name="pass" type="password">
  <input type="submit" value="登录"></form></body></html>)";

LocalHttpServer::Handler redirectTo(const QString& location) {
    return [location](const LocalHttpServer::Request&) {
        LocalHttpServer::Response response;
        response.status = 302;
        response.extraHeaders << qMakePair(QByteArray("Location"), location.toUtf8());
        return response;
    };
}

} // namespace

using MailLogin = MailFixture;

TEST_F(MailLogin, PostServiceReceivesEachLoginsTextsAndTheCatalogueStaysAsItWas) {
    server.serve("/post", kAnswer);
    // Two parameters take the user name; one is fixed by the catalogue.
    loadServices(postService(1, "Post", "/post",
                             "<par name='keep' value='1' prefix='' suffix=''/>" +
                                 postPar("username", "用户名") + postPar("email", "用户名") +
                                 postPar("password", "密码")));
    const QString before = catalogue()->getCMailboxInfoNodeByID(1).xml();
    clsMailFunction* mail = clsMailFunction::Of(modInitial::gData);
    ASSERT_EQ(mail, clsMailFunction::Of(modInitial::gData));

    // Characters that would cut a form body, and Chinese, arrive exactly as typed.
    const QString first = QStringLiteral(" p&ss+wo=rd %41 密码 ");
    mail->MailLogin(1, QStringLiteral("张 alice"), first);
    ASSERT_TRUE(server.waitForRequest("/post"));
    mail->MailLogin(1, QStringLiteral("bob"), QString());
    ASSERT_TRUE(waitUntil([&] { return server.requestsFor("/post").size() == 2; }));

    const QList<LocalHttpServer::Request> posts = server.requestsFor("/post");
    const auto one = bodyFields(posts[0].body);
    EXPECT_EQ(posts[0].method, "POST");
    EXPECT_EQ(valuesOf(one, "keep"), QStringList{"1"});
    EXPECT_EQ(valuesOf(one, "username"), QStringList{QStringLiteral("张 alice")});
    EXPECT_EQ(valuesOf(one, "email"), QStringList{QStringLiteral("张 alice")});
    EXPECT_EQ(valuesOf(one, "password"), QStringList{first});
    EXPECT_EQ(one.size(), 4) << posts[0].body.toStdString();
    // The second login sends its own, empty, password and nothing of the first.
    const auto two = bodyFields(posts[1].body);
    EXPECT_EQ(valuesOf(two, "username"), QStringList{"bob"});
    EXPECT_EQ(valuesOf(two, "password"), QStringList{""});
    EXPECT_TRUE(posts[1].body.contains("&password=")) << posts[1].body.toStdString();

    EXPECT_EQ(catalogue()->getCMailboxInfoNodeByID(1).xml(), before);
    EXPECT_EQ(workspace->TabCount(), 2);
    EXPECT_TRUE(titleShown(windows.last(), "Answer"));
}

TEST_F(MailLogin, MiddleServiceFillsTheLoginFormOnItsOwnSiteOnly) {
    server.serve("/twoforms", kTwoForms);
    server.serve("/login", kAnswer);
    LocalHttpServer other;
    ASSERT_TRUE(other.start());
    other.serve("/twoforms", kTwoForms);
    other.serve("/login", kAnswer);
    server.serve("/moved", redirectTo(other.url("/twoforms")));
    loadServices(middleService(2, "Middle", server.url("/twoforms")) +
                 middleService(3, "Moved", server.url("/moved")));
    clsMailFunction* mail = clsMailFunction::Of(modInitial::gData);

    mail->MailLogin(2, "carol", "s3cret");
    // The request is on its way: the descriptor the middle page holds keeps no typed text.
    QPointer<frmMiddle> middle = cltWebPage::Global()->MiddlePage();
    ASSERT_TRUE(middle);
    for (const XmlNode& par : middle->MiddleNode().selectNodes("par"))
        EXPECT_EQ(par.getAttribute("value"), "") << par.getAttribute("name").toStdString();
    ASSERT_TRUE(server.waitForRequest("/login"));
    const auto fields = bodyFields(server.requestsFor("/login")[0].body);
    EXPECT_EQ(valuesOf(fields, "user"), QStringList{"carol"});
    EXPECT_EQ(valuesOf(fields, "pass"), QStringList{"s3cret"});
    EXPECT_TRUE(server.requestsFor("/wrong").isEmpty());
    ASSERT_EQ(windows.size(), 1);
    EXPECT_EQ(workspace->TabIndexOf(windows[0]), 0);
    EXPECT_TRUE(titleShown(windows[0], "Answer"));
    ASSERT_TRUE(waitUntil([&] { return middle.isNull(); }));

    // The login page of service 3 sends the middle page to another site: nothing is filled there.
    mail->MailLogin(3, "dave", "other-secret");
    middle = cltWebPage::Global()->MiddlePage();
    ASSERT_TRUE(waitUntil([&] { return middle.isNull(); }));
    EXPECT_EQ(other.requestsFor("/twoforms").size(), 1);
    EXPECT_TRUE(other.requestsFor("/login").isEmpty());
    EXPECT_EQ(server.requestsFor("/login").size(), 1);
}

TEST_F(MailLogin, PasswordReachesNoFileAndUnsafeOrUnknownServicesAreRefused) {
    const QString password = QStringLiteral("Zq9unlikelyPassword");
    server.serve("/post", kAnswer);
    server.serve("/twoforms", kTwoForms);
    server.serve("/login", kAnswer);
    server.serve("/get", kAnswer);
    loadServices(postService(1, "Post", "/post", postPar("u", "用户名") + postPar("p", "密码")) +
                 middleService(2, "Middle", server.url("/twoforms")) +
                 "<mailboxinfo id='4' name='Get' iconno='' openmethod='1' notshowadd='0'><get url='" +
                 server.url("/get") + "'>" + postPar("p", "密码") + "</get></mailboxinfo>");
    const bool developMode = modInitial::gIsDevelopMode;
    modInitial::gIsDevelopMode = true;
    clsMailFunction* mail = clsMailFunction::Of(modInitial::gData);

    mail->MailLogin(1, "erin", password);
    mail->MailLogin(2, "erin", password);
    ASSERT_TRUE(server.waitForRequest("/post"));
    ASSERT_TRUE(server.waitForRequest("/login"));
    ASSERT_TRUE(waitUntil([] { return cltWebPage::Global()->MiddlePage() == nullptr; }));
    EXPECT_EQ(valuesOf(bodyFields(server.requestsFor("/login")[0].body), "pass"), QStringList{password});

    // A get would put the password into the address, which the user data records.
    EXPECT_THROW(mail->MailLogin(4, "erin", password), QvError);
    EXPECT_THROW(mail->MailLogin(5, "erin", password), QvError);
    EXPECT_EQ(windows.size(), 2);
    ASSERT_TRUE(titleShown(windows[0], "Answer"));
    ASSERT_TRUE(titleShown(windows[1], "Answer"));
    EXPECT_TRUE(server.requestsFor("/get").isEmpty());
    modInitial::gData->UserData()->Save();
    modInitial::gIsDevelopMode = developMode;
    int files = 0;
    for (QDirIterator it(dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        SCOPED_TRACE(path.toStdString());
        ++files;
        const QByteArray bytes = qvtest::readFile(path);
        EXPECT_FALSE(bytes.contains(password.toUtf8()));
        if (path.endsWith(".dat")) {
            EXPECT_FALSE(modDataFile::ReadEncryptedFile(path).contains(password));
        }
    }
    EXPECT_GE(files, 2);
    EXPECT_EQ(qvtest::readFile(dir.filePath("Data/common.dat")), commonBytes);
}
