#include "core/modInitial.h"
#include "shell/frmMain.h"
#include "shell/modSubsystems.h"

#include <QApplication>

int main(int argc, char** argv) {
    // The web engine shares its GL contexts with the widgets; this must be set before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setOrganizationName(QStringLiteral("Quorvel"));
    modSubsystems::Install();
    return modInitial::Main(QApplication::arguments(), [] { return new frmMain; });
}
