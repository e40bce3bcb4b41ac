#include "core/modInitial.h"
#include "shell/frmMain.h"
#include "shell/modSubsystems.h"
#include "web/InnerPages.h"

#include <QApplication>

int main(int argc, char** argv) {
    // The web engine shares its GL contexts with the widgets; this must be set before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The internal pages' scheme is known to the engine before anything starts it.
    InnerPages::RegisterScheme();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setOrganizationName(QStringLiteral("Quorvel"));
    // The desktop entry (and its icon) that the desktop shows for the program's windows.
    QGuiApplication::setDesktopFileName(QStringLiteral(QV_APP_ID));
    modSubsystems::Install();
    return modInitial::Main(QApplication::arguments(), [] { return new frmMain; });
}
