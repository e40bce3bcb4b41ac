#pragma once
#include <QByteArray>
#include <QString>

namespace qvtest {
// Build tree of the project (the runnable program folder); set by CTest, else the test's own folder's parent.
QString buildDir();
// Source tree of the project.
QString sourceDir();
QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);
// Makes a folder read-only, or writable again, for this user; as root, where the mode bits do not
// count, it makes the folder immutable. False when the folder cannot be made read-only here.
bool setFolderReadOnly(const QString& path, bool readOnly);
} // namespace qvtest
