#pragma once
#include "core/modDataFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "common/TestSupport.h"

// Rewrites one key of the global settings in the common data file `commonDat`.
inline void SetCommonGlobal(const QString& commonDat, const QString& key, const QString& value) {
    QString text = modDataFile::ReadEncryptedFile(commonDat);
    while (text.endsWith(QChar(0)))
        text.chop(1);
    const QString open = "<" + key + ">";
    const qsizetype from = text.indexOf(open) + open.size();
    const qsizetype to = text.indexOf("</" + key + ">");
    ASSERT_TRUE(from > 20 && to >= from) << key.toStdString();
    text.replace(from, to - from, value.toHtmlEscaped());
    modDataFile::WriteEncryptedFile(commonDat, text);
}

// A program folder of its own for the built QV (with QVUpdate and the data files), whose
// common data sends every request of the program to this machine, never to the maker's host.
class ProgramFolder {
public:
    ProgramFolder() {
        const QString build = qvtest::buildDir();
        QDir(dir.path()).mkpath("Data");
        for (const char* program : {"QV", "QVUpdate"}) {
            if (!QFile::exists(build + "/" + program))
                continue; // a build without the updater
            copy(build + "/" + program, path(program));
            QFile::setPermissions(path(program), QFile::permissions(build + "/" + program));
        }
        copy(build + "/Data/common.dat", path("Data/common.dat"));
        copy(build + "/Data/icon.dat", path("Data/icon.dat"));
        setGlobal("hostdomain", QStringLiteral("127.0.0.1:9"));
        setGlobal("urlgetuserid", QStringLiteral("http://127.0.0.1:9/id"));
        setGlobal("urlonlineupdatelist", QStringLiteral("http://127.0.0.1:9/filelist.xml"));
    }
    QString path(const QString& relative) const { return dir.filePath(relative); }

    // Rewrites one key of the common data's global settings.
    void setGlobal(const QString& key, const QString& value) {
        SetCommonGlobal(path("Data/common.dat"), key, value);
    }
    // Rewrites the common data with another maker's host for the statistics ping.
    void setHostDomain(const QString& host) { setGlobal("hostdomain", host); }

    // With `errorFile`, the standard error of QV (and of the programs it starts, which outlive
    // it) goes to that file instead of a pipe that closes when QV ends.
    QProcess* start(const QStringList& args, const QString& errorFile = QString()) {
        return startWith(args, {}, errorFile);
    }
    // The same, with the environment changed by `adjust` after the defaults are set.
    QProcess* startWith(const QStringList& args, const std::function<void(QProcessEnvironment&)>& adjust,
                        const QString& errorFile = QString()) {
        auto* p = new QProcess;
        if (!errorFile.isEmpty())
            p->setStandardErrorFile(errorFile);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QV_AUTOANSWER", "1");
        env.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
        env.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
        env.insert("XDG_CONFIG_HOME", path("config"));
        if (adjust)
            adjust(env);
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(dir.path());
        p->start(path("QV"), args);
        EXPECT_TRUE(p->waitForStarted(10000));
        processes.emplace_back(p);
        return p;
    }

    ~ProgramFolder() {
        for (auto& p : processes) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }

private:
    static void copy(const QString& from, const QString& to) {
        ASSERT_TRUE(QFile::copy(from, to)) << from.toStdString();
    }
    QTemporaryDir dir;
    std::vector<std::unique_ptr<QProcess>> processes;
};
