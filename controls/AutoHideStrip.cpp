#include "controls/AutoHideStrip.h"

#include "controls/AutoHideTab.h"

#include <QBoxLayout>
#include <QPainter>

namespace {

constexpr int kTabGap = 2;
constexpr int kGroupGap = 12;

} // namespace

AutoHideStrip::AutoHideStrip(Qt::DockWidgetArea area, QWidget* parent) : QWidget(parent), mArea(area) {
    const bool vertical = area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea;
    setObjectName(QStringLiteral("autoHideStrip"));
    mLayout = new QBoxLayout(vertical ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight, this);
    // One pixel toward the workspace for the dividing line.
    mLayout->setContentsMargins(
        area == Qt::RightDockWidgetArea ? 1 : 0, area == Qt::BottomDockWidgetArea ? 1 : 0,
        area == Qt::LeftDockWidgetArea ? 1 : 0, area == Qt::TopDockWidgetArea ? 1 : 0);
    mLayout->setSpacing(0);
    setSizePolicy(vertical ? QSizePolicy::Fixed : QSizePolicy::Preferred,
                  vertical ? QSizePolicy::Preferred : QSizePolicy::Fixed);
    hide();
}

void AutoHideStrip::setGroups(const QList<QList<AutoHideTab*>>& groups) {
    while (QLayoutItem* item = mLayout->takeAt(0))
        delete item;
    QList<AutoHideTab*> tabs;
    for (const QList<AutoHideTab*>& group : groups) {
        if (group.isEmpty())
            continue;
        if (!tabs.isEmpty())
            mLayout->addSpacing(kGroupGap);
        for (qsizetype i = 0; i < group.size(); ++i) {
            AutoHideTab* tab = group[i];
            if (i > 0)
                mLayout->addSpacing(kTabGap);
            if (tab->parentWidget() != this)
                tab->setParent(this);
            tab->setArea(mArea);
            mLayout->addWidget(tab);
            tab->show();
            tabs.append(tab);
        }
    }
    mLayout->addStretch(1);
    mTabs = tabs;
    setVisible(!mTabs.isEmpty());
}

void AutoHideStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window).darker(104));
    p.setPen(palette().color(QPalette::Mid));
    switch (mArea) {
    case Qt::LeftDockWidgetArea:
        p.drawLine(rect().topRight(), rect().bottomRight());
        break;
    case Qt::RightDockWidgetArea:
        p.drawLine(rect().topLeft(), rect().bottomLeft());
        break;
    case Qt::BottomDockWidgetArea:
        p.drawLine(rect().topLeft(), rect().topRight());
        break;
    default:
        p.drawLine(rect().bottomLeft(), rect().bottomRight());
        break;
    }
}
