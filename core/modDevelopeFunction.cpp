#include "core/modDevelopeFunction.h"

#include "core/modFolders.h"
#include "core/modInitial.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QObject>
#include <QVariant>

#include <cstdio>

namespace {

std::function<void()>& showLogHandler() {
    static std::function<void()> handler;
    return handler;
}

// Whether the latest attempt to write log.txt failed (and was reported).
bool gFileFailureReported = false;

QString stamped(const QString& text) {
    return QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat) + QLatin1Char(' ') +
           text;
}

void keep(const QString& line) {
    if (modInitial::gDevLog)
        modInitial::gDevLog->append(line);
    if (modInitial::gDevLogPane)
        modInitial::gDevLogPane->setProperty("text", line);
}

// True when the line reached the file.
bool appendToFile(const QString& path, const QString& line, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *error = file.errorString();
        return false;
    }
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

void reportFileFailure(const QString& path, const QString& error) {
    if (gFileFailureReported)
        return;
    gFileFailureReported = true;
    const QString message = QStringLiteral("log.txt 无法写入（%1: %2），日志只保留在内存中").arg(path, error);
    keep(stamped(message));
    std::fprintf(stderr, "QV: %s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

namespace modDevelopeFunction {

void WriteLog(const QString& text) noexcept {
    QString path;
    try {
        path = modFolders::LogFile();
        const QString line = stamped(text);
        keep(line);
        QString error;
        if (appendToFile(path, line, &error))
            gFileFailureReported = false;
        else
            reportFileFailure(path, error);
    } catch (...) {
        // Out of memory while building a line: the trace loses it, the program goes on.
        try {
            reportFileFailure(path, QStringLiteral("no memory"));
        } catch (...) {
        }
    }
}

void ShowDevelopLog() {
    if (const std::function<void()>& handler = showLogHandler())
        handler();
}

void SetShowDevelopLogHandler(std::function<void()> handler) {
    showLogHandler() = std::move(handler);
}

} // namespace modDevelopeFunction
