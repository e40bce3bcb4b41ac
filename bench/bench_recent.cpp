// Recent-documents benchmark: opening the drop-down "最近的文档" over a Recent folder of real
// .lnk shortcuts, against a plain listing of the same folder with one stat per file.
//
//   listing   opendir/readdir + fstatat of every entry (the reference, measured in the same run)
//   read      every shortcut's target read (directly, liblnk for the unusual ones)
//   first     the first opening in a run of the program: every shortcut read, the XML list
//             built newest first, the top ten and nine counts asked, the menu filled
//   changed   an opening after one document was used (one shortcut written again)
//   unchanged an opening with the Recent folder as it was at the last opening
//
// Usage: bench_recent [shortcuts] [runs]   (defaults: 5000 shortcuts, 10 runs; medians printed)

#include "controls/CommandBars.h"
#include "controls/IconStore.h"
#include "platform/LnkRecentFolder.h"
#include "recent/clsRecentFile.h"
#include "recent/clsRecentFileMenu.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMenu>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <vector>

#include "tests/common/ShellLinkWriter.h"

namespace {

const char* const kExtensions[] = {"doc", "docx", "xls", "xlsx", "ppt", "pdf",
                                   "jpg", "png",  "txt", "dotm", ""};

double medianMs(int runs, const std::function<void()>& work, const std::function<void()>& before = {}) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        if (before)
            before();
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// What any program that shows the folder's files with their times has to do at least.
int listAndStat(const QByteArray& folder) {
    int count = 0;
    DIR* dir = opendir(folder.constData());
    if (!dir)
        return 0;
    while (dirent* e = readdir(dir)) {
        struct stat st;
        if (e->d_name[0] != '.' && fstatat(dirfd(dir), e->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))
            ++count;
    }
    closedir(dir);
    return count;
}

// A main window's toolbar with the menu, as the program has it.
struct Program {
    QMainWindow window;
    IconStore icons;
    clsRecentFile store;
    QMenu* dropDown = nullptr;
    explicit Program(const QString& folder) {
        auto* bars = new CommandBars(&window);
        bars->SetIconStore(&icons);
        std::vector<std::unique_ptr<RecentSource>> sources;
        sources.push_back(std::make_unique<LnkRecentFolder>(folder));
        store.SetSources(std::move(sources));
        store.initlRecentFileMenu(bars->Add("工具"));
        dropDown = store.Menu()->MenuButton()->CommandBar()->menu();
    }
    void open() { emit dropDown->aboutToShow(); }
};

void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int shortcuts = argc > 1 ? std::max(1, atoi(argv[1])) : 5000;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 10;

    QTemporaryDir dir;
    const QString folder = dir.path() + "/Recent";
    QDir().mkpath(folder);
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < shortcuts; ++i) {
        const QString ext = QString::fromLatin1(kExtensions[i % std::size(kExtensions)]);
        const QString target = ext.isEmpty() ? QString("C:\\Users\\王\\项目%1\\").arg(i)
                                             : QString("C:\\Users\\王\\文档\\报告%1.%2").arg(i).arg(ext);
        shelllink::write(QString("%1/报告%2.lnk").arg(folder).arg(i),
                         ext.isEmpty() ? shelllink::folder(target) : shelllink::local(target),
                         now.addSecs(-qint64(i) * 577));
    }

    const QByteArray folderBytes = QFile::encodeName(folder);
    int listed = 0;
    const double listing = medianMs(runs, [&] { listed = listAndStat(folderBytes); });
    const double read = medianMs(runs, [&] { LnkRecentFolder(folder).entries(); });

    std::unique_ptr<Program> program;
    const double first = medianMs(
        runs, [&] { program->open(); },
        [&] {
            program.reset();
            settle();
            program = std::make_unique<Program>(folder);
        });
    int used = 0;
    const double changed = medianMs(
        runs, [&] { program->open(); },
        [&] {
            settle();
            const QString path = QString("%1/报告%2.lnk").arg(folder).arg(used * 7 % shortcuts);
            shelllink::write(path, shelllink::local(QString("C:\\文档\\新%1.docx").arg(used)),
                             QDateTime::currentDateTime());
            ++used;
        });
    const double unchanged = medianMs(
        runs, [&] { program->open(); }, settle);
    const clsRecentFile& store = program->store;

    std::printf(
        "Recent folder: %d shortcuts (%d listed, %d records, %d in \"全部\"), %d runs, medians in ms\n\n",
        shortcuts, listed, store.RecentFileList().childElements().length(),
        store.getRecentFilesAll().length(), runs);
    std::printf("%-48s %10s %8s\n", "measure", "ms", "ratio");
    const std::pair<const char*, double> rows[] = {
        {"listing + stat (reference)", listing},
        {"read every shortcut", read},
        {"first opening (read, XML, sort, queries)", first},
        {"opening after one document was used", changed},
        {"opening, nothing changed", unchanged},
    };
    for (const auto& [name, ms] : rows)
        std::printf("%-48s %10.2f %8.2f\n", name, ms, ms / listing);
    std::printf("\n(goal: opening within 5 x the listing)\n");
    return 0;
}
