#pragma once
#include <QAbstractButton>
#include <QTimer>

// The tab of an auto-hidden pane on the strip at its side of the window: the pane's icon and
// title, lying along the strip (turned on the left and right strips). Pressing it with the
// mouse, pressing Space or Enter on it, pressing it through assistive technology, or resting
// the pointer on it for a moment asks for the pane to slide out. It takes the keyboard focus
// from the Tab key only, so a mouse press leaves the focus where the user was working. Its
// accessible name is the pane's title.
class AutoHideTab : public QAbstractButton {
    Q_OBJECT
public:
    AutoHideTab(Qt::DockWidgetArea area, QWidget* parent = nullptr);

    Qt::DockWidgetArea area() const { return mArea; }
    void setArea(Qt::DockWidgetArea area);
    void setTitle(const QString& title);
    // Drawn as the open tab while its pane is slid out.
    bool isExpanded() const { return mExpanded; }
    void setExpanded(bool expanded);
    // How long the pointer rests on the tab before it asks to open; 0 turns hovering off.
    void setHoverDelay(int ms) { mHoverDelay = ms; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    // Asked to open: a mouse press, or a click from the keyboard or assistive technology.
    void activated();
    // The pointer rested on the tab.
    void hoverOpen();
    void pointerLeft();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool vertical() const { return mArea == Qt::LeftDockWidgetArea || mArea == Qt::RightDockWidgetArea; }

    Qt::DockWidgetArea mArea;
    bool mExpanded = false;
    int mHoverDelay = 400;
    QTimer mHover;
};
