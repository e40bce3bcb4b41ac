#include "shell/frmMain.h"

#include "controls/IconStore.h"
#include "core/modDevelopeFunction.h"
#include "core/modInitial.h"

#include <QCloseEvent>
#include <QLabel>

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Quorvel"));
    if (modInitial::gIconStore)
        setWindowIcon(modInitial::gIconStore->icon(799));
    resize(1024, 720);
    auto* placeholder = new QLabel(this);
    placeholder->setAlignment(Qt::AlignCenter);
    setCentralWidget(placeholder);
}

void frmMain::paintEvent(QPaintEvent* event) {
    QMainWindow::paintEvent(event);
    if (!mPainted) {
        mPainted = true;
        // Marks the end of start-up for whoever times it.
        if (modInitial::gIsDevelopMode)
            modDevelopeFunction::WriteLog(QStringLiteral("主窗口已显示"));
    }
}

void frmMain::closeEvent(QCloseEvent* event) {
    event->accept();
    modInitial::Shutdown();
}
