// Navigation-tree benchmark: the navigation pane built from the shipped common data, with the
// favorites root filled from a folder of 500 shortcuts, against filling a plain QTreeWidget with
// the same number of items (text and icon), measured in the same run.
//
//   navigation  frmNav created (layout built, explandonload folders opened) + the favorites root
//               clicked (500 .url files read)
//   reference   a QTreeWidget filled with as many items as the navigation tree then holds
//
// Both are timed twice: building only, and building followed by the first layout and paint of
// the tree in a shown window. Usage: bench_navtree [runs]   (default 15; offscreen unless
// QT_QPA_PLATFORM says otherwise)

#include "controls/IconStore.h"
#include "controls/TreeView.h"
#include "core/clsCommonData.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "links/clsNavigate.h"
#include "links/frmNav.h"
#include "platform/RegistryView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

constexpr int kFavorites = 500;

// The thread's processor time in milliseconds: other programs on a busy machine do not count.
double cpuMs() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void fail(const char* what) {
    std::fprintf(stderr, "bench_navtree: %s\n", what);
    std::exit(1);
}

// Shows the window and paints the tree once, now.
void paintNow(QWidget* window) {
    window->show();
    const QPixmap picture = window->grab();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 15;

    QTemporaryDir dir;
    if (!dir.isValid())
        fail("no temporary folder");
    const QString build = QCoreApplication::applicationDirPath() + "/..";
    modInitial::SetAppPath(dir.path());
    QDir(dir.path()).mkpath("Data");
    if (!QFile::copy(build + "/Data/common.dat", dir.filePath("Data/common.dat")))
        fail("build/Data/common.dat is missing");
    modDataFile::WriteEncryptedFile(dir.filePath("Data/User.dat"), clsUserData::InitialDocument());
    qputenv("XDG_DATA_HOME", dir.filePath("xdg").toUtf8());
    RegistryView::instance().setRegistryFile(HKEY_CURRENT_USER, dir.filePath("none.reg"));
    const QString favorites = dir.filePath("xdg/Quorvel/Favorites");
    QDir().mkpath(favorites);
    for (int i = 0; i < kFavorites; ++i) {
        QFile file(QStringLiteral("%1/网站 %2.url").arg(favorites).arg(i, 3, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly))
            fail("cannot write the favorites");
        file.write(QStringLiteral("[InternetShortcut]\r\nURL=https://site%1.example.com/page?id=%1\r\n"
                                  "IconFile=https://site%1.example.com/favicon.ico\r\n")
                       .arg(i)
                       .toUtf8());
    }
    IconStore icons;
    if (!icons.LoadLibrary(build + "/Data/icon.dat"))
        fail("build/Data/icon.dat is missing");
    modInitial::gIconStore = &icons;
    modInitial::gData = new clsData;
    if (modInitial::gData->CommonData()->XMLNode.isNull())
        fail("the common data does not load");

    std::vector<double> navBuild, navPaint, refBuild, refPaint;
    int items = 0;
    for (int run = 0; run < runs; ++run) {
        for (bool paint : {false, true}) {
            double start = cpuMs();
            auto* nav = new frmNav;
            nav->resize(240, 700);
            TreeView* tree = nav->tvwNav();
            QTreeWidgetItem* root = tree->NodeByKey("Favroot");
            nav->navigate()->onNodeClick(root);
            nav->navigate()->onClick();
            if (paint)
                paintNow(nav);
            (paint ? navPaint : navBuild).push_back(cpuMs() - start);
            items = tree->NodeCount();
            if (root->childCount() != kFavorites)
                fail("the favorites root is not filled");
            delete nav;

            const QIcon icon = icons.icon(800);
            start = cpuMs();
            auto* window = new QWidget;
            window->resize(240, 700);
            auto* plain = new QTreeWidget(window);
            plain->resize(240, 700);
            plain->setHeaderHidden(true);
            for (int i = 0; i < items; ++i) {
                auto* item = new QTreeWidgetItem;
                item->setText(0, QStringLiteral("网站 %1").arg(i));
                item->setIcon(0, icon);
                plain->addTopLevelItem(item);
            }
            if (paint)
                paintNow(window);
            (paint ? refPaint : refBuild).push_back(cpuMs() - start);
            delete window;
        }
    }

    std::printf("navigation tree: shipped common data + %d favorites, %d items, %d runs (medians of the "
                "thread's processor time)\n\n",
                kFavorites, items, runs);
    std::printf("%-22s %12s %12s %8s\n", "", "navigation", "reference", "ratio");
    const double nb = median(navBuild), rb = median(refBuild), np = median(navPaint), rp = median(refPaint);
    std::printf("%-22s %9.2f ms %9.2f ms %8.2f\n", "build", nb, rb, nb / rb);
    std::printf("%-22s %9.2f ms %9.2f ms %8.2f\n", "build + first paint", np, rp, np / rp);
    delete modInitial::gData;
    modInitial::gData = nullptr;
    modInitial::gIconStore = nullptr;
    return 0;
}
