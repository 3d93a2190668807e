// Saving: the interface operations and the targets they write to.
//
// A file save never touches the target until the new JPEG is complete and on
// disk. It writes a new file in the target's folder that has no name while
// it is written (O_TMPFILE), so that a crash or kill mid-save leaves nothing
// behind; once flushed, fsynced and given the target's permission bits, the
// file is linked to a hidden free name ".ksave-XXXXXX" and renamed over the
// target (an atomic replace). A disk without unnamed files (or one that
// cannot name them) gets the hidden file from the start: made exclusively,
// so no existing file is ever removed or followed, and short, so any target
// name that fits the folder has room for it. The hidden file is locked and
// marked as a temporary (before it is named, where it is linked to its
// name) and held open until it is renamed, so a save removes the hidden
// files that killed saves left in its folder and no other
// (platform/Temporary.h). Any failure removes the temporary file and leaves
// the target as it was. A read-only target needs no special step on Linux:
// renaming needs write permission on the folder only, and the copied mode
// keeps it read-only.
//
// GetEncodedSize and SaveMemory run the lossless transcode with the library
// defaults into a counting and a fixed-buffer destination.
#include "Save.h"

#include "platform/FileOps.h"
#include "platform/Temporary.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// ---- Counting destination: sums the bytes through a 1024-byte buffer ----

struct CountingDest {
    jpeg_destination_mgr pub;
    JOCTET buffer[1024];
    unsigned long long total;
};

void CountInit(j_compress_ptr) {}

boolean CountEmpty(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<CountingDest*>(cinfo->dest);
    d->total += sizeof d->buffer;
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = sizeof d->buffer;
    return TRUE;
}

void CountTerm(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<CountingDest*>(cinfo->dest);
    d->total += sizeof d->buffer - d->pub.free_in_buffer;
}

// ---- Fixed-buffer destination: accepts at most `capacity` bytes ----
//
// libjpeg asks for a new buffer as soon as the last byte of the old one is
// written, so the first request only marks the buffer full (and rewinds, so
// nothing is ever written outside it); any byte after that fails.

struct FixedDest {
    jpeg_destination_mgr pub;
    JOCTET* buffer;
    size_t capacity;
    bool wrapped;
};

void FixedInit(j_compress_ptr) {}

boolean FixedEmpty(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<FixedDest*>(cinfo->dest);
    if (d->wrapped)
        RaiseCompressError(cinfo, 0);
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = d->capacity;
    d->wrapped = true;
    return TRUE;
}

void FixedTerm(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<FixedDest*>(cinfo->dest);
    if (d->wrapped && d->pub.free_in_buffer != d->capacity)
        RaiseCompressError(cinfo, 0);
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : (slash == 0 ? std::string("/") : path.substr(0, slash));
}

// The process's file creation mask, read without changing it (umask() would
// change it for every thread for a moment).
mode_t CurrentUmask()
{
    mode_t mask = 022;
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, status))
            if (std::sscanf(line, "Umask: %o", &mask) == 1)
                break;
        std::fclose(status);
    }
    return mask & 0777;
}

constexpr char kTemporaryPrefix[] = ".ksave-";

// Creates the new file of a save in `target`'s folder: unnamed where
// `unnamed` is asked and the disk offers it, else the hidden file, locked
// and marked, whose path goes to *path (left empty for an unnamed one). -1
// on failure.
int CreateTempFile(const std::string& target, bool unnamed, std::string* path)
{
    path->clear();
    const std::string folder = FolderOf(target);
    if (unnamed) {
        const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
            return fd;
    }
    int fd = -1;
    const std::string name = temporary::MakeNamed(kTemporaryPrefix, [&](const std::string& candidate) {
        fd = ::open((folder + "/" + candidate).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        return fd >= 0;
    });
    if (name.empty())
        return -1;
    temporary::LockAndMark(fd, name);
    *path = folder + "/" + name;
    return fd;
}

// Whether naming an unnamed file failed as the disk (or a missing /proc)
// cannot name one, rather than for want of room or rights.
bool CannotName(int error)
{
    return error == ENOENT || error == EPERM || error == EMLINK || error == EXDEV || error == EOPNOTSUPP
        || error == ENOSYS || error == EINVAL;
}

// Links the whole unnamed file `fd` to a free hidden name beside `target`,
// marked first, and stores it in *path. false (errno set) on failure.
bool NameTempFile(int fd, const std::string& target, std::string* path)
{
    char proc[32];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
    const std::string folder = FolderOf(target);
    const std::string name = temporary::MakeNamed(kTemporaryPrefix, [&](const std::string& candidate) {
        temporary::LockAndMark(fd, candidate);
        return ::linkat(AT_FDCWD, proc, AT_FDCWD, (folder + "/" + candidate).c_str(), AT_SYMLINK_FOLLOW) == 0;
    });
    if (name.empty())
        return false;
    *path = folder + "/" + name;
    return true;
}

// Removes the hidden files that killed saves left beside `target`.
void RemoveStaleTempFiles(const std::string& target)
{
    const int folder = ::open(FolderOf(target).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        temporary::RemoveStale(folder, kTemporaryPrefix);
        ::close(folder);
    }
}

enum class Written { Done, Failed, Unnameable };

// Writes the new file with `encode` as described at the top and renames it
// over `target`; `mode` is what the new file gets. Unnameable: the unnamed
// file could not be given a name, nothing was left, the caller may try again
// with `unnamed` false. On failure errno is that of the failing step, or 0
// when the encoder failed on its own (no write had failed).
template <typename Encode>
Written WriteAndReplace(const std::string& target, bool unnamed, mode_t mode, Encode encode)
{
    std::string temp;
    // `fd` stays open, and its lock held, until the temporary is renamed or
    // removed: the stream writes through a copy of it.
    const int fd = CreateTempFile(target, unnamed, &temp);
    if (fd < 0)
        return Written::Failed;
    int error = 0;
    const auto fail = [&](bool unnameable) {
        if (!temp.empty())
            ::unlink(temp.c_str());
        ::close(fd);
        errno = error;
        return unnameable ? Written::Unnameable : Written::Failed;
    };
    const int stream = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    FILE* file = stream < 0 ? nullptr : ::fdopen(stream, "wb");
    if (!file) {
        error = errno;
        if (stream >= 0)
            ::close(stream);
        return fail(false);
    }
    // libjpeg hands over 4 KB at a time; fewer, larger writes are cheaper.
    std::setvbuf(file, nullptr, _IOFBF, 1 << 18);
    // Each step runs only while all before it succeeded and notes its errno.
    const auto step = [&](bool done) {
        if (!done)
            error = errno;
        return done;
    };
    bool ok = encode(file);
    if (!ok && std::ferror(file))
        error = errno;
    ok = ok && step(std::fflush(file) == 0 && !std::ferror(file)) && step(::fsync(fd) == 0)
        && step(::fchmod(fd, mode) == 0);
    bool unnameable = false;
    if (ok && temp.empty()) {
        ok = step(NameTempFile(fd, target, &temp));
        unnameable = !ok && CannotName(error);
    }
    const bool closed = std::fclose(file) == 0;
    ok = ok && step(closed);
    ok = ok && step(std::rename(temp.c_str(), target.c_str()) == 0);
    if (!ok)
        return fail(unnameable);
    temporary::RemoveMark(fd);
    ::close(fd);
    return Written::Done;
}

// Makes a completed rename survive a crash; best effort.
void SyncFolderOf(const std::string& path)
{
    const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

int CDllImage::GetEncodedSize()
{
    try {
        if (!m_coef)
            return 0;
        CountingDest dest{};
        dest.pub.next_output_byte = dest.buffer;
        dest.pub.free_in_buffer = sizeof dest.buffer;
        dest.pub.init_destination = CountInit;
        dest.pub.empty_output_buffer = CountEmpty;
        dest.pub.term_destination = CountTerm;
        dest.total = 0;
        const SaveOptions options = DefaultSaveOptions();
        if (!TranscodeImage(*this, options, nullptr, &dest.pub, nullptr, 0))
            return 0;
        return dest.total > static_cast<unsigned long long>(INT_MAX) ? 0 : static_cast<int>(dest.total);
    } catch (...) {
        return 0;
    }
}

int CDllImage::SaveMemory(BYTE* buffer, int capacity)
{
    try {
        if (!m_coef || !buffer || capacity <= 0)
            return 0;
        FixedDest dest{};
        dest.buffer = buffer;
        dest.capacity = static_cast<size_t>(capacity);
        dest.wrapped = false;
        dest.pub.next_output_byte = buffer;
        dest.pub.free_in_buffer = dest.capacity;
        dest.pub.init_destination = FixedInit;
        dest.pub.empty_output_buffer = FixedEmpty;
        dest.pub.term_destination = FixedTerm;
        const SaveOptions options = DefaultSaveOptions();
        return TranscodeImage(*this, options, nullptr, &dest.pub, nullptr, 0) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

// On failure errno says why (see WriteAndReplace): the caller reads it at
// once to tell the user; 0 when no system call failed.
int CDllImage::SaveFile(BSTR path, const SaveOptions* options)
{
    try {
        errno = 0;
        if (!options || !m_coef)
            return 0;
        const SaveOptions& o = *options;
        // A re-encode has nothing to encode without the caller's pixels.
        if (o.CompressionMode == 1 && !o.Bitmap)
            return 0;
        const std::u16string target = path && *path ? std::u16string(path) : m_path;
        if (target.empty())
            return 0;
        const std::string nativeTarget = PathToNative(target.c_str());

        struct stat old{};
        const bool targetExists = ::stat(nativeTarget.c_str(), &old) == 0 && S_ISREG(old.st_mode);

        std::vector<uint8_t> thumb;
        if (o.SaveEXIF && o.GenerateEXIFThumb == 2 && m_exif.m_hasExif) {
            // Without a new thumbnail the save still goes on.
            try {
                MakeExifThumbnail(*this, o, &thumb);
            } catch (...) {
                thumb.clear();
            }
        }
        const uint8_t* thumbData = thumb.empty() ? nullptr : thumb.data();
        const int thumbLength = static_cast<int>(thumb.size());
        const auto encode = [&](FILE* file) {
            return o.CompressionMode == 1 ? ReencodeImage(*this, o, file, thumbData, thumbLength)
                                          : TranscodeImage(*this, o, file, nullptr, thumbData, thumbLength);
        };
        // A new file gets what open() would give.
        const mode_t mode = targetExists ? old.st_mode & 07777 : 0666 & ~CurrentUmask();
        RemoveStaleTempFiles(nativeTarget);
        Written written = WriteAndReplace(nativeTarget, true, mode, encode);
        if (written == Written::Unnameable)
            written = WriteAndReplace(nativeTarget, false, mode, encode);
        if (written != Written::Done)
            return 0;
        SyncFolderOf(nativeTarget);

        // Only times read from a file are restored; the creation time cannot
        // be set on Linux. A failure here does not undo the save.
        if (o.RetainOriginalTime && m_timesValid)
            SetFileTime(nativeTarget, m_times);

        m_path = target;
        m_exif.SetCurrentPath(target);
        return 1;
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
        return 0;
    } catch (...) {
        errno = 0;
        return 0;
    }
}
