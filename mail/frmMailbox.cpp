#include "mail/frmMailbox.h"

#include "core/QvError.h"
#include "mail/clsMailFunction.h"
#include "mail/clsMailInfo.h"
#include "platform/PlainMessage.h"
#include "web/cltWebPage.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

const QString frmMailbox::HotmailHome = QStringLiteral("https://outlook.live.com/mail/");

namespace {

const QString kTitle = QStringLiteral("邮箱");

QLabel* makeLabel(QWidget* parent, const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAccessibleName(caption);
    button->setAutoDefault(false);
    return button;
}

bool isEnter(const QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

frmMailbox::frmMailbox(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmMailbox"));
    setWindowTitle(kTitle);
    setAccessibleName(kTitle);

    txt_MailUserName = new QLineEdit(this);
    txt_MailUserName->setObjectName(QStringLiteral("txt_MailUserName"));
    txt_MailUserName->setAccessibleName(QStringLiteral("用户名"));
    txt_MailUserName->setMinimumWidth(100);

    cbo_Mailbox = new QComboBox(this);
    cbo_Mailbox->setObjectName(QStringLiteral("cbo_Mailbox"));
    cbo_Mailbox->setAccessibleName(kTitle);
    cbo_Mailbox->setIconSize(QSize(16, 16));
    cbo_Mailbox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    cbo_Mailbox->setPlaceholderText(QStringLiteral("没有可登录的邮箱"));

    txt_MailPassword = new QLineEdit(this);
    txt_MailPassword->setObjectName(QStringLiteral("txt_MailPassword"));
    txt_MailPassword->setAccessibleName(QStringLiteral("密码"));
    txt_MailPassword->setEchoMode(QLineEdit::Password);
    txt_MailPassword->setMinimumWidth(80);

    cmd_MailboxLogin = makeButton(this, "cmd_MailboxLogin", QStringLiteral("登录"));
    btn_OpenHotmail = makeButton(this, "btn_OpenHotmail", QStringLiteral("Hotmail"));
    btn_OpenHotmail->setAccessibleDescription(QStringLiteral("直接打开邮箱网页"));

    // The service reads between the user name and the password, as in "name @ service".
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    row->addWidget(makeLabel(this, QStringLiteral("用户名"), txt_MailUserName));
    row->addWidget(txt_MailUserName, 1);
    row->addWidget(makeLabel(this, kTitle, cbo_Mailbox));
    row->addWidget(cbo_Mailbox);
    row->addWidget(makeLabel(this, QStringLiteral("密码"), txt_MailPassword));
    row->addWidget(txt_MailPassword, 1);
    row->addWidget(cmd_MailboxLogin);
    row->addSpacing(12);
    row->addWidget(makeLabel(this, QStringLiteral("直接打开邮箱网页"), btn_OpenHotmail));
    row->addWidget(btn_OpenHotmail);
    // One row at the top, however tall the pane is made.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(row);
    layout->addStretch(1);

    setTabOrder(txt_MailUserName, cbo_Mailbox);
    setTabOrder(cbo_Mailbox, txt_MailPassword);
    setTabOrder(txt_MailPassword, cmd_MailboxLogin);
    setTabOrder(cmd_MailboxLogin, btn_OpenHotmail);
    // The pane is shown to be typed into: the user name first.
    setFocusProxy(txt_MailUserName);

    connect(txt_MailUserName, &QLineEdit::returnPressed, this,
            [this] { cbo_Mailbox->setFocus(Qt::TabFocusReason); });
    cbo_Mailbox->installEventFilter(this);
    connect(txt_MailPassword, &QLineEdit::returnPressed, this, &frmMailbox::MailboxLogin);
    connect(cmd_MailboxLogin, &QPushButton::clicked, this, &frmMailbox::MailboxLogin);
    connect(btn_OpenHotmail, &QPushButton::clicked, this, &frmMailbox::OpenHotmail);

    loadServices();
}

void frmMailbox::loadServices() {
    clsMailInfo* mailInfo = ProgramMailInfo();
    if (mailInfo)
        mailInfo->MailboxInfos()->MailboxInfoBindToSuiteComboboxControlByMarkup(cbo_Mailbox);
    else
        cbo_Mailbox->clear();
    cbo_Mailbox->setCurrentIndex(cbo_Mailbox->count() > 0 ? 0 : -1);
}

bool frmMailbox::eventFilter(QObject* watched, QEvent* event) {
    // Enter on the closed box goes on to the password; on the open list it chooses an entry,
    // which the list itself handles.
    if (watched == cbo_Mailbox && isEnter(event) && !cbo_Mailbox->view()->isVisible()) {
        txt_MailPassword->setFocus(Qt::TabFocusReason);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmMailbox::MailboxLogin() {
    bool isId = false;
    const int id = cbo_Mailbox->currentData().toInt(&isId);
    if (cbo_Mailbox->currentIndex() < 0 || !isId) {
        ShowPlainMessage(QStringLiteral("没有可以登录的邮箱。"), kTitle);
        return;
    }
    clsMailFunction* mail = clsMailFunction::Program();
    if (!mail) {
        ShowPlainMessage(QStringLiteral("没有可以登录的邮箱。"), kTitle);
        return;
    }
    try {
        mail->MailLogin(id, txt_MailUserName->text(), txt_MailPassword->text());
    } catch (const QvError& e) {
        ShowPlainMessage(QStringLiteral("邮箱登录没有完成：%1").arg(e.description()), kTitle);
    }
}

void frmMailbox::OpenHotmail() {
    try {
        cltWebPage::Global()->Add(HotmailHome);
    } catch (const QvError& e) {
        ShowPlainMessage(QStringLiteral("邮箱网页没有打开：%1").arg(e.description()), kTitle);
    }
}
