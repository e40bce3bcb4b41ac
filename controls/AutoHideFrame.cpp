#include "controls/AutoHideFrame.h"

#include "controls/AutoHideStrip.h"

#include <QEvent>
#include <QGridLayout>

namespace {

int indexOf(Qt::DockWidgetArea area) {
    switch (area) {
    case Qt::LeftDockWidgetArea:
        return 0;
    case Qt::RightDockWidgetArea:
        return 1;
    case Qt::BottomDockWidgetArea:
        return 3;
    default:
        return 2;
    }
}

} // namespace

AutoHideFrame::AutoHideFrame(QWidget* workspace, QWidget* parent) : QWidget(parent), mWorkspace(workspace) {
    setObjectName(QStringLiteral("autoHideFrame"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    const Qt::DockWidgetArea areas[4] = {Qt::LeftDockWidgetArea, Qt::RightDockWidgetArea,
                                         Qt::TopDockWidgetArea, Qt::BottomDockWidgetArea};
    for (Qt::DockWidgetArea area : areas)
        mStrips[indexOf(area)] = new AutoHideStrip(area, this);
    grid->addWidget(strip(Qt::TopDockWidgetArea), 0, 0, 1, 3);
    grid->addWidget(strip(Qt::LeftDockWidgetArea), 1, 0);
    grid->addWidget(workspace, 1, 1);
    grid->addWidget(strip(Qt::RightDockWidgetArea), 1, 2);
    grid->addWidget(strip(Qt::BottomDockWidgetArea), 2, 0, 1, 3);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(1, 1);
    workspace->show();
    workspace->installEventFilter(this);
}

AutoHideStrip* AutoHideFrame::strip(Qt::DockWidgetArea area) const {
    return mStrips[indexOf(area)];
}

QRect AutoHideFrame::workspaceRect() const {
    return mWorkspace ? mWorkspace->geometry() : rect();
}

bool AutoHideFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mWorkspace && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        emit workspaceMoved();
    return QWidget::eventFilter(watched, event);
}
