// A small program the tests start and stop (or kill) from outside.
//
//   qv_test_driver save-loop USER.dat   loads the user data, then saves it again and again, each
//                                       time with the counter <counter n="…"/> one higher, and
//                                       prints n once that save has returned
//   qv_test_driver lock FOLDER          takes the folder's single-instance lock, prints
//                                       "acquired", "held" or "failed", and keeps it until its
//                                       standard input closes

#include "core/QvError.h"
#include "core/clsUserData.h"
#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <cstdio>
#include <unistd.h>

namespace {

int saveLoop(const QString& path) {
    clsUserData user(path, nullptr);
    if (!user.LoadError().isEmpty()) {
        std::fprintf(stderr, "unreadable: %s\n", qPrintable(user.LoadError()));
        return 3;
    }
    XmlNode counter = clsUserData::GetOrCreateChild(user.XMLNode, QStringLiteral("counter"));
    int n = counter.getAttribute(QStringLiteral("n")).toInt();
    for (;;) {
        counter.setAttribute(QStringLiteral("n"), QString::number(++n));
        try {
            user.Save();
        } catch (const QvError& e) {
            std::fprintf(stderr, "save failed: %s\n", qPrintable(e.description()));
            return 4;
        }
        std::printf("%d\n", n);
        std::fflush(stdout);
    }
}

int holdLock(const QString& folder) {
    SingleInstance instance(folder);
    const SingleInstance::Status status = instance.acquire();
    std::puts(status == SingleInstance::Status::Acquired        ? "acquired"
              : status == SingleInstance::Status::HeldByAnother ? "held"
                                                                : "failed");
    std::fflush(stdout);
    char c;
    while (::read(0, &c, 1) > 0) {
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args[0] == QLatin1String("save-loop"))
        return saveLoop(args[1]);
    if (args.size() == 2 && args[0] == QLatin1String("lock"))
        return holdLock(args[1]);
    std::fputs("usage: qv_test_driver save-loop USER.dat | lock FOLDER\n", stderr);
    return 2;
}
