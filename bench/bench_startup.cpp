// Start-up time of QV: from starting the process to the first paint of its main window, which
// QV marks with a developer-log line. Measured next to the smallest Qt Widgets window
// (bench_minimal_window) in the same run, alternating, and reported as medians.
//
// Usage: bench_startup [runs]   (default 10; uses the platform of QT_QPA_PLATFORM, offscreen if unset)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Starts `program`, waits until `painted` says the first paint happened, ends the process and
// returns the milliseconds from the start; -1 on a time-out.
double timeToPaint(const QString& program, const QStringList& args, const QString& folder,
                   const std::function<bool(QProcess&)>& painted) {
    QProcess p;
    p.setWorkingDirectory(folder);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return -1;
    double ms = -1;
    while (t.elapsed() < 30000) {
        p.waitForReadyRead(1);
        if (painted(p)) {
            ms = double(t.nsecsElapsed()) / 1e6;
            break;
        }
    }
    p.terminate();
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished(5000);
    }
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QV_AUTOANSWER", "1");
    // The embedded browser engine runs as root here only without its sandbox.
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");

    const QString build = QDir(QCoreApplication::applicationDirPath() + "/..").absolutePath();
    QTemporaryDir folder;
    QDir(folder.path()).mkpath("Data");
    for (const char* f : {"QV", "Data/common.dat", "Data/icon.dat"}) {
        if (!QFile::copy(build + "/" + f, folder.filePath(f))) {
            std::fprintf(stderr, "cannot copy %s from %s\n", f, qPrintable(build));
            return 1;
        }
    }
    QFile::setPermissions(folder.filePath("QV"), QFile::permissions(build + "/QV"));
    const QString logPath = folder.filePath("log.txt");
    const QString minimal = QCoreApplication::applicationDirPath() + "/bench_minimal_window";

    auto qvPainted = [&](QProcess&) {
        QFile log(logPath);
        return log.open(QIODevice::ReadOnly) && log.readAll().contains("主窗口已显示");
    };
    auto minimalPainted = [](QProcess& p) { return p.canReadLine() && p.readLine().startsWith("painted"); };

    // One start that is not counted: it writes the first User.dat and warms the caches.
    timeToPaint(folder.filePath("QV"), {"developMode"}, folder.path(), qvPainted);
    std::vector<double> qv, reference;
    for (int i = 0; i < runs; ++i) {
        QFile::remove(logPath);
        const double a = timeToPaint(folder.filePath("QV"), {"developMode"}, folder.path(), qvPainted);
        const double b = timeToPaint(minimal, {}, folder.path(), minimalPainted);
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "run %d timed out\n", i + 1);
            return 1;
        }
        qv.push_back(a);
        reference.push_back(b);
    }
    std::printf("Start-up to first paint, %d runs, platform %s, median ms\n", runs,
                qgetenv("QT_QPA_PLATFORM").constData());
    std::printf("%-22s %10s %10s %10s\n", "program", "min", "median", "max");
    auto row = [](const char* name, const std::vector<double>& v) {
        std::printf("%-22s %10.1f %10.1f %10.1f\n", name, *std::min_element(v.begin(), v.end()), median(v),
                    *std::max_element(v.begin(), v.end()));
    };
    row("QV", qv);
    row("minimal Qt window", reference);
    std::printf("ratio QV / minimal: %.2f\n", median(qv) / median(reference));
    return 0;
}
