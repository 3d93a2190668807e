// The trash: moving a file to the user's trash, checked for what Qt really
// did with it.
#include "FileOperation.h"

#include "FileEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

// A trash folder's "files" folder holds what was trashed; its sibling "info"
// holds one .trashinfo per file. The folder itself is "Trash" under the data
// home, or ".Trash-<uid>" or ".Trash/<uid>" at the top of a mount.
bool IsInsideTrash(const QString& trashedPath)
{
    const QFileInfo file(trashedPath);
    const QDir files = file.dir();
    if (files.dirName() != QLatin1String("files"))
        return false;
    QDir trash = files;
    if (!trash.cdUp())
        return false;
    const QString name = trash.dirName();
    QDir parent = trash;
    parent.cdUp();
    const bool trashName = name == QLatin1String("Trash") || name.startsWith(QLatin1String(".Trash-"))
        || parent.dirName() == QLatin1String(".Trash");
    return trashName && QFileInfo::exists(trash.filePath(QStringLiteral("info/") + file.fileName() + QStringLiteral(".trashinfo")));
}

// Makes the user's data folder, where the home trash lives, when it is
// missing (QFile::moveToTrash will not); each missing level gets mode 0700.
void EnsureDataHome()
{
    QString home = QFile::decodeName(qgetenv("XDG_DATA_HOME"));
    if (!QDir::isAbsolutePath(home))
        home = QDir::homePath() + QStringLiteral("/.local/share");
    QString level;
    for (const QString& part : home.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        level += QLatin1Char('/') + part;
        ::mkdir(fileop::Native(level).constData(), 0700);
    }
}

} // namespace

bool MoveFileToTrash(const QString& path, QString* trashedPath)
{
    EnsureDataHome();
    QString where;
    if (!QFile::moveToTrash(path, &where))
        return false;
    if (IsInsideTrash(where)) {
        if (trashedPath)
            *trashedPath = where;
        return true;
    }
    // Qt made a "files" folder of its own somewhere that is no trash: the
    // file goes back, and the stray record with it.
    if (!where.isEmpty() && fileop::RenameNoReplace(fileop::Native(where), fileop::Native(path)) == 0) {
        const QFileInfo moved(where);
        QDir trash = moved.dir();
        trash.cdUp();
        QFile::remove(trash.filePath(QStringLiteral("info/") + moved.fileName() + QStringLiteral(".trashinfo")));
        // The folders it made go too, when nothing else is in them.
        trash.rmdir(QStringLiteral("files"));
        trash.rmdir(QStringLiteral("info"));
    }
    return false;
}
