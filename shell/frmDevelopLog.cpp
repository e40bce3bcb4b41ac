#include "shell/frmDevelopLog.h"

#include "core/modDevelopeFunction.h"
#include "core/modInitial.h"

#include <QListWidget>
#include <QPointer>
#include <QVBoxLayout>

namespace {
QPointer<frmDevelopLog>& openWindow() {
    static QPointer<frmDevelopLog> window;
    return window;
}
} // namespace

frmDevelopLog::frmDevelopLog(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmDevelopLog"));
    setWindowTitle(QStringLiteral("Develop Log"));
    lb_Logs = new QListWidget(this);
    lb_Logs->setObjectName(QStringLiteral("lb_Logs"));
    lb_Logs->setUniformItemSizes(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(lb_Logs);
    resize(640, 400);
}

void frmDevelopLog::Form_Load() {
    lb_Logs->clear();
    if (modInitial::gDevLog)
        lb_Logs->addItems(*modInitial::gDevLog);
    lb_Logs->scrollToBottom();
}

frmDevelopLog* frmDevelopLog::ShowWindow() {
    QPointer<frmDevelopLog>& window = openWindow();
    if (!window) {
        window = new frmDevelopLog(modInitial::gMainWindow.data());
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->Form_Load();
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void frmDevelopLog::InstallShowDevelopLogHandler() {
    modDevelopeFunction::SetShowDevelopLogHandler([] { ShowWindow(); });
}
