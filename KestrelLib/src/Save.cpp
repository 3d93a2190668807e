// Saving: the interface operations and the targets they write to.
//
// A file save never touches the target until the new JPEG is complete and on
// disk: it writes a new hidden file ".ksave-XXXXXX" in the target's folder
// (made exclusively, so no existing file is ever removed or followed, and
// short, so any target name that fits the folder has room for it), flushes
// and fsyncs it, gives it the target's permission bits and renames it over
// the target (an atomic replace). Any failure removes the temporary file and
// leaves the target as it was, so a crash or kill mid-save leaves either the
// old or the new file, never a truncated one, and at most a hidden leftover
// that no one takes for a photo. A read-only target needs no special step on
// Linux: renaming needs write permission on the folder only, and the copied
// mode keeps it read-only.
//
// GetEncodedSize and SaveMemory run the lossless transcode with the library
// defaults into a counting and a fixed-buffer destination.
#include "Save.h"

#include "platform/FileOps.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
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

// Creates a new temporary file in `target`'s folder and stores its name in
// *path. -1 on failure.
int CreateTempFile(const std::string& target, std::string* path)
{
    *path = FolderOf(target) + "/.ksave-XXXXXX";
    return ::mkostemp(path->data(), O_CLOEXEC);
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

int CDllImage::SaveFile(BSTR path, const SaveOptions* options)
{
    try {
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

        std::string nativeTemp;
        const int fd = CreateTempFile(nativeTarget, &nativeTemp);
        if (fd < 0)
            return 0;
        FILE* file = ::fdopen(fd, "wb");
        if (!file) {
            ::close(fd);
            ::unlink(nativeTemp.c_str());
            return 0;
        }

        // libjpeg hands over 4 KB at a time; fewer, larger writes are cheaper.
        std::setvbuf(file, nullptr, _IOFBF, 1 << 18);

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

        bool ok = o.CompressionMode == 1 ? ReencodeImage(*this, o, file, thumbData, thumbLength)
                                         : TranscodeImage(*this, o, file, nullptr, thumbData, thumbLength);
        ok = ok && std::fflush(file) == 0 && !std::ferror(file) && ::fsync(fd) == 0;
        // mkstemp makes the file 0600; a new file gets what open() would give.
        if (ok)
            ok = ::fchmod(fd, targetExists ? old.st_mode & 07777 : 0666 & ~CurrentUmask()) == 0;
        ok = std::fclose(file) == 0 && ok;
        if (ok)
            ok = std::rename(nativeTemp.c_str(), nativeTarget.c_str()) == 0;
        if (!ok) {
            ::unlink(nativeTemp.c_str());
            return 0;
        }
        SyncFolderOf(nativeTarget);

        // Only times read from a file are restored; the creation time cannot
        // be set on Linux. A failure here does not undo the save.
        if (o.RetainOriginalTime && m_timesValid)
            SetFileTime(nativeTarget, m_times);

        m_path = target;
        m_exif.SetCurrentPath(target);
        return 1;
    } catch (...) {
        return 0;
    }
}
