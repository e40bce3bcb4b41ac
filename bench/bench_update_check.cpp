// Update check: the time from command 104 ("检查更新") of the main window to the status text
// "最新版,不需要更新." for a list whose every file is current, served from this machine. Measured
// next to a plain request of the same list with Qt Network in the same run, alternating, and
// reported as medians.
//
// Usage: bench_update_check [runs] [files]   (defaults 20 and 40; offscreen unless QT_QPA_PLATFORM says
// otherwise)
#include "controls/CommandBars.h"
#include "controls/StatusBar.h"
#include "core/QvIds.h"
#include "core/modInitial.h"
#include "core/modTools.h"
#include "shell/frmMain.h"
#include "shell/modSubsystems.h"
#include "update/clsOnlineUpdate.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "common/LocalHttpServer.h"

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Every kind of entry that needs no download: existing files in the modes "overwritenoexist",
// "lastwritetime" (same time) and "ver" (same version), and the main program at the running version.
QByteArray currentList(const QString& folder, const QString& serverPath, int files) {
    const QString version = modTools::ProgramVersionNumber();
    const QDateTime time(QDate(2020, 5, 6), QTime(7, 8, 9));
    QByteArray xml = "<filelist>";
    auto add = [&](const QString& name, const QString& mode, const QString& ver) {
        xml += QStringLiteral(
                   "<file filename=\"%1\" clientlocation=\"Data\\%1\" serverpath=\"%2\" servername=\"%1\" "
                   "size=\"100\" version=\"%3\" lastwritetime=\"%4\" comparemode=\"%5\" "
                   "iscompressed=\"false\"/>")
                   .arg(name, serverPath, ver, time.toString("yyyy-MM-dd HH:mm:ss"), mode)
                   .toUtf8();
    };
    QDir(folder).mkpath("Data");
    for (int i = 0; i < files; ++i) {
        const QString name = QStringLiteral("file%1.dat").arg(i);
        const QString path = folder + "/Data/" + name;
        switch (i % 3) {
        case 0: {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write(QByteArray(100, 'x'));
            f.setFileTime(time, QFileDevice::FileModificationTime);
            add(name, "lastwritetime", "");
            break;
        }
        case 1:
            QFile::copy(QCoreApplication::applicationDirPath() + "/../QVUpdate", path);
            add(name, "ver", version);
            break;
        default:
            QFile(path).open(QIODevice::WriteOnly);
            add(name, "overwritenoexist", "");
        }
    }
    QFile(folder + "/QV").open(QIODevice::WriteOnly);
    xml += QStringLiteral(
               "<file filename=\"QV.exe\" clientlocation=\"QV.exe\" serverpath=\"%1\" servername=\"QV.exe\" "
               "size=\"100\" version=\"%2\" lastwritetime=\"2020-05-06 07:08:09\" comparemode=\"ver\" "
               "iscompressed=\"false\"/>")
               .arg(serverPath, version)
               .toUtf8();
    return xml + "</filelist>";
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const int files = argc > 2 ? std::max(1, atoi(argv[2])) : 40;

    QTemporaryDir folder;
    modInitial::SetAppPath(folder.path());
    LocalHttpServer server;
    if (!server.start()) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 1;
    }
    server.serve("/filelist.xml", currentList(folder.path(), server.url("/files/"), files), "text/xml");
    modInitial::gUrlOnlineUpdateList = server.url("/filelist.xml");

    modSubsystems::Install();
    frmMain window;
    window.show();
    CommandBarControl* command = window.commandBars()->FindControl(Cmd::CheckUpdate);
    StatusBar* status = window.commandBars()->statusBar();
    QNetworkAccessManager plain;

    std::vector<double> check, reference;
    for (int i = 0; i < runs + 1; ++i) {
        if (StatusBarPane* pane = status->FindPane(StatusPaneId::UpdateStatus))
            pane->setText(QString());
        // The check ends with its status text; its signal marks the moment without polling.
        QEventLoop checked;
        QObject::connect(clsOnlineUpdate::Global(), &clsOnlineUpdate::checkFinished, &checked,
                         &QEventLoop::quit);
        QTimer::singleShot(10000, &checked, &QEventLoop::quit);
        QElapsedTimer t;
        t.start();
        window.ExecuteCommand(command);
        checked.exec();
        StatusBarPane* pane = status->FindPane(StatusPaneId::UpdateStatus);
        const bool done = pane && pane->Text() == clsOnlineUpdate::TextUpToDate;
        const double a = double(t.nsecsElapsed()) / 1e6;

        t.restart();
        QNetworkReply* reply = plain.get(QNetworkRequest(QUrl(server.url("/filelist.xml"))));
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        reply->readAll();
        reply->deleteLater();
        const double b = double(t.nsecsElapsed()) / 1e6;
        if (!done) {
            std::fprintf(stderr, "run %d: the status never said the program is current\n", i + 1);
            return 1;
        }
        if (i == 0)
            continue; // warms the connection and the caches
        check.push_back(a);
        reference.push_back(b);
    }
    std::printf("Command 104 to \"最新版,不需要更新.\", list of %d files, %d runs, ms\n", files + 1, runs);
    std::printf("%-26s %10s %10s %10s\n", "what", "min", "median", "max");
    auto row = [](const char* name, const std::vector<double>& v) {
        std::printf("%-26s %10.2f %10.2f %10.2f\n", name, *std::min_element(v.begin(), v.end()), median(v),
                    *std::max_element(v.begin(), v.end()));
    };
    row("update check (104)", check);
    row("plain GET of the list", reference);
    std::printf("ratio check / plain GET: %.2f\n", median(check) / median(reference));
    modInitial::gCommandBars = nullptr;
    return 0;
}
