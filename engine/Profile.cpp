// The profile is read once with QSettings and then held in memory. It is
// written by this file, not by QSettings: QSettings may rename a temporary
// file it could not fill over the profile (a full disk empties the profile),
// so the text goes through a QSaveFile whose every step is checked, and the
// old file is replaced only when all of them succeeded. The text is the INI
// form QSettings reads back to the same values.
//
// Another running copy may have written the file since it was read, so a
// write takes the lock beside the file (the one QSettings uses), reads the
// file as it is then and changes only the keys this process changed; list
// values are merged into the file's list by the writer's own rule. The
// writes run on the UI thread, so the lock is only ever tried: while another
// copy holds it the write is tried again from a timer, and only the last
// write at exit waits, and for a bounded time. An empty lock is taken for
// dead only at QLockFile's stale age (kStaleLock).
#include "Profile.h"

#include "MessageBoxes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <QVariant>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct ProfileData {
    QString path;
    // Values by key ("section/entry"): the file as this process last read or
    // wrote it, with its own changes since.
    std::map<QString, QVariant> values;
    // Per key, the value this process last gave a reader or was given by a
    // writer: a write of that same value changes nothing of its own, even
    // when the file holds another copy's value by now.
    std::map<QString, QVariant> seen;
    // Keys this process changed since they last reached the file, each with
    // the rule that applies the change to the file's value (none: replace it).
    std::map<QString, CProfile::Merge> changed;
    // The file is not a regular file or cannot be read: defaults only.
    bool unusable = false;
    // The user was told that the settings could not be saved, or that
    // another copy keeps the lock, since the last write that succeeded.
    bool toldNotSaved = false;
    bool toldBusy = false;
    // A message about the writes is open: its event loop runs the idle
    // writes, which wait until it is closed.
    bool telling = false;
    // Another copy held the lock at every try since then (zero: it did not).
    std::chrono::steady_clock::time_point busySince;
    // The first try since this process last changed a value that found the
    // lock held (zero: none did).
    std::chrono::steady_clock::time_point busySinceChange;
    // A write at the next idle moment of the event loop is pending.
    bool flushQueued = false;
    // Another copy held the lock: the write is tried again after retryMs.
    bool retryQueued = false;
    int retryMs = 0;
};

// QLockFile creates its lock file before it takes the flock that marks it
// held, and fills it after: an empty lock whose flock is free may belong to
// a live copy stopped between the two calls. It is taken for dead (and
// removed by QLockFile, which takes its flock first) only at this age, the
// toolkit's own for a lock whose owner it cannot read.
constexpr auto kStaleLock = std::chrono::seconds(30);
// The user hears when another copy has kept the lock this long; once told,
// the retries stop after this long from the last change.
constexpr auto kBusyTell = std::chrono::seconds(5);
// Another copy holds the lock for one read and write of the file: the waits
// between tries while it does.
constexpr int kFirstRetryMs = 20;
constexpr int kLastRetryMs = 1000;
// The write at exit waits this long for another copy at most.
constexpr auto kExitWait = std::chrono::seconds(3);

std::unique_ptr<ProfileData>& Data()
{
    static std::unique_ptr<ProfileData> data;
    return data;
}

void AppendHex(QByteArray& out, uint value)
{
    out += "\\x";
    out += QByteArray::number(value, 16);
}

// A key or section name: letters, digits and "-_." as they are, "/" as "\",
// anything else as %XX or %UXXXX.
QByteArray EscapedKey(const QString& key)
{
    QByteArray out;
    for (const QChar c : key) {
        const ushort ch = c.unicode();
        if (ch == '/')
            out += '\\';
        else if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '-'
                 || ch == '_' || ch == '.')
            out += static_cast<char>(ch);
        else if (ch <= 0xFF)
            out += '%' + QByteArray::number(ch, 16).rightJustified(2, '0').toUpper();
        else
            out += "%U" + QByteArray::number(ch, 16).rightJustified(4, '0').toUpper();
    }
    return out;
}

// A string value: control characters, quotes and backslashes escaped, in
// quotes when it holds a separator or starts or ends with a space.
void AppendEscapedString(QByteArray& out, const QString& text)
{
    QByteArray body;
    bool quote = false;
    // After a \x or \0 escape a following hex digit would be read as part of
    // it, so it is escaped too.
    bool escapeHexDigit = false;
    for (const QChar c : text) {
        const ushort ch = c.unicode();
        if (ch == ';' || ch == ',' || ch == '=')
            quote = true;
        if (escapeHexDigit && ch < 0x80 && std::isxdigit(ch)) {
            AppendHex(body, ch);
            continue;
        }
        escapeHexDigit = false;
        switch (ch) {
        case 0:
            body += "\\0";
            escapeHexDigit = true;
            break;
        case '\a': body += "\\a"; break;
        case '\b': body += "\\b"; break;
        case '\f': body += "\\f"; break;
        case '\n': body += "\\n"; break;
        case '\r': body += "\\r"; break;
        case '\t': body += "\\t"; break;
        case '\v': body += "\\v"; break;
        case '"':
        case '\\':
            body += '\\';
            body += static_cast<char>(ch);
            break;
        default:
            // QSettings drops a byte order mark written as it is.
            if (ch < 0x20 || ch == 0x7F || c.isSurrogate() || ch == 0xFEFF) {
                AppendHex(body, ch);
                escapeHexDigit = true;
            } else if (ch < 0x80) {
                body += static_cast<char>(ch);
            } else {
                body += QString(c).toUtf8();
            }
        }
    }
    if (quote || body.startsWith(' ') || body.endsWith(' '))
        out += '"' + body + '"';
    else
        out += body;
}

void AppendValue(QByteArray& out, const QVariant& value)
{
    if (value.metaType().id() == QMetaType::QStringList) {
        const QStringList items = value.toStringList();
        if (items.isEmpty())
            out += "@Invalid()";
        for (qsizetype i = 0; i < items.size(); ++i) {
            if (i > 0)
                out += ", ";
            AppendEscapedString(out, items[i]);
        }
        return;
    }
    const QString text = value.toString();
    AppendEscapedString(out, text.startsWith(u'@') ? u'@' + text : text);
}

// The whole file: keys without a section under [General] (how QSettings
// reads them back), a section named General as [%General].
QByteArray IniText(const std::map<QString, QVariant>& values)
{
    std::map<QString, std::vector<std::pair<QString, const QVariant*>>> sections;
    for (const auto& [key, value] : values) {
        const qsizetype slash = key.indexOf(u'/');
        sections[slash < 0 ? QString() : key.left(slash)].emplace_back(slash < 0 ? key : key.mid(slash + 1), &value);
    }
    QByteArray out;
    for (const auto& [section, entries] : sections) {
        if (!out.isEmpty())
            out += '\n';
        out += '[' + (section.isEmpty() ? QByteArray("General") : section == u"General" ? QByteArray("%General") : EscapedKey(section)) + "]\n";
        for (const auto& [entry, value] : entries) {
            out += EscapedKey(entry) + '=';
            AppendValue(out, *value);
            out += '\n';
        }
    }
    return out;
}

// Writes `text` as the file at `path`, replacing it only when every step
// succeeded.
bool WriteWhole(const QString& path, const QByteArray& text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(text) != text.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

enum class FileState { Missing, Read, NotRegular, Unreadable };

// Parses INI text with QSettings into `values`; false when it cannot be read.
// QSettings keeps what it parsed per path and takes it again while the
// file's size and time stay, and it may note the size and time of a file
// another copy made or replaced after it looked: a later read would give the
// old values, and a write would drop that copy's changes. So the text read
// here is parsed from a copy in memory whose time is this read's own; where
// the system has no such copy, from the file itself.
bool ParseIni(const QString& path, const QByteArray& text, std::map<QString, QVariant>& values)
{
    static std::atomic<long> reads{0};
    const int fd = ::memfd_create("settings", MFD_CLOEXEC);
    const QString copy = QStringLiteral("/proc/self/fd/%1").arg(fd);
    QFile writer;
    const timespec times[2] = {{0, UTIME_OMIT}, {++reads, 0}};
    const bool copied = fd >= 0 && writer.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle)
        && writer.write(text) == text.size() && writer.flush() && ::futimens(fd, times) == 0
        && QFileInfo::exists(copy);
    const QSettings settings(copied ? copy : path, QSettings::IniFormat);
    for (const QString& key : settings.allKeys())
        values[key] = settings.value(key);
    if (fd >= 0)
        ::close(fd);
    return settings.status() != QSettings::AccessError;
}

// Reads the file at `path` into `values`. QSettings takes a file it cannot
// read as empty, so the file is read here first; only a regular file is
// opened (a FIFO would wait for ever).
FileState ReadFile(const QString& path, std::map<QString, QVariant>& values)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT ? FileState::Missing : FileState::Unreadable;
    if (!S_ISREG(st.st_mode))
        return FileState::NotRegular;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return FileState::Unreadable;
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return FileState::Unreadable;
    return ParseIni(path, text, values) ? FileState::Read : FileState::Unreadable;
}

enum class WriteResult { Written, Busy, Failed };

// Whether the lock file at `path` can serve: it is missing or a regular file
// this process can read (QLockFile would take a folder for a held lock and
// wait for ever).
bool LockIsUsable(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0)
        return errno == ENOENT;
    if (!S_ISREG(st.st_mode))
        return false;
    // Its owner may have let it go since: then it is missing.
    return ::access(name.constData(), R_OK) == 0 || errno == ENOENT;
}

// Under the lock, the file as it is now with this process's changes applied;
// a file that cannot be read is never written over. Busy when another copy
// holds the lock; nothing waits for it.
WriteResult WriteChanges(ProfileData& data)
{
    if (!QDir().mkpath(QFileInfo(data.path).absolutePath()))
        return WriteResult::Failed;
    const QString lockPath = data.path + QStringLiteral(".lock");
    if (!LockIsUsable(lockPath))
        return WriteResult::Failed;
    QLockFile lock(lockPath);
    lock.setStaleLockTime(std::chrono::duration_cast<std::chrono::milliseconds>(kStaleLock));
    if (!lock.tryLock(0))
        return lock.error() == QLockFile::LockFailedError ? WriteResult::Busy : WriteResult::Failed;
    std::map<QString, QVariant> current;
    const FileState state = ReadFile(data.path, current);
    if (state != FileState::Read && state != FileState::Missing)
        return WriteResult::Failed;
    for (const auto& [key, merge] : data.changed) {
        if (!merge) {
            current[key] = data.values.at(key);
            continue;
        }
        const auto it = current.find(key);
        const QString theirs = it == current.end() ? QString() : it->second.toString();
        current[key] = merge(it == current.end() ? nullptr : &theirs);
    }
    if (!WriteWhole(data.path, IniText(current)))
        return WriteResult::Failed;
    // From now on this process compares with the file as written.
    for (const auto& change : data.changed)
        data.seen[change.first] = current[change.first];
    data.values = std::move(current);
    data.changed.clear();
    return WriteResult::Written;
}

void QueueRetry(ProfileData& data)
{
    if (data.retryQueued || !QCoreApplication::instance())
        return;
    data.retryQueued = true;
    data.retryMs = data.retryMs == 0 ? kFirstRetryMs : std::min(2 * data.retryMs, kLastRetryMs);
    QTimer::singleShot(data.retryMs, QCoreApplication::instance(), [] {
        if (ProfileData* current = Data().get()) {
            current->retryQueued = false;
            CProfile::Flush();
        }
    });
}

// Writes the changes once the event loop has nothing else to do; the writes
// made until then go in the same file.
void QueueFlush(ProfileData& data)
{
    if (data.flushQueued || !QCoreApplication::instance())
        return;
    data.flushQueued = true;
    QTimer::singleShot(0, QCoreApplication::instance(), [] {
        if (ProfileData* current = Data().get()) {
            current->flushQueued = false;
            CProfile::Flush();
        }
    });
}

// Says `text` once until a write succeeds again. The message's own event
// loop runs the idle writes: they neither try the file nor say it again
// while it is open, and what they left is written once it is closed.
void TellOnce(ProfileData& data, bool ProfileData::*told, const QString& text)
{
    if (data.*told)
        return;
    data.*told = true;
    data.telling = true;
    MessageBoxes().ShowMessage(text);
    if (Data().get() != &data)
        return; // the profile was closed meanwhile
    data.telling = false;
    if (!data.changed.empty())
        QueueFlush(data);
}

void TellNotSaved(ProfileData& data)
{
    // A write that failed never touched the file: one there now was there before.
    struct stat st {};
    const bool fileThere = ::lstat(QFile::encodeName(data.path).constData(), &st) == 0;
    TellOnce(data, &ProfileData::toldNotSaved,
             QStringLiteral("The settings could not be saved to %1.").arg(data.path)
                 + (fileThere ? QStringLiteral(" The file there is left as it was.") : QString()));
}

void TellBusy(ProfileData& data)
{
    TellOnce(data, &ProfileData::toldBusy,
             QStringLiteral("The settings cannot be saved to %1 for now: another running copy keeps the file's "
                            "lock (%1.lock). They are saved once it lets go, at the next change of a setting "
                            "or when the program ends.")
                 .arg(data.path));
}

// A change of this process's own: the writes start over, quickly at first.
void Changed(ProfileData& data)
{
    data.retryMs = 0;
    data.busySinceChange = {};
    QueueFlush(data);
}

} // namespace

void CProfile::SetRegistryKey(const QString& key)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    SetFilePath(QDir(folder).filePath(key + QLatin1Char('/') + key + QStringLiteral(".conf")));
}

void CProfile::SetFilePath(const QString& path)
{
    Close();
    auto data = std::make_unique<ProfileData>();
    data->path = QFileInfo(path).absoluteFilePath();
    const FileState state = ReadFile(data->path, data->values);
    if (state == FileState::NotRegular || state == FileState::Unreadable) {
        data->unusable = true;
        data->values.clear();
        MessageBoxes().ShowMessage(QStringLiteral("The settings file %1 %2. "
                                                  "The default settings are used and nothing is saved.")
                                       .arg(data->path, state == FileState::NotRegular
                                                            ? QStringLiteral("is not a regular file")
                                                            : QStringLiteral("cannot be read")));
    }
    data->seen = data->values;
    Data() = std::move(data);
}

void CProfile::Close()
{
    ProfileData* data = Data().get();
    if (data && !data->unusable && !data->changed.empty()) {
        // The last chance to write: wait for another copy, but not for ever.
        const auto until = std::chrono::steady_clock::now() + kExitWait;
        WriteResult result = WriteChanges(*data);
        while (result == WriteResult::Busy && std::chrono::steady_clock::now() < until) {
            QThread::msleep(kFirstRetryMs);
            result = WriteChanges(*data);
        }
        if (result != WriteResult::Written)
            TellNotSaved(*data);
    }
    Data().reset();
}

bool CProfile::IsOpen()
{
    return Data() != nullptr;
}

QString CProfile::FilePath()
{
    return Data() ? Data()->path : QString();
}

// Sections become QSettings groups. QSettings stores a group named "General"
// as "[%General]" in the file to keep it apart from its own top-level section;
// it reads it back under the same name, so callers never see the difference.
QString CProfile::Key(const QString& section, const QString& entry)
{
    return section + QLatin1Char('/') + entry;
}

const QVariant* CProfile::Find(const QString& section, const QString& entry)
{
    if (!Data())
        return nullptr;
    const QString key = Key(section, entry);
    const auto it = Data()->values.find(key);
    if (it == Data()->values.end())
        return nullptr;
    Data()->seen[key] = it->second;
    return &it->second;
}

bool CProfile::HasProfileValue(const QString& section, const QString& entry)
{
    return Data() && Data()->values.count(Key(section, entry)) != 0;
}

int CProfile::GetProfileInt(const QString& section, const QString& entry, int defaultValue)
{
    const QVariant* v = Find(section, entry);
    if (!v || !v->isValid() || v->metaType().id() == QMetaType::QStringList)
        return defaultValue;
    bool ok = false;
    const int value = v->toString().trimmed().toInt(&ok, 10);
    return ok ? value : defaultValue;
}

QString CProfile::GetProfileString(const QString& section, const QString& entry, const QString& defaultValue)
{
    const QVariant* v = Find(section, entry);
    if (!v || !v->isValid())
        return defaultValue;
    // Only a hand-edited file holds an unquoted comma, which QSettings reads as a list.
    if (v->metaType().id() == QMetaType::QStringList)
        return v->toStringList().join(QStringLiteral(", "));
    return v->toString();
}

bool CProfile::WriteProfileInt(const QString& section, const QString& entry, int value)
{
    return WriteProfileString(section, entry, QString::number(value));
}

bool CProfile::WriteProfileString(const QString& section, const QString& entry, const QString& value)
{
    ProfileData* data = Data().get();
    if (!data || data->unusable)
        return false;
    const QString key = Key(section, entry);
    const QVariant wanted(value.isNull() ? QString(QLatin1String("")) : value);
    // Not this process's change: what it last read or wrote there.
    const auto seen = data->seen.find(key);
    if (seen != data->seen.end() && seen->second == wanted && !data->changed.count(key))
        return true;
    data->values[key] = wanted;
    data->seen[key] = wanted;
    data->changed[key] = Merge();
    Changed(*data);
    return true;
}

bool CProfile::WriteProfileMerge(const QString& section, const QString& entry, const Merge& merge)
{
    ProfileData* data = Data().get();
    if (!data || data->unusable || !merge)
        return false;
    const QString key = Key(section, entry);
    const auto it = data->values.find(key);
    const QString mine = it == data->values.end() ? QString() : it->second.toString();
    data->values[key] = merge(it == data->values.end() ? nullptr : &mine);
    data->seen[key] = data->values[key];
    const auto pending = data->changed.find(key);
    if (pending == data->changed.end())
        data->changed[key] = merge;
    else if (pending->second)
        pending->second = [first = pending->second, merge](const QString* theirs) {
            const QString once = first(theirs);
            return merge(&once);
        };
    // After a plain write the value as it stands is this process's own.
    Changed(*data);
    return true;
}

void CProfile::Refresh(const QString& section, const QString& entry)
{
    ProfileData* data = Data().get();
    if (!data || data->unusable)
        return;
    std::map<QString, QVariant> current;
    const FileState state = ReadFile(data->path, current);
    if (state != FileState::Read && state != FileState::Missing)
        return;
    const QString key = Key(section, entry);
    const auto pending = data->changed.find(key);
    if (pending != data->changed.end() && !pending->second)
        return;
    const auto it = current.find(key);
    if (pending != data->changed.end()) {
        const QString theirs = it == current.end() ? QString() : it->second.toString();
        data->values[key] = pending->second(it == current.end() ? nullptr : &theirs);
    } else if (it != current.end()) {
        data->values[key] = it->second;
    } else {
        data->values.erase(key);
    }
}

bool CProfile::Flush()
{
    ProfileData* data = Data().get();
    if (!data || data->unusable || data->telling)
        return false;
    if (data->changed.empty())
        return true;
    const auto now = std::chrono::steady_clock::now();
    switch (WriteChanges(*data)) {
    case WriteResult::Written:
        data->retryMs = 0;
        data->busySince = data->busySinceChange = {};
        data->toldNotSaved = data->toldBusy = false;
        return true;
    case WriteResult::Busy: {
        // Not a failure: the changes are kept and written on a later try.
        // Once the user has heard of it the tries stop until the next change
        // (or the write at exit): a copy stopped for good would be tried for
        // ever.
        if (data->busySince == std::chrono::steady_clock::time_point())
            data->busySince = now;
        if (data->busySinceChange == std::chrono::steady_clock::time_point())
            data->busySinceChange = now;
        const bool tell = now - data->busySince >= kBusyTell;
        if (!(data->toldBusy || tell) || now - data->busySinceChange < kBusyTell)
            QueueRetry(*data);
        if (tell)
            TellBusy(*data); // once; the profile may be closed when it returns
        return true;
    }
    case WriteResult::Failed:
        break;
    }
    TellNotSaved(*data);
    return false;
}

CProfileList::CProfileList(QString section, QString entry, Split split, Join join)
    : m_section(std::move(section))
    , m_entry(std::move(entry))
    , m_split(std::move(split))
    , m_join(std::move(join))
{
}

QString CProfileList::Load(const QString& missing)
{
    CProfile::Refresh(m_section, m_entry);
    m_stored = CProfile::HasProfileValue(m_section, m_entry) ? CProfile::GetProfileString(m_section, m_entry) : missing;
    m_loaded = true;
    return m_stored;
}

QString CProfileList::Refresh(const QString& mine, bool changed, const QString& missing)
{
    if (!m_loaded)
        return mine;
    if (!changed)
        return Load(missing);
    // The file's list becomes the one last read: what this copy changed
    // before stays a change of its own, to be written by the next Save.
    const QString base = m_stored;
    return m_join(MergeIntoMine(m_split(base), m_split(mine), m_split(Load(missing))));
}

QString CProfileList::Save(const QString& mine, const QString& missing)
{
    if (m_loaded && mine == m_stored)
        return mine;
    // A list never read from the profile is this copy's own as a whole.
    const CProfile::Merge merge = [loaded = m_loaded, base = m_split(m_stored), ours = m_split(mine),
                                   split = m_split, join = m_join, missing, mine](const QString* theirs) {
        return loaded ? join(MergeIntoMine(base, ours, split(theirs ? *theirs : missing))) : mine;
    };
    if (!CProfile::WriteProfileMerge(m_section, m_entry, merge))
        return mine;
    m_stored = CProfile::GetProfileString(m_section, m_entry);
    m_loaded = true;
    return m_stored;
}
