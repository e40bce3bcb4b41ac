#pragma once
#include "platform/ShellService.h"

#include <QStringList>

// A shell service for tests: records what the program would have opened instead of opening it.
// Install it with ShellService::setInstance(&shell) and remove it with setInstance(nullptr).
class RecordingShell : public ShellService {
public:
    bool open(const QString& target) override {
        opened << target;
        return true;
    }
    bool showInFileManager(const QString& path) override {
        shown << path;
        return true;
    }
    QStringList opened;
    QStringList shown;
};
