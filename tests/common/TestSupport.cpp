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
QString entityExpansionDocument() {
    QString text = QStringLiteral("<?xml version=\"1.0\"?>\n<!DOCTYPE data [\n  <!ENTITY lol0 \"lol\">\n");
    for (int level = 1; level <= 10; ++level) {
        QString body;
        for (int i = 0; i < 10; ++i)
            body += QStringLiteral("&lol%1;").arg(level - 1);
        text += QStringLiteral("  <!ENTITY lol%1 \"%2\">\n").arg(level).arg(body);
    }
    return text + QStringLiteral("]>\n<data><globalinfo userid=\"&lol10;\"/><global>&lol10;</global></data>");
}

qint64 processMemoryMiB(qint64 pid, const char* field) {
    QFile f(pid == 0 ? QStringLiteral("/proc/self/status") : QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong() / 1024;
    }
    return -1;
}

} // namespace qvtest
