#pragma once
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <unistd.h>

namespace qvtest {

// Makes a file or folder read-only for this user, or writable again; as root, where the mode
// bits do not count, it makes it immutable. False when it cannot be made read-only here (then
// it is left writable).
inline bool setReadOnly(const QString& path, bool readOnly) {
    bool changed = false;
    if (::geteuid() != 0) {
        const QFile::Permissions writable = QFile::WriteOwner | QFile::WriteUser;
        const QFile::Permissions now = QFile::permissions(path);
        changed = QFile::setPermissions(path, readOnly ? now & ~writable : now | writable);
    } else {
        changed = QProcess::execute(QStringLiteral("chattr"),
                                    {readOnly ? QStringLiteral("+i") : QStringLiteral("-i"), path}) == 0;
    }
    if (!changed || !readOnly)
        return changed;
    const bool folder = QFileInfo(path).isDir();
    QFile probe(folder ? path + QStringLiteral("/.write-probe") : path);
    if (probe.open(folder ? QIODevice::WriteOnly : QIODevice::Append)) {
        probe.close();
        if (folder)
            probe.remove();
        setReadOnly(path, false);
        return false;
    }
    return true;
}

} // namespace qvtest
