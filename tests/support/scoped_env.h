#pragma once

#include <QByteArray>
#include <QtGlobal>

// Sets an environment variable (unsets it for a null value) for one test and puts the old value back.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : name_(name)
        , had_(qEnvironmentVariableIsSet(name))
        , old_(qgetenv(name))
    {
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    ~ScopedEnv() { had_ ? qputenv(name_, old_) : qunsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};
