#include "core/modDevelopeFunction.h"

#include "core/QvError.h"
#include "core/modInitial.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QObject>
#include <QVariant>

namespace {
std::function<void()>& showLogHandler() {
    static std::function<void()> handler;
    return handler;
}
} // namespace

namespace modDevelopeFunction {

void WriteLog(const QString& text) {
    const QString line = QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat) +
                         QLatin1Char(' ') + text;
    if (modInitial::gDevLog)
        modInitial::gDevLog->append(line);
    if (modInitial::gDevLogPane)
        modInitial::gDevLogPane->setProperty("text", line);

    const QString path = modInitial::AppPath() + QStringLiteral("/log.txt");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        throw QvError(QvErrors::PathAccess, QStringLiteral("Path/File access error: ") + path);
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush())
        throw QvError(QvErrors::PathAccess, QStringLiteral("Path/File access error: ") + path);
}

void ShowDevelopLog() {
    if (const std::function<void()>& handler = showLogHandler())
        handler();
}

void SetShowDevelopLogHandler(std::function<void()> handler) {
    showLogHandler() = std::move(handler);
}

} // namespace modDevelopeFunction
