#pragma once
#include <QList>
#include <QWidget>

class AutoHideTab;
class QBoxLayout;

// The strip along one side of the workspace that holds the tabs of the auto-hidden panes of
// that side, the tabs of one pane group next to each other and a gap between groups. The strip
// takes room only while it holds tabs.
class AutoHideStrip : public QWidget {
    Q_OBJECT
public:
    AutoHideStrip(Qt::DockWidgetArea area, QWidget* parent = nullptr);

    Qt::DockWidgetArea area() const { return mArea; }
    // Shows these tabs in this order (the strip takes them as its children); an empty list
    // hides the strip.
    void setGroups(const QList<QList<AutoHideTab*>>& groups);
    QList<AutoHideTab*> tabs() const { return mTabs; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::DockWidgetArea mArea;
    QBoxLayout* mLayout;
    QList<AutoHideTab*> mTabs;
};
