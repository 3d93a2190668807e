// Sets an environment variable for the life of the object and restores the
// previous value (or its absence) afterwards.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

class CScopedEnv {
public:
    CScopedEnv(const char* name, const QString& value)
        : m_name(name)
        , m_old(qgetenv(name))
    {
        qputenv(name, QFile::encodeName(value));
    }
    ~CScopedEnv()
    {
        if (m_old.isNull())
            qunsetenv(m_name);
        else
            qputenv(m_name, m_old);
    }
    CScopedEnv(const CScopedEnv&) = delete;
    CScopedEnv& operator=(const CScopedEnv&) = delete;

private:
    const char* m_name;
    QByteArray m_old;
};
