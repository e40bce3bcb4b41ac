#include "MailFixture.h"
#include "controls/IconStore.h"
#include "mail/frmMailbox.h"
#include "platform/PlainMessage.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using MailPane = MailFixture;

TEST_F(MailPane, ListsTheServicesAndEnterWalksFromTheUserNameToTheLogin) {
    server.serve("/post", "<html><head><title>Inbox</title></head></html>");
    loadServices(postService(4, "/post", par("u", "用户名") + par("p", "密码")) +
                 middleService(9, server.url("/none")));
    IconStore icons;
    ASSERT_TRUE(icons.LoadLibrary(qvtest::buildDir() + "/Data/icon.dat"));
    modInitial::gIconStore = &icons;
    frmMailbox pane;
    modInitial::gIconStore = nullptr;
    pane.show();
    pane.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&pane));

    ASSERT_EQ(pane.cbo_Mailbox->count(), 2);
    EXPECT_EQ(pane.cbo_Mailbox->currentText(), "P4");
    EXPECT_EQ(pane.cbo_Mailbox->itemData(1).toInt(), 9);
    EXPECT_FALSE(pane.cbo_Mailbox->itemIcon(0).isNull());
    EXPECT_EQ(pane.txt_MailPassword->echoMode(), QLineEdit::Password);
    // Every control the keyboard reaches says what it is.
    for (QWidget* control : pane.findChildren<QWidget*>()) {
        if (control->isVisibleTo(&pane) && (control->focusPolicy() & Qt::TabFocus)) {
            EXPECT_FALSE(control->accessibleName().isEmpty()) << control->metaObject()->className();
        }
    }

    // Enter in the user name and in the box only moves on; Enter in the password logs in.
    pane.setFocus();
    ASSERT_TRUE(waitUntil([&] { return pane.txt_MailUserName->hasFocus(); }, 5000));
    QTest::keyClicks(pane.txt_MailUserName, "frank");
    QTest::keyClick(pane.txt_MailUserName, Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return pane.cbo_Mailbox->hasFocus(); }, 5000));
    QTest::keyClick(pane.cbo_Mailbox, Qt::Key_Enter);
    ASSERT_TRUE(waitUntil([&] { return pane.txt_MailPassword->hasFocus(); }, 5000));
    EXPECT_EQ(pane.cbo_Mailbox->currentData().toInt(), 4);
    EXPECT_TRUE(windows.isEmpty());
    QTest::keyClicks(pane.txt_MailPassword, "pw 1");
    QTest::keyClick(pane.txt_MailPassword, Qt::Key_Return);
    ASSERT_TRUE(server.waitForRequest("/post"));
    EXPECT_EQ(field(server.requestsFor("/post")[0].body, "u"), QStringList{"frank"});
    EXPECT_EQ(field(server.requestsFor("/post")[0].body, "p"), QStringList{"pw 1"});

    // "Hotmail" opens that service's home page in a window of its own.
    pane.btn_OpenHotmail->click();
    ASSERT_EQ(windows.size(), 2);
    EXPECT_EQ(windows[1]->AddressText(), frmMailbox::HotmailHome);
}

TEST_F(MailPane, SaysWhenThereIsNothingToLogInToOrTheLoginFails) {
    QStringList messages;
    SetPlainMessageHandler([&](const QString& text, const QString&) { messages << text; });
    loadServices("");
    auto empty = std::make_unique<frmMailbox>();
    EXPECT_EQ(empty->cbo_Mailbox->currentIndex(), -1);
    EXPECT_FALSE(empty->cbo_Mailbox->placeholderText().isEmpty());
    empty->cmd_MailboxLogin->click();
    EXPECT_EQ(messages, QStringList{"没有可以登录的邮箱。"});

    // A service whose descriptor lacks its post element: the opener's failure is shown.
    loadServices("<mailboxinfo id='1' name='Broken' iconno='' openmethod='2' notshowadd='0'/>");
    frmMailbox broken;
    broken.cmd_MailboxLogin->click();
    SetPlainMessageHandler({});
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].startsWith("邮箱登录没有完成")) << messages[1].toStdString();
    EXPECT_TRUE(windows.isEmpty());
}
