// The per-user profile: sections of named integer and string values below the
// application's key, kept by QSettings in an INI file
// (~/.config/<key>/<key>.conf, honouring XDG_CONFIG_HOME).
//
// Until a key or a file is set, reads return their defaults and writes fail,
// so nothing touches the disk before start-up has chosen the profile.
// A value that exists but is empty stays distinct from a missing one: a read
// of an empty string gives "", a read of a missing value gives the default.
#pragma once

#include <QString>

#include <memory>

class QSettings;

class CProfile {
public:
    // Opens the profile of the named key in the user's configuration folder.
    static void SetRegistryKey(const QString& key);
    // Opens an explicit INI file instead (tests, portable set-ups).
    static void SetFilePath(const QString& path);
    // Writes pending changes and forgets the profile; reads fall back to defaults.
    static void Close();

    static bool IsOpen();
    static QString FilePath();

    // A missing entry, or one that is not a whole decimal 32-bit number, gives defaultValue.
    static int GetProfileInt(const QString& section, const QString& entry, int defaultValue);
    static QString GetProfileString(const QString& section, const QString& entry,
                                    const QString& defaultValue = QString());
    static bool HasProfileValue(const QString& section, const QString& entry);

    // Both return false when no profile is open or the file cannot be written.
    static bool WriteProfileInt(const QString& section, const QString& entry, int value);
    static bool WriteProfileString(const QString& section, const QString& entry, const QString& value);

    // Writes pending changes to disk; false when the file could not be written.
    static bool Flush();

private:
    static QSettings* Settings();
    static std::unique_ptr<QSettings>& Instance();
    static QString Key(const QString& section, const QString& entry);
};
