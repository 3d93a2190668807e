#include "FileNames.h"

#include "FolderScan.h"

#include <QFile>

#include <sys/stat.h>

namespace {

// Candidates a unique name tries before it gives up.
constexpr int kMaxUniqueTries = 100000;

// Cuts a suffix (and the number after it) that an earlier unique name left
// at the end of `base`. An occurrence at the very start is the whole name
// and stays; one followed by other text is part of the name and stays.
QString RemoveEarlierSuffix(const QString& base, const QString& suffix)
{
    qsizetype pos = base.indexOf(suffix);
    while (pos >= 0) {
        if (pos > 0) {
            const qsizetype rest = pos + suffix.size();
            bool digitsOnly = true;
            for (qsizetype i = rest; i < base.size() && digitsOnly; ++i)
                digitsOnly = base[i] >= QLatin1Char('0') && base[i] <= QLatin1Char('9');
            if (digitsOnly)
                return base.left(pos);
        }
        pos = base.indexOf(suffix, pos + suffix.size());
    }
    return base;
}

} // namespace

bool IsUsablePath(const QString& path)
{
    return !path.isEmpty() && !path.contains(QChar(0));
}

bool HasJpegExtension(const QString& path)
{
    return IsJpegFileName(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
}

bool FileExists(const QString& path)
{
    if (!IsUsablePath(path))
        return false;
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

QString EnsureJpgExtension(const QString& path)
{
    if (path.isEmpty())
        return path;
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (dot > slash) {
        const QString extension = path.mid(dot).toLower();
        if (extension == QLatin1String(".jpg") || extension == QLatin1String(".jpeg"))
            return path;
    }
    return path + QLatin1String(".jpg");
}

QString MakeUniqueFileName(const QString& name, const QString& folder, const QString& suffix)
{
    if (suffix.isEmpty())
        return name;
    if (name.contains(QChar(0)) || folder.contains(QChar(0)) || suffix.contains(QChar(0)))
        return QString();
    QString safeSuffix = suffix;
    safeSuffix.replace(QLatin1Char('/'), QLatin1Char('_'));

    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot >= 0 ? name.mid(dot) : QString();
    const QString base = RemoveEarlierSuffix(dot >= 0 ? name.left(dot) : name, safeSuffix);

    QString prefix = folder;
    if (!prefix.isEmpty() && !prefix.endsWith(QLatin1Char('/')))
        prefix += QLatin1Char('/');

    QString candidate = base + safeSuffix + extension;
    for (int n = 1; n <= kMaxUniqueTries; ++n) {
        if (!FileExists(prefix + candidate) && !FileExists(EnsureJpgExtension(prefix + candidate)))
            return candidate;
        candidate = base + safeSuffix + QString::number(n) + extension;
    }
    return QString();
}

QString MakeUniquePath(const QString& path, const QString& suffix)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = path.left(slash + 1); // with its "/"; empty for a bare name
    const QString name = MakeUniqueFileName(path.mid(slash + 1), folder, suffix);
    return name.isEmpty() ? QString() : folder + name;
}
