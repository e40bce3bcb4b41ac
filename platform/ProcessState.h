#pragma once
#include <QtGlobal>

// Whether the process with this identifier still runs. A process that has ended but whose
// parent has not collected it yet counts as ended.
bool IsProcessRunning(qint64 pid);
