#include "core/modInitial.h"
#include "platform/DisplayLoss.h"
#include "shell/frmMain.h"
#include "shell/modSubsystems.h"
#include "web/InnerPages.h"

#include <QApplication>

#include <cstdio>
#include <fontconfig/fontconfig.h>
#include <thread>
#include <unistd.h>

int main(int argc, char** argv) {
    // The font configuration is read while the application connects to the display and starts
    // the graphics stack, instead of when the main window first measures its texts.
    std::thread fontConfiguration([] { FcInit(); });
    // The web engine shares its GL contexts with the widgets; this must be set before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The internal pages' scheme is known to the engine before anything starts it.
    InnerPages::RegisterScheme();
    QApplication app(argc, argv);
    modSubsystems::ReportToBenchmark("application");
    fontConfiguration.join();
    // A lost display ends the program through its own end, on the main thread.
    DisplayLoss::InstallHandler([] { modInitial::EndWithoutShutdown(1); });
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setOrganizationName(QStringLiteral("Quorvel"));
    // The desktop entry (and its icon) that the desktop shows for the program's windows.
    QGuiApplication::setDesktopFileName(QStringLiteral(QV_APP_ID));
    modSubsystems::Install();
    const int status = modInitial::Main(QApplication::arguments(), [] { return new frmMain; });
    // The user data is saved, the instance lock released and every window closed. What is left
    // is the web engine's teardown, which takes longer than the whole end before it and keeps
    // nothing: its processes end with this one, and its profile lives in memory only.
    std::fflush(nullptr);
    ::_exit(status);
}
