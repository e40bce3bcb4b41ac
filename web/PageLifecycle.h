#pragma once
#include <QObject>
#include <QPointer>
#include <QTimer>

class QWebEngineView;
class QWidget;

// Lets a page that nobody sees cost (almost) nothing, and keeps the page's idea of being seen in
// step with what the user sees:
//
//  - the page is visible (document.visibilityState "visible", animation frames, painting) while
//    the widget that holds its view is shown and the view's owner has it on show (SetOnShow: a
//    tab under the current one is not), and hidden otherwise. Being off show only for a moment
//    (a tabbed area hides and shows its windows while it adds a tab) leaves the page as it was:
//    it is hidden once things have settled, and made visible again at once;
//  - a page off show also gives up what its view holds for drawing it: the view is hidden (it
//    lies under the window on show anyway) and its drawing widget lets go of the scene it
//    composes the page's frames in. The page's last frame stays with the engine, so the view
//    draws it again at once when the page is back on show. A new view is first shown once
//    things have settled, so a tab that is covered as soon as it is opened never sets up its
//    drawing at all;
//  - once hidden for FreezeDelayMs(), the page is frozen through the engine's page lifecycle
//    (no timers, no tasks) when the engine recommends that it may be: never a page that plays
//    audio, is loading or shares its script context with another open page. A page is never
//    discarded, so its state (forms, scroll position, scripts) stays as it was;
//  - showing it makes the page visible and active again in the same step.
class PageLifecycle : public QObject {
    Q_OBJECT
public:
    // Watches `view` (which has a parent widget) for the rest of its life; the object belongs
    // to the view.
    static PageLifecycle* Watch(QWebEngineView* view);

    // Whether the page is on show as far as its owner knows (true until told otherwise).
    void SetOnShow(bool onShow);
    bool OnShow() const { return mOnShow; }
    // Whether the view has been on show at all (a tab covered as soon as it was opened has not).
    bool HasBeenOnShow() const { return !mNeverShown; }

    // How long a page stays hidden before it is frozen.
    static int FreezeDelayMs();
    // Changes that time (for tests); a value below 0 brings back the default.
    static void SetFreezeDelayMs(int ms);
    static constexpr int DefaultFreezeDelayMs = 5 * 60 * 1000;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit PageLifecycle(QWebEngineView* view);
    bool shouldShow() const { return !mHolderHidden && mOnShow; }
    void update();
    void settle();
    void showPage();
    // Hides the view and lets its drawing widgets go of their scenes, or brings them back.
    void setDrawingReleased(bool released);
    void tryFreeze();

    QPointer<QWebEngineView> mView;
    // The widget that holds the view; its showing and hiding (a tab, a pane, a minimised
    // window) is what the page follows.
    QPointer<QWidget> mHolder;
    QTimer mFreezeTimer;
    bool mHolderHidden = true;
    bool mOnShow = true;
    // The view has not been on show yet.
    bool mNeverShown = true;
    bool mSettlePending = false;
    // The view is hidden here because its page is off show.
    bool mDrawingReleased = false;
    // Frozen as soon as the engine allows it: the delay has passed while the page was hidden.
    bool mFreezeDue = false;
};
