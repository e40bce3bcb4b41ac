// Browsing figures: the time from the new-page command to the recently-closed-pages page on
// screen (loaded, its list built through the host object and a frame rendered), and the
// memory of the program with 1 and with 10 tabs open (proportional set size of this process
// and the engine's helper processes it started).
//
// Usage: bench_browsing [runs]   (default 10; offscreen unless QT_QPA_PLATFORM says otherwise)
#include "controls/TabbedWorkspace.h"
#include "core/clsData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "web/cltWebPage.h"
#include "web/frmBrowser.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QMdiArea>
#include <QTemporaryDir>
#include <QThread>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>
#include <vector>

namespace {

bool waitUntil(const std::function<bool()>& condition, int ms = 30000) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// True once the page has drawn a frame after its list was built: the page script leaves the
// card grid or the empty-state text in the document, and two animation frames have passed.
bool rcpOnScreen(frmBrowser* window) {
    QWebEnginePage* page = window->page();
    if (!page)
        return false;
    bool done = false;
    bool answered = false;
    page->runJavaScript("(function(){ if (window.__qvPainted) return true;"
                        " var ready = document.readyState === 'complete' && document.body &&"
                        "   document.body.innerText.indexOf('\u6700\u8fd1\u5173\u95ed') >= 0;"
                        " if (ready && !window.__qvFrames) { window.__qvFrames = true;"
                        "   requestAnimationFrame(function(){ requestAnimationFrame(function(){ "
                        "window.__qvPainted = true; }); }); }"
                        " return false; })()",
                        [&](const QVariant& v) {
                            done = v.toBool();
                            answered = true;
                        });
    waitUntil([&] { return answered; }, 5000);
    return done;
}

qint64 pssKiB(pid_t pid) {
    QFile f(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

// This process and every process below it.
qint64 treePssKiB() {
    const pid_t self = getpid();
    std::vector<pid_t> tree{self};
    bool grew = true;
    const QStringList entries = QDir("/proc").entryList(QDir::Dirs);
    while (grew) {
        grew = false;
        for (const QString& e : entries) {
            bool ok = false;
            const pid_t pid = e.toInt(&ok);
            if (!ok || std::find(tree.begin(), tree.end(), pid) != tree.end())
                continue;
            QFile stat("/proc/" + e + "/stat");
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            const QByteArray text = stat.readAll();
            const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 1 &&
                std::find(tree.begin(), tree.end(), pid_t(fields[1].toInt())) != tree.end()) {
                tree.push_back(pid);
                grew = true;
            }
        }
    }
    qint64 sum = 0;
    for (pid_t pid : tree)
        sum += pssKiB(pid);
    return sum;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
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

    // A program folder with the shipped common data.
    const QString build = QDir(QCoreApplication::applicationDirPath() + "/..").absolutePath();
    QTemporaryDir folder;
    QDir(folder.path()).mkpath("Data");
    QDir(folder.path()).mkpath("Cache");
    QFile::copy(build + "/Data/common.dat", folder.filePath("Data/common.dat"));
    modInitial::SetAppPath(folder.path());
    modDataFile::WriteEncryptedFile(folder.filePath("Data/User.dat"),
                                    "<data><globalinfo userid=\"\"/></data>");
    modInitial::gData = new clsData;

    QMainWindow window;
    auto* area = new QMdiArea(&window);
    window.setCentralWidget(area);
    TabbedWorkspace workspace(area);
    modInitial::gWorkspace = &workspace;
    window.resize(1200, 800);
    window.show();

    cltWebPage* opener = cltWebPage::Global();
    frmBrowser* latest = nullptr;
    QObject::connect(opener, &cltWebPage::windowCreated, [&](frmBrowser* w) { latest = w; });

    // A page to fill the tabs with: a local document of ordinary size.
    const QString pagePath = folder.filePath("page.html");
    {
        QFile page(pagePath);
        page.open(QIODevice::WriteOnly);
        QByteArray html = "<!doctype html><html><head><meta charset=utf-8><title>Page</title></head><body>";
        for (int i = 0; i < 200; ++i)
            html += "<p>Paragraph " + QByteArray::number(i) + " with some text to lay out and paint.</p>";
        page.write(html + "</body></html>");
    }

    // One opening that is not counted: it starts the engine's helper processes.
    opener->OpenNewPage();
    if (!waitUntil([&] { return latest && rcpOnScreen(latest); })) {
        std::fprintf(stderr, "the first page did not appear\n");
        return 1;
    }

    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        latest = nullptr;
        QElapsedTimer t;
        t.start();
        opener->OpenNewPage();
        if (!waitUntil([&] { return latest && rcpOnScreen(latest); })) {
            std::fprintf(stderr, "run %d timed out\n", i + 1);
            return 1;
        }
        times.push_back(double(t.nsecsElapsed()) / 1e6);
        latest->RequestClose(true);
        waitUntil([&] { return workspace.TabCount() == 1; }, 5000);
    }

    auto settle = [] {
        QElapsedTimer t;
        t.start();
        waitUntil([&] { return t.elapsed() > 1500; });
    };
    auto openPages = [&](int wanted) {
        while (workspace.TabCount() < wanted) {
            latest = nullptr;
            frmBrowser* w = opener->Add(QUrl::fromLocalFile(pagePath).toString());
            waitUntil(
                [&] { return w->page() && w->page()->url().isLocalFile() && !w->page()->title().isEmpty(); });
        }
        settle();
    };
    // The program with one tab showing a page, then with ten.
    for (QWidget* w : workspace.Windows()) {
        if (auto* b = qobject_cast<frmBrowser*>(w); b && workspace.TabCount() > 1)
            b->RequestClose(true);
    }
    waitUntil([&] { return workspace.TabCount() == 1; }, 5000);
    if (auto* only = qobject_cast<frmBrowser*>(workspace.Windows().value(0)))
        only->goURL(QUrl::fromLocalFile(pagePath).toString());
    settle();
    const qint64 oneTab = treePssKiB();
    openPages(10);
    const qint64 tenTabs = treePssKiB();

    std::printf("Browsing, platform %s\n", qgetenv("QT_QPA_PLATFORM").constData());
    std::printf("new page command to \"rcp\" on screen, %d runs: min %.1f  median %.1f  max %.1f ms\n", runs,
                *std::min_element(times.begin(), times.end()), median(times),
                *std::max_element(times.begin(), times.end()));
    std::printf("memory (PSS of the program and its engine processes): 1 tab %.1f MiB, 10 tabs %.1f MiB "
                "(%.1f MiB per extra tab)\n",
                oneTab / 1024.0, tenTabs / 1024.0, (tenTabs - oneTab) / 1024.0 / 9);
    frmBrowser::CloseAllWindows();
    cltWebPage::ReleaseGlobal();
    modInitial::gWorkspace = nullptr;
    return 0;
}
