#pragma once
#include <QWidget>

class QListWidget;

// The developer-log window: every line of the in-memory developer log, oldest first.
class frmDevelopLog : public QWidget {
    Q_OBJECT
public:
    explicit frmDevelopLog(QWidget* parent = nullptr);

    // Fills lb_Logs with the log as it is now.
    void Form_Load();

    QListWidget* lb_Logs;

    // Shows the window modeless over the main window. There is one window: when it is open
    // already it is filled again with the present log and brought to the front.
    static frmDevelopLog* ShowWindow();
    // Makes ShowWindow the developer log's show handler (the log pane's click).
    static void InstallShowDevelopLogHandler();
};
