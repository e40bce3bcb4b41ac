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
// A small document whose internal subset nests entities ten deep ("billion laughs"): expanded,
// its one attribute would take gigabytes.
QString entityExpansionDocument();
// A field of /proc/<pid>/status in MiB (VmRSS, VmHWM, ...); 0 = this process. -1 when unknown.
qint64 processMemoryMiB(qint64 pid, const char* field);
} // namespace qvtest
