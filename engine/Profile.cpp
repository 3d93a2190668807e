// The profile is read once with QSettings and then held in memory. It is
// written by this file, not by QSettings: QSettings may rename a temporary
// file it could not fill over the profile (a full disk empties the profile),
// so the text goes through a QSaveFile whose every step is checked, and the
// old file is replaced only when all of them succeeded. The text is the INI
// form QSettings reads back to the same values.
//
// Another running copy may have written the file since it was read, so a
// write takes the lock beside the file (the one QSettings uses), reads the
// file as it is then and changes only the keys this process changed.
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
#include <QTimer>
#include <QVariant>

#include <cctype>
#include <cerrno>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include <sys/stat.h>

namespace {

struct ProfileData {
    QString path;
    // Values by key ("section/entry"), as read or written.
    std::map<QString, QVariant> values;
    // Keys this process changed since they last reached the file.
    std::set<QString> changed;
    // The file is not a regular file or cannot be read: defaults only.
    bool unusable = false;
    // The user was told that the settings could not be saved.
    bool toldNotSaved = false;
    // A write at the next idle moment of the event loop is pending.
    bool flushQueued = false;
};

// How long a write waits for another copy of the program to finish its own.
constexpr int kLockWaitMs = 5000;

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
    file.readAll();
    if (file.error() != QFileDevice::NoError)
        return FileState::Unreadable;
    const QSettings settings(path, QSettings::IniFormat);
    if (settings.status() == QSettings::AccessError)
        return FileState::Unreadable;
    for (const QString& key : settings.allKeys())
        values[key] = settings.value(key);
    return FileState::Read;
}

// Under the lock, the file as it is now with this process's changes applied;
// a file that cannot be read is never written over.
bool WriteChanges(const ProfileData& data)
{
    if (!QDir().mkpath(QFileInfo(data.path).absolutePath()))
        return false;
    QLockFile lock(data.path + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs))
        return false;
    std::map<QString, QVariant> current;
    const FileState state = ReadFile(data.path, current);
    if (state != FileState::Read && state != FileState::Missing)
        return false;
    for (const QString& key : data.changed)
        current[key] = data.values.at(key);
    return WriteWhole(data.path, IniText(current));
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
    Data() = std::move(data);
}

void CProfile::Close()
{
    Flush();
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
    const auto it = Data()->values.find(Key(section, entry));
    return it == Data()->values.end() ? nullptr : &it->second;
}

bool CProfile::HasProfileValue(const QString& section, const QString& entry)
{
    return Find(section, entry) != nullptr;
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
    const auto it = data->values.find(key);
    if (it != data->values.end() && it->second == wanted)
        return true;
    data->values[key] = wanted;
    data->changed.insert(key);
    QueueFlush(*data);
    return true;
}

bool CProfile::Flush()
{
    ProfileData* data = Data().get();
    if (!data || data->unusable)
        return false;
    if (data->changed.empty())
        return true;
    if (!WriteChanges(*data)) {
        if (!data->toldNotSaved)
            MessageBoxes().ShowMessage(QStringLiteral("The settings could not be saved to %1. "
                                                      "The file there is left as it was.")
                                           .arg(data->path));
        data->toldNotSaved = true;
        return false;
    }
    data->changed.clear();
    return true;
}
