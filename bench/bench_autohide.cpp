// Auto-hidden panes: the time from a press on a strip tab of the main window to the slid-out
// pane's first paint (and to the end of the window update that flushed it to the screen), and
// to the end of its slide, with a web page loaded in the workspace under it. The reference is
// a plain widget of the same size shown over the same workspace in the same run; one frame at
// 60 Hz is 16.7 ms.
//
// Usage: bench_autohide [runs] [pane id]   (default 10 runs of pane 307 "邮箱"; offscreen unless
// QT_QPA_PLATFORM says otherwise, e.g. QT_QPA_PLATFORM=xcb xvfb-run -a build/bench/bench_autohide)
#include "controls/AutoHideFrame.h"
#include "controls/AutoHidePanel.h"
#include "controls/AutoHideTab.h"
#include "controls/DockingPanes.h"
#include "controls/IconStore.h"
#include "controls/PaneCaption.h"
#include "controls/TabbedWorkspace.h"
#include "core/QvIds.h"
#include "core/clsData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "shell/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

bool waitUntil(const std::function<bool()>& condition, int ms = 10000) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    return true;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Notes the first paint of a widget after it is armed, and when the window's update that
// painted it was over (the backing store flushed to the screen).
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* widget) { widget->installEventFilter(this); }
    void arm(const QElapsedTimer* clock) {
        mClock = clock;
        mAt = -1;
        mFlushed = -1;
    }
    double at() const { return mAt; }
    double flushed() const { return mFlushed; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && mClock && mAt < 0) {
            mAt = double(mClock->nsecsElapsed()) / 1e6;
            QTimer::singleShot(0, this, [this] { mFlushed = double(mClock->nsecsElapsed()) / 1e6; });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer* mClock = nullptr;
    double mAt = -1;
    double mFlushed = -1;
};

void click(QWidget* widget) {
    const QPointF at = QRectF(widget->rect()).center();
    const QPointF global = widget->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    const int paneId = argc > 2 ? atoi(argv[2]) : PaneId::Mail;

    // A program folder with the shipped data files.
    const QString build = QDir(QCoreApplication::applicationDirPath() + "/..").absolutePath();
    QTemporaryDir folder;
    QDir(folder.path()).mkpath("Data");
    QFile::copy(build + "/Data/common.dat", folder.filePath("Data/common.dat"));
    modInitial::SetAppPath(folder.path());
    modDataFile::WriteEncryptedFile(folder.filePath("Data/User.dat"),
                                    "<data><globalinfo userid=\"\"/></data>");
    modInitial::gData = new clsData;
    IconStore icons;
    icons.LoadLibrary(build + "/Data/icon.dat");
    modInitial::gIconStore = &icons;

    auto* window = new frmMain;
    window->show();
    window->activateWindow();
    waitUntil([&] { return window->isActiveWindow(); }, 3000);

    // A web page under the panes.
    auto* view = new QWebEngineView;
    window->workspace()->AddWindow(view);
    view->showMaximized();
    bool loaded = false;
    QObject::connect(view, &QWebEngineView::loadFinished, [&](bool) { loaded = true; });
    QByteArray html = "<!doctype html><html><head><meta charset=utf-8></head><body style='margin:0'>";
    for (int i = 0; i < 200; ++i)
        html += "<p style='background:hsl(" + QByteArray::number(i * 7 % 360) + ",60%,80%)'>Paragraph " +
                QByteArray::number(i) + " with some text to lay out and paint.</p>";
    view->setHtml(QString::fromUtf8(html + "</body></html>"), QUrl("http://127.0.0.1/"));
    if (!waitUntil([&] { return loaded; }, 30000)) {
        std::fprintf(stderr, "the page did not load\n");
        return 1;
    }
    QElapsedTimer settle;
    settle.start();
    waitUntil([&] { return settle.elapsed() > 1000; });

    DockingPane* pane = window->dockingPanes()->FindPane(paneId);
    if (!pane || !pane->tab() || !pane->panel()) {
        std::fprintf(stderr, "pane %d is not on a strip\n", paneId);
        return 1;
    }
    PaintWatch paneWatch(pane->panel()->sheet());
    QWidget* frame = window->dockingPanes()->frame();
    QElapsedTimer clock;

    auto slideOutOnce = [&](double* painted, double* shown, double* finished) {
        paneWatch.arm(&clock);
        clock.start();
        click(pane->tab());
        if (!waitUntil([&] { return paneWatch.flushed() >= 0; }, 5000))
            return false;
        *painted = paneWatch.at();
        *shown = paneWatch.flushed();
        if (!waitUntil(
                [&] { return pane->panel()->sheet()->pos() == QPoint(0, 0) && pane->panel()->height() > 0; },
                5000))
            return false;
        *finished = double(clock.nsecsElapsed()) / 1e6;
        // Escape in the pane sends it back.
        QWidget* inPane = QApplication::focusWidget();
        if (!inPane || !pane->panel()->isAncestorOf(inPane))
            inPane = pane->caption()->pinButton();
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(inPane, &escape);
        return waitUntil([&] { return !pane->panel()->isVisible(); }, 5000);
    };

    // One opening that is not counted: it makes the pane's content window.
    double painted = 0, shown = 0, finished = 0;
    if (!slideOutOnce(&painted, &shown, &finished)) {
        std::fprintf(stderr, "the pane did not slide out\n");
        return 1;
    }
    const double firstShown = shown;
    std::vector<double> toPaint, toShow, toEnd, reference, referenceShown;
    for (int i = 0; i < runs; ++i) {
        if (!slideOutOnce(&painted, &shown, &finished)) {
            std::fprintf(stderr, "run %d timed out\n", i + 1);
            return 1;
        }
        toPaint.push_back(painted);
        toShow.push_back(shown);
        toEnd.push_back(finished);
    }

    // The reference: a plain filled widget of the pane's size over the same workspace.
    const QRect area = window->dockingPanes()->frame()->workspaceRect();
    for (int i = 0; i < runs; ++i) {
        QWidget plain(frame);
        plain.setAutoFillBackground(true);
        plain.setGeometry(area.x(), area.y(), area.width(), pane->panel()->sheet()->height());
        PaintWatch watch(&plain);
        watch.arm(&clock);
        clock.start();
        plain.show();
        plain.raise();
        if (!waitUntil([&] { return watch.flushed() >= 0; }, 5000)) {
            std::fprintf(stderr, "the reference did not paint\n");
            return 1;
        }
        reference.push_back(watch.at());
        referenceShown.push_back(watch.flushed());
    }

    const double paint = median(toShow);
    const double ref = median(referenceShown);
    std::printf("Pane %d \"%s\" slid out over a web page, %d runs (platform %s)\n", paneId,
                pane->Title().toUtf8().constData(), runs, QApplication::platformName().toUtf8().constData());
    std::printf("%-52s %10s\n", "figure", "median ms");
    std::printf("%-52s %10.2f\n", "press on tab -> pane painted", median(toPaint));
    std::printf("%-52s %10.2f\n", "press on tab -> pane painted and flushed", paint);
    std::printf("%-52s %10.2f\n", "press on tab -> slide finished", median(toEnd));
    std::printf("%-52s %10.2f\n", "first opening (content made) -> painted and flushed", firstShown);
    std::printf("%-52s %10.2f\n", "reference: plain widget shown -> painted", median(reference));
    std::printf("%-52s %10.2f\n", "reference: plain widget shown -> painted and flushed", ref);
    std::printf("%-52s %10.2f\n", "ratio pane / reference (painted and flushed)",
                ref > 0 ? paint / ref : 0.0);
    std::printf("%-52s %10.2f\n", "one frame at 60 Hz", 1000.0 / 60);

    delete view;
    window->close();
    delete window;
    delete modInitial::gData;
    modInitial::gData = nullptr;
    modInitial::gIconStore = nullptr;
    return 0;
}
