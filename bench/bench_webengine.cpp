// QV next to the smallest Qt 6 WebEngine program (bench_minimal_webengine), both started in
// turn in the same run with the same local pages served from 127.0.0.1 by this benchmark:
//
//  - start → main window mapped: the X server's MapNotify of the program's first top-level
//    window (under xcb); on other platforms (offscreen) the program's own report of its
//    window's first exposure;
//  - start → first contentful paint of the first page: the page's own paint timing
//    (PerformanceObserver "paint" entries, performance.timeOrigin + startTime), sent back by
//    the page and taken against the moment the benchmark started the process;
//  - memory with 1 and with 10 tabs of the same pages: every physical page of the process tree
//    counted once (the frame numbers in /proc/PID/pagemap of every mapping of every process;
//    needs root, else the sum of the processes' PSS, which the output then says);
//  - SIGTERM → process gone (the main process), next to the time of one save of QV's user data.
//
// QV is run in a program folder of its own whose common data sends every request to this
// benchmark's server; the environment variable QV_BENCH_PAGES makes it open the benchmark's
// pages at start in place of its own start page.
//
// Usage: bench_webengine [rounds] [--qv PATH]   (default 9 rounds and the build's QV; offscreen
// unless QT_QPA_PLATFORM says otherwise, e.g.
// QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/bench_webengine)
#include "core/clsUserData.h"
#include "core/modDataFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrlQuery>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <unordered_set>
#include <vector>

#ifdef QV_BENCH_HAVE_XCB
#include <poll.h>
#include <xcb/xcb.h>
#endif

#include "common/LocalHttpServer.h"

namespace {

constexpr int kTabs = 10;
// Time given to the pages after their load before memory is counted (the same for both).
constexpr int kSettleMs = 2000;
constexpr int kTimeoutMs = 60000;

double nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// ---------------------------------------------------------------------------------------------
// The pages: ordinary documents of text, a table, a picture and some style. Each reports its
// first contentful paint and its load to the server.

QByteArray pageHtml(int number) {
    QByteArray html =
        "<!DOCTYPE html><html lang=en><head><meta charset=utf-8><title>Page " + QByteArray::number(number) +
        "</title><style>"
        "body{font-family:sans-serif;margin:0;color:#222}"
        "header{background:linear-gradient(90deg,#246,#5a8);color:#fff;padding:16px 24px}"
        "main{display:grid;grid-template-columns:1fr 280px;gap:24px;padding:24px}"
        "aside{border-left:1px solid #ccc;padding-left:16px}"
        "table{border-collapse:collapse}td,th{border:1px solid #bbb;padding:2px 8px}"
        "</style><script>"
        "(function(){var page=" +
        QByteArray::number(number) +
        ";function report(kind,t){navigator.sendBeacon('/report?page='+page+'&kind='+kind+"
        "'&t='+(performance.timeOrigin+t).toFixed(3),'');}"
        "new PerformanceObserver(function(list){list.getEntries().forEach(function(e){"
        "if(e.name==='first-contentful-paint')report('fcp',e.startTime);});})"
        ".observe({type:'paint',buffered:true});"
        "addEventListener('load',function(){report('load',performance.now());});})();"
        "</script></head><body><header><h1>Page " +
        QByteArray::number(number) + "</h1><p>A local page of the benchmark</p></header><main><div>";
    for (int i = 0; i < 40; ++i) {
        html += "<h2>Section " + QByteArray::number(i + 1) +
                "</h2><p>Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
                "incididunt ut labore et dolore magna aliqua. Ut enim ad minim veniam, quis nostrud "
                "exercitation ullamco laboris nisi ut aliquip ex ea commodo consequat.</p>";
        if (i % 10 == 3) {
            html += "<table><tr><th>Item</th><th>Count</th><th>Price</th></tr>";
            for (int r = 0; r < 8; ++r)
                html += "<tr><td>Item " + QByteArray::number(r) + "</td><td>" +
                        QByteArray::number(r * 7 % 13) + "</td><td>" + QByteArray::number(r * 3.25, 'f', 2) +
                        "</td></tr>";
            html += "</table>";
        }
    }
    html += "</div><aside><svg width=240 height=160 viewBox='0 0 240 160'>"
            "<rect width=240 height=160 fill='#eef'/><circle cx=80 cy=80 r=50 fill='#58c'/>"
            "<rect x=130 y=40 width=80 height=80 fill='#c85'/></svg><ul>";
    for (int i = 0; i < 30; ++i)
        html += "<li><a href='#s" + QByteArray::number(i) + "'>Link " + QByteArray::number(i) + "</a></li>";
    html += "</ul></aside></main></body></html>";
    return html;
}

struct Report {
    int page = 0;
    QByteArray kind;
    double at = 0;
};

// ---------------------------------------------------------------------------------------------
// The moment the X server maps a program's first top-level window, seen from a thread of its own.

class MapWatcher {
public:
    ~MapWatcher() {
        mStop = true;
        if (mThread.joinable())
            mThread.join();
#ifdef QV_BENCH_HAVE_XCB
        if (mConnection)
            xcb_disconnect(mConnection);
#endif
    }

    bool start() {
#ifdef QV_BENCH_HAVE_XCB
        int screenNumber = 0;
        mConnection = xcb_connect(nullptr, &screenNumber);
        if (!mConnection || xcb_connection_has_error(mConnection))
            return false;
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(mConnection));
        for (int i = 0; i < screenNumber; ++i)
            xcb_screen_next(&it);
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(mConnection, it.data->root, XCB_CW_EVENT_MASK, &mask);
        const char name[] = "_NET_WM_PID";
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            mConnection, xcb_intern_atom(mConnection, 0, sizeof(name) - 1, name), nullptr);
        if (!atom)
            return false;
        mPidAtom = atom->atom;
        free(atom);
        xcb_flush(mConnection);
        mThread = std::thread([this] { run(); });
        return true;
#else
        return false;
#endif
    }

    // When the first top-level window of that process was mapped (ms since the epoch), or -1.
    double mappedAt(qint64 pid) {
        std::lock_guard<std::mutex> lock(mMutex);
        auto it = mMapped.find(pid);
        return it == mMapped.end() ? -1 : it->second;
    }

private:
#ifdef QV_BENCH_HAVE_XCB
    void run() {
        pollfd fd{xcb_get_file_descriptor(mConnection), POLLIN, 0};
        while (!mStop && !xcb_connection_has_error(mConnection)) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(mConnection)) {
                const double at = nowMs();
                if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                    auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                    if (!map->override_redirect)
                        noteMapped(map->window, at);
                }
                free(event);
            }
            poll(&fd, 1, 50);
        }
    }

    void noteMapped(xcb_window_t window, double at) {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            mConnection, xcb_get_property(mConnection, 0, window, mPidAtom, XCB_ATOM_CARDINAL, 0, 1),
            nullptr);
        if (!reply)
            return;
        if (xcb_get_property_value_length(reply) >= 4) {
            const qint64 pid = *static_cast<const uint32_t*>(xcb_get_property_value(reply));
            std::lock_guard<std::mutex> lock(mMutex);
            mMapped.emplace(pid, at);
        }
        free(reply);
    }

    xcb_connection_t* mConnection = nullptr;
    xcb_atom_t mPidAtom = 0;
#else
    void run() {}
#endif
    std::thread mThread;
    std::atomic<bool> mStop{false};
    std::mutex mMutex;
    std::map<qint64, double> mMapped;
};

// ---------------------------------------------------------------------------------------------
// Memory of a process tree.

std::vector<pid_t> processTree(pid_t root) {
    std::vector<pid_t> tree{root};
    std::multimap<pid_t, pid_t> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const pid_t pid = entry.toInt(&ok);
        if (!ok)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            children.emplace(pid_t(fields[1].toInt()), pid);
    }
    for (size_t i = 0; i < tree.size(); ++i) {
        auto [from, to] = children.equal_range(tree[i]);
        for (auto it = from; it != to; ++it)
            tree.push_back(it->second);
    }
    return tree;
}

struct TreeMemory {
    double mib = 0;
    bool pagemap = true;
};

// Adds the frame numbers of the present pages of every mapping with resident pages to `frames`;
// false when the frame numbers are hidden (not root).
bool addFrames(pid_t pid, std::unordered_set<uint64_t>& frames) {
    QFile smaps(QStringLiteral("/proc/%1/smaps").arg(pid));
    const int pagemap =
        ::open(QStringLiteral("/proc/%1/pagemap").arg(pid).toLocal8Bit().constData(), O_RDONLY);
    if (pagemap < 0 || !smaps.open(QIODevice::ReadOnly)) {
        if (pagemap >= 0)
            ::close(pagemap);
        return true; // the process has gone meanwhile
    }
    const long pageSize = sysconf(_SC_PAGESIZE);
    bool visible = true;
    quint64 start = 0, end = 0;
    std::vector<uint64_t> entries;
    for (const QByteArray& line : smaps.readAll().split('\n')) {
        const qsizetype dash = line.indexOf('-');
        const qsizetype space = line.indexOf(' ');
        // A mapping's own line starts "start-end perms ..."; its fields are "Name: value" lines.
        if (dash > 0 && space > dash && line.at(space - 1) != ':') {
            start = line.left(dash).toULongLong(nullptr, 16);
            end = line.mid(dash + 1, space - dash - 1).toULongLong(nullptr, 16);
            continue;
        }
        if (!line.startsWith("Rss:") || line.mid(4).trimmed().split(' ').first().toLongLong() == 0)
            continue;
        const quint64 pages = (end - start) / quint64(pageSize);
        entries.resize(pages);
        const ssize_t bytes = pread(pagemap, entries.data(), pages * sizeof(uint64_t),
                                    off_t(start / quint64(pageSize) * sizeof(uint64_t)));
        for (ssize_t i = 0; i < bytes / ssize_t(sizeof(uint64_t)); ++i) {
            const uint64_t e = entries[size_t(i)];
            if (!(e >> 63))
                continue;
            const uint64_t frame = e & ((uint64_t(1) << 55) - 1);
            if (frame == 0)
                visible = false;
            else
                frames.insert(frame);
        }
    }
    ::close(pagemap);
    return visible;
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

TreeMemory treeMemory(pid_t root) {
    const std::vector<pid_t> tree = processTree(root);
    std::unordered_set<uint64_t> frames;
    frames.reserve(1 << 18);
    bool visible = true;
    // QV_BENCH_VERBOSE: what each process adds to the pages counted so far.
    const bool verbose = qEnvironmentVariableIsSet("QV_BENCH_VERBOSE");
    for (pid_t pid : tree) {
        const size_t before = frames.size();
        visible = addFrames(pid, frames) && visible;
        if (verbose) {
            QFile cmd(QStringLiteral("/proc/%1/cmdline").arg(pid));
            const QByteArray line =
                cmd.open(QIODevice::ReadOnly) ? cmd.readAll().replace('\0', ' ') : QByteArray();
            std::fprintf(stderr, "  %7d %7.1f MiB  %s\n", int(pid),
                         double(frames.size() - before) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0),
                         line.left(90).constData());
        }
    }
    TreeMemory m;
    if (visible && !frames.empty()) {
        m.mib = double(frames.size()) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
        return m;
    }
    m.pagemap = false;
    qint64 kib = 0;
    for (pid_t pid : tree)
        kib += pssKiB(pid);
    m.mib = double(kib) / 1024.0;
    return m;
}

// ---------------------------------------------------------------------------------------------
// One start of a program.

struct Program {
    QString name;
    QString path;
    QString folder;
    bool isQV = false;
};

struct RunResult {
    double mapped = -1;
    double fcp = -1;
    // The program's own reports: its application made, and its first page's load asked for.
    double application = -1;
    double load = -1;
    TreeMemory memory;
    double exitMs = -1;
};

class Bench {
public:
    Bench(LocalHttpServer& server, MapWatcher* watcher) : mServer(server), mWatcher(watcher) {
        QObject::connect(
            &server, &LocalHttpServer::requestReceived, [this](const LocalHttpServer::Request& r) {
                if (r.path() != "/report")
                    return;
                const QUrlQuery q(QString::fromLatin1(r.query()));
                mReports.push_back({q.queryItemValue("page").toInt(), q.queryItemValue("kind").toLatin1(),
                                    q.queryItemValue("t").toDouble()});
            });
    }

    // Starts the program with `pages` pages, waits for every page's load (and the first page's
    // paint), measures, then ends it with SIGTERM. Null result fields when something timed out.
    RunResult run(const Program& program, int pages) {
        RunResult result;
        mReports.clear();
        QStringList urls;
        for (int i = 1; i <= pages; ++i)
            urls << mServer.url(QStringLiteral("/page%1.html").arg(i));

        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QV_AUTOANSWER", "1");
        env.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
        env.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
        env.insert("XDG_CONFIG_HOME", program.folder + "/config");
        env.insert("XDG_DATA_HOME", program.folder + "/share");
        env.insert("XDG_CACHE_HOME", program.folder + "/cache");
        if (program.isQV)
            env.insert("QV_BENCH_PAGES", urls.join(' '));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(program.folder);
        process.setProcessChannelMode(QProcess::SeparateChannels);
        QByteArray output;
        QObject::connect(&process, &QProcess::readyReadStandardOutput,
                         [&] { output += process.readAllStandardOutput(); });
        QObject::connect(&process, &QProcess::readyReadStandardError,
                         [&] { process.readAllStandardError(); });

        const double started = nowMs();
        process.start(program.path, program.isQV ? QStringList() : urls);
        if (!process.waitForStarted(10000))
            return result;
        const qint64 pid = process.processId();

        auto reported = [&](int page, const char* kind) -> double {
            for (const Report& r : mReports) {
                if (r.page == page && r.kind == kind)
                    return r.at;
            }
            return -1;
        };
        // "<moment> <ms since the epoch>" lines on standard output.
        auto programReport = [&](const QByteArray& moment) -> double {
            const QByteArray prefix = moment + ' ';
            QList<QByteArray> lines = output.split('\n');
            lines.removeLast(); // a line still being written
            for (const QByteArray& line : lines) {
                if (line.startsWith(prefix))
                    return line.mid(prefix.size()).trimmed().toDouble();
            }
            return -1;
        };
        auto exposedReport = [&] { return programReport("exposed"); };
        auto allLoaded = [&] {
            for (int i = 1; i <= pages; ++i) {
                if (reported(i, "load") < 0)
                    return false;
            }
            return true;
        };
        auto mappedAt = [&] { return mWatcher ? mWatcher->mappedAt(pid) : exposedReport(); };
        const bool done =
            waitUntil([&] { return mappedAt() > 0 && reported(1, "fcp") > 0 && allLoaded(); }, kTimeoutMs);
        if (done) {
            result.mapped = mappedAt() - started;
            result.fcp = reported(1, "fcp") - started;
            if (const double at = programReport("application"); at > 0)
                result.application = at - started;
            if (const double at = programReport("load"); at > 0)
                result.load = at - started;
            QElapsedTimer settle;
            settle.start();
            waitUntil([&] { return settle.elapsed() >= kSettleMs; }, kSettleMs + 1000);
            result.memory = treeMemory(pid_t(pid));
        } else {
            std::fprintf(stderr, "%s with %d page(s): no %s within %d s\n", qPrintable(program.name), pages,
                         mappedAt() < 0           ? "window"
                         : reported(1, "fcp") < 0 ? "first paint"
                                                  : "page load",
                         kTimeoutMs / 1000);
        }

        const double terminated = nowMs();
        ::kill(pid_t(pid), SIGTERM);
        if (process.waitForFinished(10000)) {
            result.exitMs = nowMs() - terminated;
        } else {
            process.kill();
            process.waitForFinished(5000);
        }
        // The engine's helper processes end with their browser; the next start waits for that.
        waitUntil([&] { return processTree(pid_t(pid)).size() <= 1; }, 5000);
        return result;
    }

private:
    LocalHttpServer& mServer;
    MapWatcher* mWatcher;
    std::vector<Report> mReports;
};

// Rewrites one key of the common data's global settings.
bool setGlobal(const QString& commonDat, const QString& key, const QString& value) {
    QString text = modDataFile::ReadEncryptedFile(commonDat);
    while (text.endsWith(QChar(0)))
        text.chop(1);
    const QString open = "<" + key + ">";
    const qsizetype from = text.indexOf(open);
    const qsizetype to = text.indexOf("</" + key + ">");
    if (from < 0 || to < from)
        return false;
    text.replace(from + open.size(), to - from - open.size(), value.toHtmlEscaped());
    modDataFile::WriteEncryptedFile(commonDat, text);
    return true;
}

// `text` followed by blanks to `width` characters (the texts hold characters of more than one byte).
QByteArray padded(const QString& text, int width) {
    return (text + QString(std::max(0, width - int(text.size())), QLatin1Char(' '))).toUtf8();
}

void header() {
    std::printf("| %s | %s | %s | %s |\n", padded(QStringLiteral("median (min–max)"), 43).constData(),
                padded(QStringLiteral("minimal program"), 24).constData(),
                padded(QStringLiteral("QV"), 24).constData(), padded(QStringLiteral("ratio"), 5).constData());
    std::printf("|%s|%s|%s|%s|\n", std::string(45, '-').c_str(), std::string(26, '-').c_str(),
                std::string(26, '-').c_str(), std::string(7, '-').c_str());
}

void row(const char* what, const std::vector<double>& qv, const std::vector<double>& ref, bool ratio = true) {
    auto cell = [](const std::vector<double>& v) {
        if (v.empty())
            return QStringLiteral("—");
        return QStringLiteral("%1 (%2–%3)")
            .arg(median(v), 0, 'f', 1)
            .arg(*std::min_element(v.begin(), v.end()), 0, 'f', 1)
            .arg(*std::max_element(v.begin(), v.end()), 0, 'f', 1);
    };
    const QString ratioText =
        ratio && median(ref) > 0 ? QString::number(median(qv) / median(ref), 'f', 2) : QStringLiteral("—");
    std::printf("| %s | %s | %s | %s |\n", padded(QString::fromUtf8(what), 43).constData(),
                padded(cell(ref), 24).constData(), padded(cell(qv), 24).constData(),
                padded(ratioText, 5).constData());
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    int rounds = 9;
    QString qvProgram = QDir(QCoreApplication::applicationDirPath() + "/..").absoluteFilePath("QV");
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--qv") && i + 1 < args.size())
            qvProgram = args[++i];
        else
            rounds = std::max(1, args[i].toInt());
    }
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");

    LocalHttpServer server;
    if (!server.start()) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 1;
    }
    for (int i = 1; i <= kTabs; ++i)
        server.serve(QStringLiteral("/page%1.html").arg(i).toLatin1(), pageHtml(i));
    server.serve("/report", [](const LocalHttpServer::Request&) {
        LocalHttpServer::Response r;
        r.status = 204;
        return r;
    });

    // QV's program folder: the built program with the shipped data, every request of the
    // program sent to this benchmark's server.
    const QString build = QDir(QCoreApplication::applicationDirPath() + "/..").absolutePath();
    QTemporaryDir qvFolder, refFolder;
    QDir(qvFolder.path()).mkpath("Data");
    for (const char* f : {"Data/common.dat", "Data/icon.dat"}) {
        if (!QFile::copy(build + "/" + f, qvFolder.filePath(f))) {
            std::fprintf(stderr, "cannot copy %s from %s\n", f, qPrintable(build));
            return 1;
        }
    }
    if (!QFile::copy(qvProgram, qvFolder.filePath("QV"))) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(qvProgram));
        return 1;
    }
    QFile::setPermissions(qvFolder.filePath("QV"), QFile::permissions(qvProgram));
    const QString commonDat = qvFolder.filePath("Data/common.dat");
    setGlobal(commonDat, "hostdomain", server.url().mid(7).chopped(1));
    setGlobal(commonDat, "urlgetuserid", server.url("/id"));
    setGlobal(commonDat, "urlonlineupdatelist", server.url("/filelist.xml"));

    const Program qv{QStringLiteral("QV"), qvFolder.filePath("QV"), qvFolder.path(), true};
    const Program ref{QStringLiteral("minimal"),
                      QCoreApplication::applicationDirPath() + "/bench_minimal_webengine", refFolder.path(),
                      false};

    MapWatcher watcher;
    const bool x11 = platform == "xcb" && watcher.start();
    Bench bench(server, x11 ? &watcher : nullptr);

    // One start of each that is not counted: QV writes its first user data, and the files of
    // both programs and of the engine are read once.
    bench.run(qv, 1);
    bench.run(ref, 1);

    std::vector<double> mapped[2], fcp[2], mem1[2], mem10[2], exitMs[2], application[2], load[2],
        loadToFcp[2];
    bool pagemap = true;
    for (int round = 0; round < rounds; ++round) {
        // Alternating which program goes first.
        const Program* order[2] = {&qv, &ref};
        if (round % 2)
            std::swap(order[0], order[1]);
        for (const Program* p : order) {
            const RunResult r = bench.run(*p, 1);
            const int k = p->isQV ? 0 : 1;
            if (r.mapped < 0) {
                std::fprintf(stderr, "round %d: %s did not come up\n", round + 1, qPrintable(p->name));
                return 1;
            }
            mapped[k].push_back(r.mapped);
            fcp[k].push_back(r.fcp);
            if (r.application > 0)
                application[k].push_back(r.application);
            if (r.load > 0) {
                load[k].push_back(r.load);
                loadToFcp[k].push_back(r.fcp - r.load);
            }
            mem1[k].push_back(r.memory.mib);
            pagemap = pagemap && r.memory.pagemap;
            if (r.exitMs >= 0)
                exitMs[k].push_back(r.exitMs);
        }
        for (const Program* p : order) {
            const RunResult r = bench.run(*p, kTabs);
            if (r.mapped < 0) {
                std::fprintf(stderr, "round %d: %s with %d tabs did not come up\n", round + 1,
                             qPrintable(p->name), kTabs);
                return 1;
            }
            mem10[p->isQV ? 0 : 1].push_back(r.memory.mib);
            pagemap = pagemap && r.memory.pagemap;
        }
        std::fprintf(stderr, "round %d of %d done\n", round + 1, rounds);
    }

    // One save of QV's user data as it stands after the runs (the exit saves once).
    std::vector<double> saves;
    {
        clsUserData userData(qvFolder.filePath("Data/User.dat"), nullptr);
        for (int i = 0; i < rounds && userData.LoadError().isEmpty(); ++i) {
            QElapsedTimer t;
            t.start();
            userData.SaveWithoutLayout();
            saves.push_back(double(t.nsecsElapsed()) / 1e6);
        }
    }

    std::printf("QV next to a minimal Qt WebEngine program, %d rounds, platform %s, pages on 127.0.0.1\n",
                rounds, platform.constData());
    std::printf("window mapped: %s\n",
                x11 ? "the X server's MapNotify" : "the program's report of its window's first exposure");
    std::printf("memory: %s\n\n",
                pagemap ? "physical pages of the process tree, each counted once (/proc/PID/pagemap)"
                        : "sum of PSS of the process tree (no frame numbers in /proc/PID/pagemap: not root); "
                          "other engine programs on the machine distort it");
    header();
    row("start → main window mapped, ms", mapped[0], mapped[1]);
    row("start → first contentful paint, ms", fcp[0], fcp[1]);
    row("memory with 1 tab, MiB", mem1[0], mem1[1]);
    row("memory with 10 tabs, MiB", mem10[0], mem10[1]);
    row("SIGTERM → main process gone, ms", exitMs[0], exitMs[1], false);
    // Where the time to the first paint goes: the same steps in both programs, reported by
    // each program itself.
    if (!application[0].empty() && !application[1].empty() && !load[0].empty() && !load[1].empty()) {
        std::printf("\nwhere the time to the first page goes (1 tab, the programs' own reports):\n\n");
        header();
        row("start → application made, ms", application[0], application[1]);
        row("start → first page's load asked for, ms", load[0], load[1]);
        row("load asked for → first contentful paint, ms", loadToFcp[0], loadToFcp[1]);
    }
    if (!saves.empty())
        std::printf("\none save of QV's user data (%lld bytes): median %.1f ms (%.1f–%.1f)\n",
                    qint64(QFileInfo(qvFolder.filePath("Data/User.dat")).size()), median(saves),
                    *std::min_element(saves.begin(), saves.end()),
                    *std::max_element(saves.begin(), saves.end()));
    return 0;
}
