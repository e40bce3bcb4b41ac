#include "platform/ProcessState.h"

#include <QByteArray>
#include <QFile>
#include <cerrno>
#include <csignal>

bool IsProcessRunning(qint64 pid) {
    if (pid <= 0 || pid > 0x7fffffff)
        return false;
    if (::kill(pid_t(pid), 0) != 0 && errno != EPERM)
        return false;
    // The state follows the command name in parentheses, which may itself hold blanks and
    // parentheses: it is the field after the last ')'.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.read(1024);
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0 || close + 2 >= line.size())
        return true;
    const char state = line.at(close + 2);
    return state != 'Z' && state != 'X' && state != 'x';
}
