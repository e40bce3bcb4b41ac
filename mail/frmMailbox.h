#pragma once
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The mail pane "邮箱": choose a web-mail service, type the user name and the password, and
// "登录" opens the service logged in, in a new browser window. Enter walks from the user name to
// the service box to the password, and Enter in the password logs in. "Hotmail" opens that
// service's own home page. Nothing typed here is stored.
class frmMailbox : public QWidget {
    Q_OBJECT
public:
    // The home page the "Hotmail" button opens.
    static const QString HotmailHome;

    // Fills the service box from the program's mail catalogue and selects the first service.
    explicit frmMailbox(QWidget* parent = nullptr);

    QComboBox* cbo_Mailbox;
    QLineEdit* txt_MailUserName;
    QLineEdit* txt_MailPassword;
    QPushButton* cmd_MailboxLogin;
    QPushButton* btn_OpenHotmail;

    // Logs in with the selected service and the typed texts, as the button does. With no service
    // to choose the user is told that there is nothing to log in to; a login that fails is shown
    // in a message.
    void MailboxLogin();
    // Opens the Hotmail home page in a new browser window.
    void OpenHotmail();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadServices();
};
