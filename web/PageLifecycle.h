#pragma once
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QWebEngineView;
class QWidget;

// Lets a page that nobody sees cost (almost) nothing, and keeps the page's idea of being seen in
// step with what the user sees:
//
//  - the page is visible (document.visibilityState "visible", animation frames, painting) while
//    its view is shown and its owner has it on show (SetOnShow: a tab under the current one is
//    not), and hidden otherwise. Being off show only for a moment (a tabbed area hides and shows
//    its windows while it adds a tab or changes a window's state) leaves the page visible: the
//    page is hidden once things have settled, and made visible again at once;
//  - a page that its owner has off show also gives up what its view holds for drawing it (the
//    scene the view composes the page's frames in); the page's last frame stays with the engine,
//    so the view draws it again at once when the page is back on show;
//  - once hidden for FreezeDelayMs(), the page is frozen through the engine's page lifecycle
//    (no timers, no tasks) when the engine recommends that it may be: never a page that plays
//    audio, is loading or shares its script context with another open page. A page is never
//    discarded, so its state (forms, scroll position, scripts) stays as it was;
//  - showing the view makes the page visible and active again in the same step.
class PageLifecycle : public QObject {
    Q_OBJECT
public:
    // Watches `view` for the rest of its life (the object belongs to the view).
    static PageLifecycle* Watch(QWebEngineView* view);

    // Whether the page is on show as far as its owner knows (true until told otherwise).
    void SetOnShow(bool onShow);
    bool OnShow() const { return mOnShow; }

    // How long a page stays hidden before it is frozen.
    static int FreezeDelayMs();
    // Changes that time (for tests); a value below 0 brings back the default.
    static void SetFreezeDelayMs(int ms);
    static constexpr int DefaultFreezeDelayMs = 5 * 60 * 1000;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit PageLifecycle(QWebEngineView* view);
    void update();
    // Hides or shows the widgets the view draws the page in (the engine's own child widgets).
    void setDrawingReleased(bool released);
    void settleHidden();
    void tryFreeze();

    QPointer<QWebEngineView> mView;
    QTimer mFreezeTimer;
    // The view's last show or hide event was a hide.
    bool mViewHidden = false;
    bool mOnShow = true;
    // The drawing widgets this object hid; shown again when the page is back on show.
    QList<QPointer<QWidget>> mReleasedDrawing;
    // A show or hide of the view's own widgets is under way here, not one of the view.
    bool mChangingDrawing = false;
    bool mHidePending = false;
    // Frozen as soon as the engine allows it: the delay has passed while the page was hidden.
    bool mFreezeDue = false;
};
