#pragma once
#include <QByteArray>
#include <QtGlobal>
#include <optional>

// Sets (or, with no value, removes) an environment variable for the scope of a test and puts
// the old state back afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<QByteArray>& value) : mName(name) {
        if (qEnvironmentVariableIsSet(name))
            mOld = qgetenv(name);
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ~ScopedEnv() {
        if (mOld)
            qputenv(mName, *mOld);
        else
            qunsetenv(mName);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* mName;
    std::optional<QByteArray> mOld;
};
