#pragma once
#include <QPointer>
#include <QWidget>

class QBoxLayout;
class QVariantAnimation;

// The slide-out of one auto-hidden pane: a sheet holding the pane's frame (title bar and content
// window) that slides out from the workspace edge of its side, over the workspace and above
// everything in it, with a soft shadow on its open edge and a grip there to resize it. It lives
// in the central frame beside the workspace and never changes the workspace's geometry. While
// the pane sits on its strip the panel is hidden and keeps the frame, so the page in it stays
// as it was.
//
// The sheet keeps its full size while it slides; only the panel around it (which clips it)
// grows, so the content is laid out once per slide and not on every frame.
class AutoHidePanel : public QWidget {
    Q_OBJECT
public:
    explicit AutoHidePanel(QWidget* frame);
    ~AutoHidePanel() override;

    QWidget* sheet() const { return mSheet; }
    QWidget* widget() const { return mWidget; }
    // Puts the pane's frame into the sheet (taking it as a child); nullptr takes it out again
    // (it stays a child until the caller moves it).
    void setWidget(QWidget* widget);

    Qt::DockWidgetArea area() const { return mArea; }
    void setArea(Qt::DockWidgetArea area);
    // The size across the workspace edge (height for the top and bottom, width for the sides)
    // that the pane asks for; the slide-out keeps a strip of the workspace uncovered.
    int extent() const { return mExtent; }
    void setExtent(int extent);

    // True from the start of a slide-out until the start of the slide back.
    bool isOut() const { return mOut; }
    // Slides out over `workspace` (a rectangle in the frame's coordinates). The first frame
    // already shows part of the pane, so the click is answered at the next paint.
    void slideOut(const QRect& workspace, int durationMs);
    void slideIn(int durationMs);
    // Ends a slide back that is still under way.
    void finishSlideIn();
    // Follows the workspace when it changes while the pane is out.
    void place(const QRect& workspace);

signals:
    // The user dragged the open edge to a new size.
    void extentDragged(int extent);
    // The slide back has finished and the panel is hidden.
    void slidIn();
    void pointerEntered();
    void pointerLeft();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int clampedExtent() const;
    void applyVisible(int visible);

    QWidget* mSheet;
    QWidget* mGrip;
    QPointer<QWidget> mShadow;
    QBoxLayout* mOuter;
    QPointer<QWidget> mWidget;
    QVariantAnimation* mAnimation;
    Qt::DockWidgetArea mArea = Qt::TopDockWidgetArea;
    QRect mWorkspace;
    int mExtent = 200;
    int mVisible = 0;
    bool mOut = false;
    int mDragOrigin = -1;
    int mDragExtent = 0;
};
