#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <stdexcept>
#include <unistd.h>

namespace qvtest {
QString buildDir() {
    const QString env = qEnvironmentVariable("QV_BUILD_DIR");
    if (!env.isEmpty())
        return env;
    return QDir(QCoreApplication::applicationDirPath() + "/..").absolutePath();
}

QString sourceDir() {
    const QString env = qEnvironmentVariable("QV_SOURCE_DIR");
    if (!env.isEmpty())
        return env;
    return QDir(QStringLiteral(QV_TEST_SOURCE_DIR)).absolutePath();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error(("cannot read " + path).toStdString());
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error(("cannot write " + path).toStdString());
    f.write(bytes);
}
bool setFolderReadOnly(const QString& path, bool readOnly) {
    bool changed = false;
    if (::geteuid() != 0) {
        const QFile::Permissions writable = QFile::WriteOwner | QFile::WriteUser;
        const QFile::Permissions now = QFile::permissions(path);
        changed = QFile::setPermissions(path, readOnly ? now & ~writable : now | writable);
    } else {
        // The mode bits do not hold root back; an immutable folder does.
        changed = QProcess::execute(QStringLiteral("chattr"),
                                    {readOnly ? QStringLiteral("+i") : QStringLiteral("-i"), path}) == 0;
    }
    if (!changed || !readOnly)
        return changed;
    QFile probe(path + QStringLiteral("/.write-probe"));
    if (probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        setFolderReadOnly(path, false);
        return false;
    }
    return true;
}
} // namespace qvtest
