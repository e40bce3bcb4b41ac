#pragma once
#include "core/modDataFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <vector>

#include "common/TestSupport.h"
#include <cstring>

// Starts the built program in a program folder of its own and looks at what it leaves there.
class ProgramFolder {
public:
    ProgramFolder() {
        const QString build = qvtest::buildDir();
        QDir(dir.path()).mkpath("Data");
        copy(build + "/QV", path("QV"));
        copy(build + "/Data/common.dat", path("Data/common.dat"));
        copy(build + "/Data/icon.dat", path("Data/icon.dat"));
        QFile::setPermissions(path("QV"), QFile::permissions(build + "/QV"));
        // The statistics ping of a normal start goes to this machine, never to the maker's host.
        setHostDomain(QStringLiteral("127.0.0.1:9"));
    }
    QString path(const QString& relative) const { return dir.filePath(relative); }

    // Rewrites the common data with another maker's host for the statistics ping.
    void setHostDomain(const QString& host) {
        QString text = modDataFile::ReadEncryptedFile(path("Data/common.dat"));
        while (text.endsWith(QChar(0)))
            text.chop(1);
        const qsizetype from = text.indexOf("<hostdomain>") + int(strlen("<hostdomain>"));
        const qsizetype to = text.indexOf("</hostdomain>");
        ASSERT_TRUE(from > 20 && to > from);
        text.replace(from, to - from, host);
        modDataFile::WriteEncryptedFile(path("Data/common.dat"), text);
    }

    // Starts QV with questions answered on stderr; `adjust` may change its environment further.
    QProcess* start(const QStringList& args, const std::function<void(QProcessEnvironment&)>& adjust = {}) {
        auto* p = new QProcess;
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

inline bool waitFor(const std::function<bool()>& condition, int ms = 30000) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (condition())
            return true;
        QThread::msleep(50);
    }
    return condition();
}

inline QString logText(const ProgramFolder& folder) {
    QFile f(folder.path("log.txt"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

inline ino_t inodeOf(const QString& path) {
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}
