#include "Profile.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

std::unique_ptr<QSettings>& CProfile::Instance()
{
    static std::unique_ptr<QSettings> settings;
    return settings;
}

QSettings* CProfile::Settings()
{
    return Instance().get();
}

void CProfile::SetRegistryKey(const QString& key)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    SetFilePath(QDir(folder).filePath(key + QLatin1Char('/') + key + QStringLiteral(".conf")));
}

void CProfile::SetFilePath(const QString& path)
{
    Close();
    Instance() = std::make_unique<QSettings>(path, QSettings::IniFormat);
}

void CProfile::Close()
{
    if (QSettings* s = Settings())
        s->sync();
    Instance().reset();
}

bool CProfile::IsOpen()
{
    return Settings() != nullptr;
}

QString CProfile::FilePath()
{
    QSettings* s = Settings();
    return s ? s->fileName() : QString();
}

// Sections become QSettings groups. QSettings stores a group named "General"
// as "[%General]" in the file to keep it apart from its own top-level section;
// it reads it back under the same name, so callers never see the difference.
QString CProfile::Key(const QString& section, const QString& entry)
{
    return section + QLatin1Char('/') + entry;
}

bool CProfile::HasProfileValue(const QString& section, const QString& entry)
{
    QSettings* s = Settings();
    return s && s->contains(Key(section, entry));
}

int CProfile::GetProfileInt(const QString& section, const QString& entry, int defaultValue)
{
    QSettings* s = Settings();
    if (!s)
        return defaultValue;
    const QVariant v = s->value(Key(section, entry));
    if (!v.isValid() || v.metaType().id() == QMetaType::QStringList)
        return defaultValue;
    bool ok = false;
    const int value = v.toString().trimmed().toInt(&ok, 10);
    return ok ? value : defaultValue;
}

QString CProfile::GetProfileString(const QString& section, const QString& entry, const QString& defaultValue)
{
    QSettings* s = Settings();
    if (!s)
        return defaultValue;
    const QVariant v = s->value(Key(section, entry));
    if (!v.isValid())
        return defaultValue;
    // Only a hand-edited file holds an unquoted comma, which QSettings reads as a list.
    if (v.metaType().id() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    return v.toString();
}

bool CProfile::WriteProfileInt(const QString& section, const QString& entry, int value)
{
    QSettings* s = Settings();
    if (!s || !s->isWritable())
        return false;
    s->setValue(Key(section, entry), value);
    return true;
}

bool CProfile::WriteProfileString(const QString& section, const QString& entry, const QString& value)
{
    QSettings* s = Settings();
    if (!s || !s->isWritable())
        return false;
    // An empty QString would be written as a null value and read back as missing.
    s->setValue(Key(section, entry), value.isNull() ? QString(QLatin1String("")) : value);
    return true;
}

bool CProfile::Flush()
{
    QSettings* s = Settings();
    if (!s)
        return false;
    s->sync();
    return s->status() == QSettings::NoError;
}
