// The reference of bench_webengine: the smallest Qt 6 WebEngine program that shows web pages.
// One maximised window with one view of the address given on the command line; with several
// addresses, one tab per address (the first one on show).
//
// It prints "exposed <milliseconds since the epoch>" on standard output when its window is first
// exposed, for platforms where the benchmark cannot see the window being mapped (offscreen).
#include <QApplication>
#include <QDateTime>
#include <QScreen>
#include <QTabWidget>
#include <QUrl>
#include <QWebEngineView>
#include <QWindow>
#include <cstdio>

namespace {

class ExposeReporter : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Expose && !mReported) {
            mReported = true;
            std::printf("exposed %.3f\n", double(QDateTime::currentMSecsSinceEpoch()));
            std::fflush(stdout);
        }
        return false;
    }

private:
    bool mReported = false;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const QStringList urls = QApplication::arguments().mid(1);

    QWidget* window = nullptr;
    if (urls.size() <= 1) {
        auto* view = new QWebEngineView;
        view->load(QUrl(urls.value(0, QStringLiteral("about:blank"))));
        window = view;
    } else {
        auto* tabs = new QTabWidget;
        for (const QString& url : urls) {
            auto* view = new QWebEngineView;
            view->load(QUrl(url));
            tabs->addTab(view, url);
        }
        window = tabs;
    }
    // Without a window manager "maximised" means nothing; the window then takes the screen.
    window->resize(window->screen()->availableSize());
    window->winId();
    ExposeReporter reporter;
    window->windowHandle()->installEventFilter(&reporter);
    window->showMaximized();
    const int status = QApplication::exec();
    delete window;
    return status;
}
