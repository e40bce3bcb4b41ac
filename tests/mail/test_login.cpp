#include "MailFixture.h"
#include "core/QvError.h"
#include "mail/clsMailFunction.h"
#include "web/frmMiddle.h"

#include <QDirIterator>

namespace {

const QByteArray kAnswer = "<html><head><title>Answer</title></head><body>welcome</body></html>";

// Two forms: only the second has both login fields.
const QByteArray kTwoForms = R"(<html><body>
<form action="/wrong" method="post"><input name="user"><input type="submit" value="Go"></form>
<form action="/login" method="post"><input name="user"><input name="pass" type="password">
  <input type="submit" value="登录"></form></body></html>)";

} // namespace

using MailLogin = MailFixture;

TEST_F(MailLogin, PostServiceReceivesEachLoginsTextsAndTheCatalogueStaysAsItWas) {
    server.serve("/post", kAnswer);
    // Two parameters take the user name; one is fixed by the catalogue.
    loadServices(postService(1, "/post",
                             "<par name='keep' value='1' prefix='' suffix=''/>" + par("username", "用户名") +
                                 par("email", "用户名") + par("password", "密码")));
    const QString before = catalogue()->getCMailboxInfoNodeByID(1).xml();
    clsMailFunction* mail = clsMailFunction::Of(modInitial::gData);
    ASSERT_EQ(mail, clsMailFunction::Of(modInitial::gData));

    // Characters that would cut a form body, blanks and Chinese arrive exactly as typed.
    const QString first = QStringLiteral(" p&ss+wo=rd %41 密码 ");
    mail->MailLogin(1, QStringLiteral("张 alice"), first);
    mail->MailLogin(1, QStringLiteral("bob"), QString());
    ASSERT_TRUE(waitUntil([&] { return server.requestsFor("/post").size() == 2; }));
    const QList<LocalHttpServer::Request> posts = server.requestsFor("/post");
    EXPECT_EQ(field(posts[0].body, "keep"), QStringList{"1"});
    EXPECT_EQ(field(posts[0].body, "username"), QStringList{QStringLiteral("张 alice")});
    EXPECT_EQ(field(posts[0].body, "email"), QStringList{QStringLiteral("张 alice")});
    EXPECT_EQ(field(posts[0].body, "password"), QStringList{first});
    EXPECT_EQ(posts[0].body.count('&'), 3) << posts[0].body.toStdString();
    // The second login sends its own, empty, password.
    EXPECT_EQ(field(posts[1].body, "email"), QStringList{"bob"});
    EXPECT_EQ(field(posts[1].body, "password"), QStringList{""});

    EXPECT_EQ(catalogue()->getCMailboxInfoNodeByID(1).xml(), before);
    EXPECT_EQ(workspace->TabCount(), 2);
    EXPECT_TRUE(titleShown(windows.last(), "Answer"));
}

TEST_F(MailLogin, MiddleServiceLogsInInATabAndThePasswordReachesNoFile) {
    const QString password = QStringLiteral("Zq9unlikelyPassword");
    server.serve("/twoforms", kTwoForms);
    server.serve("/login", kAnswer);
    server.serve("/get", kAnswer);
    loadServices(middleService(2, server.url("/twoforms")) +
                 "<mailboxinfo id='4' name='Get' iconno='' openmethod='1' notshowadd='0'><get url='" +
                 server.url("/get") + "'>" + par("p", "密码") + "</get></mailboxinfo>");
    const bool developMode = modInitial::gIsDevelopMode;
    modInitial::gIsDevelopMode = true;
    clsMailFunction* mail = clsMailFunction::Of(modInitial::gData);

    mail->MailLogin(2, "carol", password);
    // The request is on its way: the descriptor the middle page holds keeps no typed text.
    QPointer<frmMiddle> middle = cltWebPage::Global()->MiddlePage();
    ASSERT_TRUE(middle);
    for (const XmlNode& p : middle->MiddleNode().selectNodes("par"))
        EXPECT_EQ(p.getAttribute("value"), "");
    ASSERT_TRUE(server.waitForRequest("/login"));
    EXPECT_EQ(field(server.requestsFor("/login")[0].body, "user"), QStringList{"carol"});
    EXPECT_EQ(field(server.requestsFor("/login")[0].body, "pass"), QStringList{password});
    EXPECT_TRUE(server.requestsFor("/wrong").isEmpty());
    ASSERT_EQ(windows.size(), 1);
    EXPECT_EQ(workspace->TabIndexOf(windows[0]), 0);
    EXPECT_TRUE(titleShown(windows[0], "Answer"));
    ASSERT_TRUE(waitUntil([&] { return middle.isNull(); }));

    // A get would put the password into the address, which the user data records; an unknown
    // service is no service.
    EXPECT_THROW(mail->MailLogin(4, "carol", password), QvError);
    EXPECT_THROW(mail->MailLogin(5, "carol", password), QvError);
    EXPECT_EQ(windows.size(), 1);

    modInitial::gData->UserData()->Save();
    modInitial::gIsDevelopMode = developMode;
    EXPECT_EQ(qvtest::readFile(dir.filePath("Data/common.dat")), commonBytes);
    for (QDirIterator it(dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        EXPECT_FALSE(qvtest::readFile(path).contains(password.toUtf8())) << path.toStdString();
        EXPECT_FALSE(path.endsWith(".dat") && modDataFile::ReadEncryptedFile(path).contains(password))
            << path.toStdString();
    }
    EXPECT_TRUE(server.requestsFor("/get").isEmpty());
}
