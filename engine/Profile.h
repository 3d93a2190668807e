// The per-user profile: sections of named integer and string values below the
// application's key, kept in an INI file that QSettings reads
// (~/.config/<key>/<key>.conf, honouring XDG_CONFIG_HOME). The values are
// held in memory. A change reaches the file when the event loop is next idle,
// or at once by Flush (after OK in a dialog) and Close. A write changes only
// the keys this process changed in the file as it is then, so two running
// copies keep each other's changes, and replaces the old file only when the
// new one is complete; afterwards the values read are the file's as
// written. A file that cannot be written is left as it was and the user is
// told once, until a write succeeds again. A path that is not a regular
// file (a FIFO, a folder) is never opened; neither it nor a file that
// cannot be read is ever written: defaults, a message, no writes.
//
// Until a key or a file is set, reads return their defaults and writes fail,
// so nothing touches the disk before start-up has chosen the profile.
// A value that exists but is empty stays distinct from a missing one: a read
// of an empty string gives "", a read of a missing value gives the default.
#pragma once

#include "TextUtil.h"

#include <QString>

#include <functional>

class QVariant;

class CProfile {
public:
    // Opens the profile of the named key in the user's configuration folder.
    static void SetRegistryKey(const QString& key);
    // Opens an explicit INI file instead (tests, portable set-ups).
    static void SetFilePath(const QString& path);
    // Writes pending changes (Flush) and forgets the profile; reads fall back
    // to defaults.
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

    // A value that holds a list other running copies change too: `merge`
    // applies this process's own change to the value the file holds at the
    // moment of writing (null when it holds none). The value read here is
    // the merge applied to the value as last read.
    using Merge = std::function<QString(const QString* theirs)>;
    static bool WriteProfileMerge(const QString& section, const QString& entry, const Merge& merge);
    // Reads one value again from the file as it is now, with this process's
    // own pending change applied to it.
    static void Refresh(const QString& section, const QString& entry);

    // Writes this process's pending changes to disk; false when the file
    // could not be written (the old file is then untouched) or while the
    // user is being told so. While another copy holds the file's lock
    // nothing waits: the write is tried again from a timer, less often as
    // it goes on; after a few seconds the user hears of it once, and then
    // only a new change tries again for a while, and Close waits a bounded
    // time for it.
    static bool Flush();

private:
    static const QVariant* Find(const QString& section, const QString& entry);
    static QString Key(const QString& section, const QString& entry);
};

// A list kept in one profile value that other running copies change too
// (the macros, the crop presets). A write stores this copy's list as it
// stands, with what other copies changed in the file's list since this copy
// last read or wrote it folded in (MergeIntoMine).
class CProfileList {
public:
    using Split = std::function<std::vector<NamedEntry>(const QString& text)>;
    using Join = std::function<QString(const std::vector<NamedEntry>& entries)>;
    CProfileList(QString section, QString entry, Split split, Join join);

    // The list as the file holds it now; `missing` when it holds none.
    QString Load(const QString& missing);
    // `mine` (when it `changed` the list last read or written) with what
    // other copies changed in the file since; `mine` itself when the list
    // was never read. The file's list becomes the one last read, so the
    // changes of `mine` are still to be saved.
    QString Refresh(const QString& mine, bool changed, const QString& missing);
    // The list as last read or written.
    const QString& Stored() const { return m_stored; }
    // Writes the changes `mine` made to the list last read or written;
    // returns the list as this copy now holds it.
    QString Save(const QString& mine, const QString& missing);

private:
    QString m_section;
    QString m_entry;
    Split m_split;
    Join m_join;
    QString m_stored;
    bool m_loaded = false;
};
