// QVUpdate: finishes an online update of the program folder it lives in. The command line is
// the main program's process id.

#include "updater/modQVUpdate.h"

#include <QApplication>
#include <QFileInfo>
#include <memory>

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QString folder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    if (folder.isEmpty())
        folder = QFileInfo(QString::fromLocal8Bit(argv[0])).absolutePath();

    // Moving files needs no application object and no display; a message box needs both, so
    // the application is made only when there is something to say.
    std::unique_ptr<QApplication> app;
    modQVUpdate::SetMessagePreparer([&] {
        if (!QCoreApplication::instance() && !qEnvironmentVariableIsSet("QV_AUTOANSWER"))
            app = std::make_unique<QApplication>(argc, argv);
    });
    return modQVUpdate::Main(arguments, folder);
}
