// The reference of bench_webengine: the smallest Qt 6 WebEngine program that shows web pages.
// One maximised window with one view of the address given on the command line; with several
// addresses, one tab per address (the first one on show).
//
// It prints "<moment> <milliseconds since the epoch>" on standard output for three moments: the
// application made ("application"), the first page's load asked for ("load") and the window's
// first exposure ("exposed", for platforms where the benchmark cannot see the window being
// mapped, such as offscreen).
#include <QApplication>
#include <QScreen>
#include <QTabWidget>
#include <QUrl>
#include <QWebEngineView>
#include <QWindow>
#include <cstdio>
#include <ctime>

namespace {

// "<moment> <milliseconds since the epoch>" on standard output, for the benchmark.
void report(const char* moment) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::printf("%s %.3f\n", moment, double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6);
    std::fflush(stdout);
}

class ExposeReporter : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Expose && !mReported) {
            mReported = true;
            report("exposed");
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
    report("application");
    const QStringList urls = QApplication::arguments().mid(1);

    QWidget* window = nullptr;
    if (urls.size() <= 1) {
        auto* view = new QWebEngineView;
        view->load(QUrl(urls.value(0, QStringLiteral("about:blank"))));
        report("load");
        window = view;
    } else {
        auto* tabs = new QTabWidget;
        for (const QString& url : urls) {
            auto* view = new QWebEngineView;
            view->load(QUrl(url));
            if (url == urls.first())
                report("load");
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
