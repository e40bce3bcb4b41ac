#pragma once
#include <QAccessibleWidget>

class QMenuBar;

// What assistive technology sees of a command-bar menu bar: its menu titles as menu items, and
// after them the widgets in its corners (the right-aligned buttons). Qt's own view of a menu
// bar lists its menu titles only, so a button in a corner would be drawn but never announced.
class MenuBarAccessible : public QAccessibleWidget {
public:
    explicit MenuBarAccessible(QMenuBar* menuBar);

    // Gives `menuBar` this view. Call it before anything asked for the bar's accessible
    // interface (that is, when the bar is made).
    static void Use(QMenuBar* menuBar);

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

private:
    QMenuBar* bar() const;
    QList<QWidget*> corners() const;
};
