#include "FileTemporary.h"

#include "platform/Temporary.h"

#include <cerrno>
#include <climits>
#include <cstdio>

#include <fcntl.h>
#include <sys/xattr.h>

namespace fileop {

namespace {

constexpr char kTemporaryPrefix[] = ".pxcopy-";
// The mode a folder a run is filling waits for.
constexpr char kPendingMode[] = "user.pixmend.mode";

// Makes a new entry under a free hidden name in the folder `dir` with
// `make`, which fails with EEXIST when the name is taken. The name is short,
// so that even a target name of 255 bytes has its temporary beside it.
// Empty name on failure (errno set).
template <typename Make>
QByteArray MakeTemporary(int dir, Make make)
{
    return QByteArray::fromStdString(temporary::MakeNamed(kTemporaryPrefix, [&](const std::string& name) {
        return make(dir, QByteArray::fromStdString(name));
    }));
}

bool WriteAll(int fd, const char* data, ssize_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            errno = n == 0 ? EIO : errno;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

// Writes the bytes of `in` from its start to `out` and gives `out` the
// permission bits and times of `st`, flushed to disk. Set-user-ID and
// set-group-ID go only with the owner and group they were given by.
bool Fill(int in, int out, const struct stat& st)
{
    if (::lseek(in, 0, SEEK_SET) != 0)
        return false;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        if (!WriteAll(out, buffer, n))
            return false;
    }
    struct stat made {};
    if (::fstat(out, &made) != 0)
        return false;
    mode_t mode = st.st_mode & 07777;
    if (made.st_uid != st.st_uid || made.st_gid != st.st_gid)
        mode &= ~mode_t(S_ISUID | S_ISGID);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    return ::fchmod(out, mode) == 0 && ::futimens(out, times) == 0 && ::fsync(out) == 0;
}

// How one way of making a copy ended: Unsupported means the disk lacks it
// and nothing was left.
enum class Result { Done, Failed, Unsupported };

Result Failed(QString* error)
{
    *error = ErrnoText(errno ? errno : EIO);
    return Result::Failed;
}

// Whether a link of an unnamed file failed as the disk (or a missing /proc)
// cannot name one.
bool CannotName(int error)
{
    return error == ENOENT || error == EPERM || error == EMLINK || error == EXDEV || error == EOPNOTSUPP
        || error == ENOSYS || error == EINVAL;
}

int LinkUnnamed(int fd, const At& to)
{
    char proc[32];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
    return ::linkat(AT_FDCWD, proc, to.dir, to.name.constData(), AT_SYMLINK_FOLLOW);
}

// Renames the whole temporary `name` (open as `fd`) in the target's folder
// to the target; it goes again on failure.
Result Place(int fd, const At& to, const QByteArray& name, bool replace, QString* error)
{
    const At made{to.dir, name, name};
    const int result = replace ? ::renameat(to.dir, name.constData(), to.dir, to.name.constData()) : RenameNoReplace(made, to);
    if (result == 0) {
        temporary::RemoveMark(fd);
        return Result::Done;
    }
    const Result failure = errno == EOPNOTSUPP ? Result::Unsupported : Failed(error);
    ::unlinkat(to.dir, name.constData(), 0);
    return failure;
}

Result Unnamed(int in, const struct stat& st, const At& to, bool replace, QString* error)
{
    const Fd out(::openat(to.dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (out.get() < 0)
        return errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL ? Result::Unsupported : Failed(error);
    if (!Fill(in, out.get(), st))
        return Failed(error);
    if (!replace) {
        if (LinkUnnamed(out.get(), to) == 0)
            return Result::Done;
        return CannotName(errno) ? Result::Unsupported : Failed(error);
    }
    // Only a rename replaces atomically: a temporary name first.
    const QByteArray name = MakeTemporary(to.dir, [&](int dir, const QByteArray& candidate) {
        temporary::LockAndMark(out.get(), candidate.toStdString());
        return LinkUnnamed(out.get(), At{dir, candidate, candidate}) == 0;
    });
    if (name.isEmpty())
        return CannotName(errno) ? Result::Unsupported : Failed(error);
    return Place(out.get(), to, name, true, error);
}

Result Named(int in, const struct stat& st, const At& to, bool replace, QString* error)
{
    int made = -1;
    const QByteArray name = MakeTemporary(to.dir, [&](int dir, const QByteArray& candidate) {
        made = ::openat(dir, candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        return made >= 0;
    });
    if (name.isEmpty())
        return Failed(error);
    const Fd out(made);
    temporary::LockAndMark(out.get(), name.toStdString());
    if (!Fill(in, out.get(), st)) {
        Failed(error);
        ::unlinkat(to.dir, name.constData(), 0);
        return Result::Failed;
    }
    return Place(out.get(), to, name, replace, error);
}

// The target name made exclusively and filled; on failure it goes again
// while it is still the file made here.
Result Direct(int in, const struct stat& st, const At& to, QString* error)
{
    const Fd out(::openat(to.dir, to.name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.get() < 0)
        return Failed(error);
    if (Fill(in, out.get(), st))
        return Result::Done;
    Failed(error);
    struct stat mine {}, there {};
    if (::fstat(out.get(), &mine) == 0 && StatAt(to, &there) == 0 && IdentityOf(mine) == IdentityOf(there))
        ::unlinkat(to.dir, to.name.constData(), 0);
    return Result::Failed;
}

} // namespace

bool CopyFileTo(const At& source, bool follow, const At& to, bool replace, DiskNotes* notes, QString* error,
                bool* isLink)
{
    // The type is checked before the open, which would wait for a writer on
    // a pipe; O_NONBLOCK covers a swap in between.
    struct stat st {};
    if (StatAt(source, &st, follow) != 0) {
        *error = ErrnoText(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = QStringLiteral("Not a regular file");
        return false;
    }
    CallOpenHook(source);
    const Fd in(::openat(source.dir, source.name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | (follow ? 0 : O_NOFOLLOW)));
    if (in.get() < 0) {
        if (isLink)
            *isLink = !follow && errno == ELOOP;
        *error = ErrnoText(errno);
        return false;
    }
    if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = S_ISREG(st.st_mode) ? ErrnoText(errno) : QStringLiteral("Not a regular file");
        return false;
    }
    DiskNotes none;
    notes = notes ? notes : &none;
    struct stat folder {};
    const dev_t disk = ::fstat(to.dir, &folder) == 0 ? folder.st_dev : 0;
    Result result = Result::Unsupported;
    if (!notes->noUnnamed.count(disk) && (result = Unnamed(in.get(), st, to, replace, error)) == Result::Unsupported)
        notes->noUnnamed.insert(disk);
    if (result == Result::Unsupported && (replace || !notes->noAtomicRename.count(disk))
        && (result = Named(in.get(), st, to, replace, error)) == Result::Unsupported)
        notes->noAtomicRename.insert(disk);
    if (result == Result::Unsupported)
        result = Direct(in.get(), st, to, error);
    return result == Result::Done;
}

bool CopyLinkTo(const At& source, const At& to, bool replace, QString* error)
{
    QByteArray text(PATH_MAX, '\0');
    const ssize_t n = ::readlinkat(source.dir, source.name.constData(), text.data(), size_t(text.size()));
    if (n < 0 || n >= text.size()) {
        *error = ErrnoText(n < 0 ? errno : ENAMETOOLONG);
        return false;
    }
    text.truncate(n);
    // A link is whole when made, and making one refuses an existing name on
    // every disk: only a replace needs a temporary.
    if (!replace) {
        if (::symlinkat(text.constData(), to.dir, to.name.constData()) == 0)
            return true;
        *error = ErrnoText(errno);
        return false;
    }
    // A link cannot be marked: it is made in a marked folder temporary and
    // renamed out of it over the target.
    std::string holder;
    const Fd folder(temporary::MakeFolder(to.dir, kTemporaryPrefix, &holder));
    const bool made = folder.get() >= 0 && ::symlinkat(text.constData(), folder.get(), to.name.constData()) == 0;
    const bool placed = made && ::renameat(folder.get(), to.name.constData(), to.dir, to.name.constData()) == 0;
    if (!placed) {
        *error = ErrnoText(errno);
        if (made)
            ::unlinkat(folder.get(), to.name.constData(), 0);
    }
    if (folder.get() >= 0)
        ::unlinkat(to.dir, holder.c_str(), AT_REMOVEDIR);
    return placed;
}

Fd MakeFolder(const At& to, mode_t mode, QString* error)
{
    std::string made;
    Fd fd(temporary::MakeFolder(to.dir, kTemporaryPrefix, &made));
    const QByteArray name = QByteArray::fromStdString(made);
    const bool ownerMayFill = (mode & 0700) == 0700;
    // A folder the owner may not fill gets its bits when full; the note lets
    // a run after a kill know the folder as one it has to finish.
    if (fd.get() >= 0 && !ownerMayFill)
        ::fsetxattr(fd.get(), kPendingMode, "1", 1, 0);
    if (fd.get() < 0 || ::fchmod(fd.get(), ownerMayFill ? mode : 0700) != 0 || RenameNoReplace(At{to.dir, name, name}, to) != 0) {
        *error = ErrnoText(errno);
        if (fd.get() >= 0)
            ::unlinkat(to.dir, name.constData(), AT_REMOVEDIR);
        return Fd();
    }
    temporary::RemoveMark(fd.get());
    return fd;
}

namespace {

Fd Readable(int dir)
{
    return Fd(::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

} // namespace

bool HasPendingMode(int dir)
{
    // Once its mode is set, a plain user may not take the note off a folder
    // it may not write: the note waits only while the owner may fill it.
    const Fd folder = Readable(dir);
    struct stat st {};
    return folder.get() >= 0 && ::fgetxattr(folder.get(), kPendingMode, nullptr, 0) >= 0
        && ::fstat(folder.get(), &st) == 0 && (st.st_mode & 0700) == 0700;
}

bool SetPendingMode(int dir, mode_t mode)
{
    // The note goes only once the mode is set: after a kill or a failure in
    // between, a run after this one sets it.
    const Fd folder = Readable(dir);
    if (folder.get() < 0 || ::fchmod(folder.get(), mode) != 0)
        return false;
    ::fremovexattr(folder.get(), kPendingMode);
    return true;
}

void RemoveStaleTemporaries(int dir)
{
    temporary::RemoveStale(dir, kTemporaryPrefix);
}

} // namespace fileop
