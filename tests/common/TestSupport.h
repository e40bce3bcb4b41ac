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
} // namespace qvtest
