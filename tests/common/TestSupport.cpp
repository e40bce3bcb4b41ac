#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <stdexcept>

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
} // namespace qvtest
