// The file operations' view of the file system, shared by the walk, the
// temporaries and the trash (not for use outside FileOperation*.cpp and
// File*.cpp of this folder).
//
// An entry is reached through the folder that holds it: a descriptor of that
// folder and the entry's name in it, so that what was checked is what is
// used, whatever happens to the path meanwhile. Paths below the selected ones
// are the file system's bytes (a name that is no text in the locale must
// survive); they are spelt out for messages only, and only then, so a walk
// thousands of folders deep holds one name per folder, not one path.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

#include <sys/stat.h>
#include <unistd.h>

namespace fileop {

QByteArray Native(const QString& path);
// Decodes the file system's bytes for messages.
QString Shown(const QByteArray& path);
QByteArray Join(const QByteArray& folder, const QByteArray& name);
QByteArray BaseName(const QByteArray& path);
QByteArray FolderOf(const QByteArray& path);
QString ErrnoText(int error);
// `lines`, each on a line of its own, the first kNamesShown of a long list.
constexpr int kNamesShown = 20;
QString NameLines(const QStringList& lines);

// A descriptor closed with the object.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd)
        : m_fd(fd)
    {
    }
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(Fd&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    Fd& operator=(Fd&& other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd = -1;
};

// The entry `name` of the folder `dir`. At the top of a walk `path` spells
// it; below, `folder` is the entry of the folder holding it (which must
// outlive it) and the path is built from the chain on demand.
struct At {
    int dir = -1;
    QByteArray name;
    QByteArray path;
    const At* folder = nullptr;

    QByteArray Path() const;
};

// The folder holding `path` (a link in the path followed: it is the user's
// choice) as an O_PATH descriptor, and the entry's name in it.
Fd OpenParent(const QByteArray& path, At* at);

int StatAt(const At& at, struct stat* st, bool follow = false);

// Device and inode, the identity of an entry.
using Identity = std::pair<dev_t, ino_t>;
inline Identity IdentityOf(const struct stat& st)
{
    return {st.st_dev, st.st_ino};
}
// Whether the two entries are one, links followed with `follow`.
bool SameEntry(const At& a, const At& b, bool follow);

// Calls the test hook (SetFolderOpenHook) with the entry's path: the walk
// has checked the entry and is about to open it.
void CallOpenHook(const At& at);

// Opens the folder `at` for listing; a link or anything else that stands
// there now fails (ELOOP or ENOTDIR) and is never followed.
Fd OpenFolderAt(const At& at);
bool IsNoFolderNow(int error);

// The names in the open folder `fd`, in byte order; false (errno set) when
// it cannot be listed whole.
bool ListFolder(int fd, QList<QByteArray>* names);

// Whether the entries of the folder `dir` can be removed: it is writable
// and not on a read-only disk. errno says why not.
bool CanRemoveFrom(int dir);
// Whether the entry `at` itself can be removed where it is: besides its
// folder, a sticky folder keeps another's entry, and an immutable or
// append-only entry stays. errno says why not.
bool CanRemove(const At& at);

// A rename that never replaces an existing target: renameat2 with
// RENAME_NOREPLACE; where the file system lacks the flag, a hard link (which
// refuses too) and unlink; for a folder, the name claimed with mkdir and the
// folder renamed over that empty claim. Where none of these can be had for a
// file (many FUSE and network disks), -1 with errno EOPNOTSUPP: the caller
// copies into a new file instead (CopyFileTo), never renames over a name
// seen free a moment ago. When the source, once linked, cannot be removed,
// the link goes again and `sourceStays` is set (errno says why).
int RenameNoReplace(const At& from, const At& to, bool* sourceStays = nullptr);
int RenameNoReplace(const QByteArray& from, const QByteArray& to);

} // namespace fileop
