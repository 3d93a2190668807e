// Points XDG_CONFIG_HOME at a fresh folder for the life of the object, so
// the program's profile starts empty and the user's is never touched.
#pragma once

#include "Profile.h"
#include "TestJpeg.h"

#include <QByteArray>
#include <QFile>
#include <QString>

class CScopedConfigHome {
public:
    CScopedConfigHome()
        : m_old(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(QString::fromStdString(m_dir.path().string())));
    }
    ~CScopedConfigHome()
    {
        CProfile::Close();
        if (m_old.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", m_old);
    }
    CScopedConfigHome(const CScopedConfigHome&) = delete;
    CScopedConfigHome& operator=(const CScopedConfigHome&) = delete;

private:
    testjpeg::TempDir m_dir;
    QByteArray m_old;
};
