#include "FileWalk.h"

#include "FileNames.h"
#include "MessageBoxes.h"

#include <cerrno>
#include <optional>

#include <fcntl.h>

namespace fileop {

namespace {

int RenameAt(const At& from, const At& to, bool replace, bool* sourceStays)
{
    return replace ? ::renameat(from.dir, from.name.constData(), to.dir, to.name.constData())
                   : RenameNoReplace(from, to, sourceStays);
}

// Whether a failed rename may have failed because the source cannot leave
// its folder.
bool MayBeFixedInPlace(int error)
{
    return error == EPERM || error == EACCES || error == EROFS;
}

// The folder `dir` and each of its parents up to the root, by device and
// inode, so that a second mount of the same disk or a bind mount cannot hide
// one. A parent that cannot be reached ends the list.
std::set<Identity> Ancestors(int dir)
{
    std::set<Identity> above;
    int fd = ::openat(dir, ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct stat here {};
    while (fd >= 0 && ::fstat(fd, &here) == 0 && above.insert(IdentityOf(here)).second) {
        const int parent = ::openat(fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = parent;
    }
    if (fd >= 0)
        ::close(fd);
    return above;
}

} // namespace

bool TransferAt(FileOperationCode code, const At& from, const At& to, bool replace, bool keepLinks, QString* error,
                bool* stays, DiskNotes* notes)
{
    if (code == FileOperationCode::Move) {
        bool linkedOnly = false;
        if (RenameAt(from, to, replace, &linkedOnly) == 0)
            return true;
        const int why = errno;
        // A copy the source then stays beside is useless.
        if (linkedOnly || ((why == EXDEV || why == EOPNOTSUPP || MayBeFixedInPlace(why)) && !CanRemove(from))) {
            *error = ErrnoText(linkedOnly ? why : errno);
            if (stays)
                *stays = true;
            return false;
        }
        if (why != EXDEV && why != EOPNOTSUPP) {
            *error = ErrnoText(why);
            return false;
        }
        // No rename that keeps an existing target on this disk: a copy, in
        // which a link goes as the link that a rename would have moved.
        keepLinks = keepLinks || why == EOPNOTSUPP;
    }
    struct stat st {};
    const bool link = keepLinks && StatAt(from, &st) == 0 && S_ISLNK(st.st_mode);
    bool nowLink = false;
    bool ok = link ? CopyLinkTo(from, to, replace, error) : CopyFileTo(from, !keepLinks, to, replace, notes, error, &nowLink);
    // Swapped for a link between its check and its open: it goes as a link.
    if (!ok && nowLink)
        ok = CopyLinkTo(from, to, replace, error);
    if (!ok)
        return false;
    if (code == FileOperationCode::Move && ::unlinkat(from.dir, from.name.constData(), 0) != 0) {
        // The source stays; the copy was new, so it goes again. A replaced
        // target cannot come back, but it now holds the source's bytes.
        *error = ErrnoText(errno);
        if (!replace)
            ::unlinkat(to.dir, to.name.constData(), 0);
        return false;
    }
    return true;
}

bool RemoveTree(const At& top, QStringList* left)
{
    struct Frame {
        At at;
        Fd fd;
        QList<QByteArray> names;
        qsizetype next = 0;
        bool whole = true;
    };
    std::deque<Frame> stack;
    const auto stayed = [&](const At& at, int error) {
        *left << Shown(at.Path()) + QStringLiteral(" (") + ErrnoText(error) + QLatin1Char(')');
        return false;
    };
    // Removes `at`, or opens the folder it is and pushes it (no result yet).
    const auto start = [&](const At& at) -> std::optional<bool> {
        struct stat st {};
        if (StatAt(at, &st) != 0)
            return errno == ENOENT || stayed(at, errno);
        if (S_ISDIR(st.st_mode)) {
            Fd fd = OpenFolderAt(at);
            QList<QByteArray> names;
            if (fd.get() >= 0 && !ListFolder(fd.get(), &names))
                return stayed(at, errno);
            if (fd.get() >= 0) {
                stack.push_back({at, std::move(fd), std::move(names)});
                return std::nullopt;
            }
            if (errno == ENOENT)
                return true;
            if (!IsNoFolderNow(errno))
                return stayed(at, errno);
        }
        return ::unlinkat(at.dir, at.name.constData(), 0) == 0 || errno == ENOENT || stayed(at, errno);
    };
    std::optional<bool> removed = start(top);
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (removed)
            frame.whole = *removed && frame.whole;
        if (frame.next < frame.names.size()) {
            removed = start(At{frame.fd.get(), frame.names[frame.next++], {}, &frame.at});
            continue;
        }
        removed = frame.whole
            && (::unlinkat(frame.at.dir, frame.at.name.constData(), AT_REMOVEDIR) == 0 || errno == ENOENT
                || stayed(frame.at, errno));
        stack.pop_back();
    }
    return *removed;
}

Transfer::Transfer(FileOperationCode code)
    : m_code(code)
    , m_verb(code == FileOperationCode::Move ? QStringLiteral("moved") : QStringLiteral("copied"))
{
}

Outcome Transfer::Into(const QString& source, const QString& folder)
{
    const QString fail = QStringLiteral("The file ") + source + QStringLiteral(" could not be ") + m_verb
        + QStringLiteral(" to ") + folder + QStringLiteral(": ");
    if (!IsUsablePath(source) || !IsUsablePath(folder))
        return Fail(fail + QStringLiteral("no valid path."));
    QByteArray from = Native(source);
    while (from.size() > 1 && from.endsWith('/'))
        from.chop(1);
    At at;
    const Fd parent = OpenParent(from, &at);
    const Fd target(::open(Native(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (parent.get() < 0 || target.get() < 0)
        return Fail(fail + ErrnoText(errno));
    RemoveStaleTemporariesOnce(target.get());
    m_above = Ancestors(target.get());
    return Walk(at, At{target.get(), at.name, Join(Native(folder), at.name)});
}

void Transfer::Report() const
{
    for (const NotCarried& cause : m_notCarried) {
        const int count = cause.files + cause.folders;
        const QString kinds = count == 1 ? (cause.folders ? QStringLiteral("folder") : QStringLiteral("file"))
            : cause.folders             ? QStringLiteral("files and folders")
                                        : QStringLiteral("files");
        MessageBoxes().ShowMessage(QString::number(count) + QLatin1Char(' ') + kinds + QStringLiteral(" could not be ")
                                   + m_verb + QStringLiteral(" to ") + cause.folder + QStringLiteral(": ")
                                   + ErrnoText(cause.error) + QStringLiteral(". Not ") + m_verb + QLatin1Char(':')
                                   + NameLines(cause.names));
    }
    if (!m_stayed.isEmpty())
        MessageBoxes().ShowMessage(QStringLiteral("The following could not be moved, because they cannot be "
                                                  "removed from where they are. Left in place:")
                                   + NameLines(m_stayed));
}

Outcome Transfer::Fail(const QString& text)
{
    if (m_quiet)
        return Outcome::Failed;
    switch (MessageBoxes().AskRunFailure(text)) {
    case IMessageBoxes::FailureChoice::Cancel:
        return Outcome::Cancelled;
    case IMessageBoxes::FailureChoice::SkipAll:
        m_quiet = true;
        break;
    case IMessageBoxes::FailureChoice::Skip:
        break;
    }
    return Outcome::Failed;
}

Outcome Transfer::Fail(const At& from, bool folder, const At& to, const QString& error, const QString& text)
{
    return Lasting(from, folder, to, error) ? Outcome::Failed : Fail(text);
}

// The file routines report a cause as its text (ErrnoText). A full disk or
// quota, and a read-only disk, hold for the whole disk; a folder this user
// may not write holds for what goes into it.
bool Transfer::Lasting(const At& from, bool folder, const At& to, const QString& error)
{
    const auto is = [&](int cause) { return error == ErrnoText(cause); };
    struct stat there {};
    if (::fstat(to.dir, &there) != 0)
        return false;
    NotCarried cause;
    if (is(ENOSPC) || is(EDQUOT)) {
        cause.where = {there.st_dev, 0};
        cause.error = is(ENOSPC) ? ENOSPC : EDQUOT;
        cause.room = true;
    } else if ((is(EROFS) || is(EACCES) || is(EPERM)) && !CanRemoveFrom(to.dir)) {
        // Only a target folder that takes no entry: a denial at the source,
        // or of one entry, does not last.
        cause.error = errno;
        if (cause.error != EROFS && cause.error != EACCES && cause.error != EPERM)
            return false;
        cause.where = cause.error == EROFS ? Identity{there.st_dev, 0} : IdentityOf(there);
    } else {
        return false;
    }
    cause.folder = Shown(FolderOf(to.Path()));
    m_notCarried.push_back(std::move(cause));
    Count(m_notCarried.back(), from, folder);
    return true;
}

bool Transfer::Blocked(const At& from, const struct stat& st, const At& to)
{
    struct stat there {};
    if (m_notCarried.empty() || ::fstat(to.dir, &there) != 0)
        return false;
    for (NotCarried& cause : m_notCarried) {
        // A move within the disk takes no room on it.
        const bool needsNoRoom = cause.room && m_code == FileOperationCode::Move && st.st_dev == there.st_dev;
        if ((cause.where == Identity{there.st_dev, 0} || cause.where == IdentityOf(there)) && !needsNoRoom) {
            Count(cause, from, S_ISDIR(st.st_mode));
            return true;
        }
    }
    return false;
}

void Transfer::Count(NotCarried& cause, const At& from, bool folder)
{
    ++(folder ? cause.folders : cause.files);
    // NameLines shows the first few and marks that more follow.
    if (cause.names.size() <= kNamesShown)
        cause.names << Shown(from.Path());
}

Outcome Transfer::Stays(const At& at, const QString& why)
{
    m_stayed << Shown(at.Path()) + QStringLiteral(" (") + why + QLatin1Char(')');
    return Outcome::Failed;
}

Outcome Transfer::Walk(const At& from, const At& to)
{
    Outcome outcome = Entry(from, to, true);
    while (!m_stack.empty()) {
        Frame& frame = m_stack.back();
        if (outcome != Outcome::Entered) {
            frame.cancelled = frame.cancelled || outcome == Outcome::Cancelled;
            frame.failed = frame.failed || outcome == Outcome::Failed;
            frame.skipped = frame.skipped || outcome == Outcome::Skipped;
        }
        if (!frame.cancelled && frame.next < frame.names.size()) {
            const QByteArray name = frame.names[frame.next++];
            outcome = Entry(At{frame.folder.get(), name, {}, &frame.from}, At{frame.target.get(), name, {}, &frame.to}, false);
            continue;
        }
        outcome = Leave(frame);
        m_targets.erase(frame.targetId);
        m_stack.pop_back();
    }
    return outcome;
}

// One entry: a selected one (`selected`) is followed when it is a link to a
// file, as before; one inside a folder is taken as it is.
Outcome Transfer::Entry(const At& from, const At& to, bool selected)
{
    struct stat st {};
    if (StatAt(from, &st) != 0) {
        const int error = errno;
        const QString source = Shown(from.Path());
        return Fail(error == ENOENT ? QStringLiteral("The file ") + source + QStringLiteral(" no longer exists. It was skipped.")
                                    : QStringLiteral("The file ") + source + QStringLiteral(" could not be ") + m_verb
                                          + QStringLiteral(": ") + ErrnoText(error));
    }
    const bool folderEntry = S_ISDIR(st.st_mode);
    // Into a disk or folder found unwritable for good: not tried, counted.
    if (Blocked(from, st, to))
        return Outcome::Failed;
    if (SameEntry(from, to, selected))
        return Fail(QStringLiteral("The ") + (folderEntry ? QStringLiteral("folder ") : QStringLiteral("file "))
                    + Shown(from.Path()) + QStringLiteral(" cannot be ") + m_verb + QStringLiteral(" onto itself."));
    return folderEntry ? Enter(from, st, to) : FileInto(from, to, selected);
}

Outcome Transfer::FileInto(const At& from, const At& to, bool selected)
{
    bool replace = false;
    struct stat existing {};
    if (StatAt(to, &existing) == 0) {
        const auto answer = MessageBoxes().AskYesNoCancel(OverwriteQuestionText(Shown(to.Path())), QStringLiteral("Overwrite warning"));
        if (answer == IMessageBoxes::Answer::Cancel)
            return Outcome::Cancelled;
        if (answer == IMessageBoxes::Answer::No)
            return Outcome::Skipped;
        replace = true;
    }
    QString error;
    bool stays = false;
    if (TransferAt(m_code, from, to, replace, !selected, &error, &stays, &m_notes))
        return Outcome::Done;
    if (stays)
        return Stays(from, error);
    return Fail(from, false, to, error,
                QStringLiteral("The file ") + Shown(from.Path()) + QStringLiteral(" could not be ") + m_verb
                    + QStringLiteral(" to ") + Shown(FolderOf(to.Path())) + QStringLiteral(": ") + error);
}

// A folder goes whole: renamed when it can be, else made at the target (or
// merged into a folder of that name there) entry by entry, each clashing
// file asked about; a moved folder is removed once empty. Any entry that
// fails makes the folder fail; one the user kept skips it. A link found
// where the folder was checked is carried as a link.
Outcome Transfer::Enter(const At& from, const struct stat& st, const At& to)
{
    // Spelt out for messages only: a path is as long as the walk is deep.
    const auto source = [&] { return Shown(from.Path()); };
    // Into itself, also through a second mount; and never into a folder
    // this run made, whatever path leads there.
    const Identity self = IdentityOf(st);
    if (m_above.count(self) || m_targets.count(self) || m_made.count(self))
        return Fail(QStringLiteral("The folder ") + source() + QStringLiteral(" cannot be ") + m_verb
                    + QStringLiteral(" into itself."));
    struct stat existing {};
    const bool exists = StatAt(to, &existing) == 0;
    if (exists && !S_ISDIR(existing.st_mode))
        return Fail(QStringLiteral("The folder ") + source() + QStringLiteral(" could not be ") + m_verb
                    + QStringLiteral(": a file named ") + Shown(to.Path()) + QStringLiteral(" is in the way."));
    if (!exists && m_code == FileOperationCode::Move) {
        if (RenameNoReplace(from, to) == 0)
            return Outcome::Done;
        const int error = errno;
        if (MayBeFixedInPlace(error) && !CanRemove(from))
            return Stays(from, ErrnoText(errno));
        if (error != EXDEV)
            return Fail(from, true, to, ErrnoText(error),
                        QStringLiteral("The folder ") + source() + QStringLiteral(" could not be moved to ")
                            + Shown(FolderOf(to.Path())) + QStringLiteral(": ") + ErrnoText(error));
    }
    Fd folder = OpenFolderAt(from);
    if (folder.get() < 0 && IsNoFolderNow(errno))
        return FileInto(from, to, false);
    QList<QByteArray> names;
    if (folder.get() < 0 || !ListFolder(folder.get(), &names)) {
        const int error = errno;
        return Fail(QStringLiteral("The folder ") + source() + QStringLiteral(" could not be read: ") + ErrnoText(error));
    }
    // Moved to another device: nothing is copied of what cannot be removed.
    if (m_code == FileOperationCode::Move && (!CanRemoveFrom(folder.get()) || !CanRemove(from)))
        return Stays(from, ErrnoText(errno));

    Frame frame;
    frame.from = from;
    frame.to = to;
    frame.folder = std::move(folder);
    frame.names = std::move(names);
    frame.mode = st.st_mode & 07777;
    QString why;
    if (exists) {
        // A folder that was there keeps its mode, unless a run of this
        // program made it and was killed before it could set it.
        frame.target = Fd(::openat(to.dir, to.name.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        why = ErrnoText(errno);
        frame.setMode = frame.target.get() >= 0 && HasPendingMode(frame.target.get());
    } else {
        frame.target = MakeFolder(to, frame.mode, &why);
        frame.made = true;
        frame.setMode = (frame.mode & 0700) != 0700;
    }
    struct stat target {};
    if (frame.target.get() < 0 || ::fstat(frame.target.get(), &target) != 0)
        return Fail(from, true, to, why,
                    frame.made ? QStringLiteral("The folder ") + Shown(to.Path()) + QStringLiteral(" could not be made: ") + why
                               : QStringLiteral("The folder ") + source() + QStringLiteral(" could not be ") + m_verb
                                     + QStringLiteral(" to ") + Shown(to.Path()) + QStringLiteral(": ") + why);
    if (exists)
        RemoveStaleTemporariesOnce(frame.target.get());
    frame.targetId = IdentityOf(target);
    if (frame.made)
        m_made.insert(frame.targetId);
    m_targets.insert(frame.targetId);
    m_stack.push_back(std::move(frame));
    return Outcome::Entered;
}

Outcome Transfer::Leave(Frame& frame)
{
    if (frame.setMode && !SetPendingMode(frame.target.get(), frame.mode)) {
        const int error = errno;
        frame.failed = true;
        Fail(QStringLiteral("The folder ") + Shown(frame.to.Path()) + QStringLiteral(" could not be given its permissions: ")
             + ErrnoText(error));
    }
    if (frame.cancelled || frame.failed || frame.skipped) {
        // A move that left everything in place leaves no empty folder.
        if (m_code == FileOperationCode::Move && frame.made)
            ::unlinkat(frame.to.dir, frame.to.name.constData(), AT_REMOVEDIR);
        return frame.cancelled ? Outcome::Cancelled : frame.failed ? Outcome::Failed : Outcome::Skipped;
    }
    if (m_code == FileOperationCode::Move && ::unlinkat(frame.from.dir, frame.from.name.constData(), AT_REMOVEDIR) != 0) {
        const int error = errno;
        return Fail(QStringLiteral("The folder ") + Shown(frame.from.Path()) + QStringLiteral(" could not be removed: ")
                    + ErrnoText(error));
    }
    return Outcome::Done;
}

// The temporaries a killed run left in a folder this run writes into go,
// once per folder.
void Transfer::RemoveStaleTemporariesOnce(int dir)
{
    struct stat st {};
    if (::fstat(dir, &st) == 0 && m_cleaned.insert(IdentityOf(st)).second)
        RemoveStaleTemporaries(dir);
}

} // namespace fileop
