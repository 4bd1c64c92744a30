#pragma once
// An environment variable set for a scope's life; the value it had (or its
// absence) comes back at the end.

#include <QByteArray>
#include <QtGlobal>

class TEnvironmentScope {
public:
    TEnvironmentScope(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
        qputenv(name, value);
    }
    ~TEnvironmentScope() {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    TEnvironmentScope(const TEnvironmentScope&) = delete;
    TEnvironmentScope& operator=(const TEnvironmentScope&) = delete;

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};
