// The undo manager's temporary file.
//
// A live undo file is always held under an exclusive flock by the manager
// that made it. Stale files (left by a program that ended without cleaning
// up) are recognised by name, owner and type, and deleted only while this
// process holds their lock itself, so a file in use by a running program is
// never touched. The creator locks its file right after mkstemp and then
// checks that the name still leads to it; if a cleaner removed it in the
// moment between, it simply makes another.
#include "UndoFile.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kPrefix[] = "pxm";
constexpr int kUniqueChars = 6; // mkstemp's XXXXXX

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool IsUniqueChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsUndoFileName(const char* name)
{
    if (std::strncmp(name, kPrefix, sizeof kPrefix - 1) != 0)
        return false;
    const char* rest = name + sizeof kPrefix - 1;
    for (int i = 0; i < kUniqueChars; ++i)
        if (!IsUniqueChar(rest[i]))
            return false;
    return rest[kUniqueChars] == '\0';
}

// Deletes folder/name when it is a stale undo file of ours.
bool DeleteIfStale(int dirFd, const char* name)
{
    struct stat byName {};
    if (fstatat(dirFd, name, &byName, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(byName.st_mode) ||
        byName.st_uid != geteuid())
        return false;
    const int fd = openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    bool deleted = false;
    struct stat opened {};
    if (fstat(fd, &opened) == 0 && SameFile(opened, byName) && flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // Still the same file under the name, now that we hold its lock?
        struct stat again {};
        if (fstatat(dirFd, name, &again, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(again, opened))
            deleted = unlinkat(dirFd, name, 0) == 0;
    }
    close(fd);
    return deleted;
}

} // namespace

CUndoFile::~CUndoFile()
{
    CloseAndRemove();
}

bool CUndoFile::IsUndoFileName(const QString& name)
{
    return ::IsUndoFileName(QFile::encodeName(name).constData());
}

int CUndoFile::DeleteStaleFiles(const QString& folder)
{
    const int dirFd = open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return 0;
    DIR* dir = fdopendir(dirFd);
    if (!dir) {
        close(dirFd);
        return 0;
    }
    int count = 0;
    while (const dirent* entry = readdir(dir))
        if (::IsUndoFileName(entry->d_name) && DeleteIfStale(dirfd(dir), entry->d_name))
            ++count;
    closedir(dir);
    return count;
}

bool CUndoFile::Create(const QString& folder)
{
    CloseAndRemove();
    if (folder.isEmpty())
        return false;
    DeleteStaleFiles(folder);
    const std::string pattern = QFile::encodeName(QDir(folder).filePath(QString::fromLatin1(kPrefix) + QStringLiteral("XXXXXX"))).toStdString();
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::string name = pattern;
        const int fd = mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0)
            return false;
        struct stat opened {};
        struct stat byName {};
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &opened) == 0 &&
            lstat(name.c_str(), &byName) == 0 && SameFile(opened, byName)) {
            m_fd = fd;
            m_pos = 0;
            DropBuffers();
            m_path = QFile::decodeName(name.c_str());
            return true;
        }
        // A cleaner got to it first and will remove it (or already has).
        close(fd);
    }
    return false;
}

void CUndoFile::CreateInMemory()
{
    CloseAndRemove();
    m_inMemory = true;
}

void CUndoFile::CloseAndRemove()
{
    if (m_inMemory) {
        m_inMemory = false;
        std::vector<char>().swap(m_memory);
        m_pos = 0;
        DropBuffers();
        return;
    }
    if (m_fd < 0)
        return;
    // Unlink while the lock is still held, so no cleaner can race us.
    unlink(QFile::encodeName(m_path).constData());
    close(m_fd);
    m_fd = -1;
    m_pos = 0;
    DropBuffers();
    m_path.clear();
}

namespace {

// pwrite of all `bytes` at `at`; the count written before an error.
int64_t WriteAll(int fd, const char* data, int64_t bytes, int64_t at)
{
    int64_t done = 0;
    while (done < bytes) {
        const ssize_t n = pwrite(fd, data + done, static_cast<size_t>(bytes - done), at + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

} // namespace

void CUndoFile::DropBuffers()
{
    m_writeLen = 0;
    m_readBuf.clear();
    m_lostFrom = -1;
    std::vector<char>().swap(m_held);
    m_heldBroken = false;
}

bool CUndoFile::Hold(const char* data, int64_t bytes, int64_t at) const
{
    const int64_t end = at - m_lostFrom + bytes;
    if (m_heldBroken || at < m_lostFrom)
        return false;
    try {
        if (end > static_cast<int64_t>(m_held.size()))
            m_held.resize(static_cast<size_t>(end));
    } catch (const std::exception&) {
        m_heldBroken = true;
        return false;
    }
    std::memcpy(m_held.data() + (at - m_lostFrom), data, static_cast<size_t>(bytes));
    return true;
}

bool CUndoFile::LoseFrom(const char* data, int64_t bytes, int64_t at) const
{
    m_lostFrom = at;
    m_readBuf.clear();
    m_held.clear();
    m_heldBroken = false;
    return Hold(data, bytes, at);
}

bool CUndoFile::Flush() const
{
    if (m_inMemory)
        return m_lostFrom < 0;
    if (m_fd < 0)
        return false;
    if (m_writeLen > 0) {
        // Pending bytes exist only while the file is whole.
        const int64_t done = WriteAll(m_fd, m_writeBuf.data(), m_writeLen, m_writeStart);
        if (done < m_writeLen)
            LoseFrom(m_writeBuf.data() + done, m_writeLen - done, m_writeStart + done);
        m_writeLen = 0;
    }
    return m_lostFrom < 0;
}

bool CUndoFile::Reserve(int64_t bytes)
{
    if (!m_inMemory)
        return m_fd >= 0 && bytes >= 0;
    if (bytes < 0 || m_lostFrom >= 0)
        return false;
    try {
        m_memory.reserve(static_cast<size_t>(m_pos + bytes));
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

bool CUndoFile::WriteMemory(const char* data, int64_t bytes)
{
    const int64_t end = m_pos + bytes;
    if (end > static_cast<int64_t>(m_memory.size())) {
        try {
            m_memory.resize(static_cast<size_t>(end));
        } catch (const std::exception&) {
            // Nothing of these bytes is held: the store ends where they began.
            m_lostFrom = m_pos;
            return false;
        }
    }
    std::memcpy(m_memory.data() + m_pos, data, static_cast<size_t>(bytes));
    m_pos = end;
    return true;
}

bool CUndoFile::Write(const void* data, int64_t bytes)
{
    if (!IsOpen() || bytes < 0 || (bytes > 0 && !data))
        return false;
    const auto* p = static_cast<const char*>(data);
    if (m_lostFrom >= 0 && (m_inMemory || m_pos < m_lostFrom))
        return false;
    if (bytes == 0)
        return true;
    if (m_inMemory)
        return WriteMemory(p, bytes);
    if (m_lostFrom >= 0) {
        const bool held = Hold(p, bytes, m_pos);
        m_pos += bytes;
        return held;
    }
    // The read-ahead may hold what these bytes replace.
    if (!m_readBuf.empty() && m_pos < m_readStart + static_cast<int64_t>(m_readBuf.size()) &&
        m_readStart < m_pos + bytes)
        m_readBuf.clear();
    // The common case: the next small record of a run of writes.
    if (m_writeLen > 0 && m_writeStart + m_writeLen == m_pos && m_writeLen + bytes <= kBufferBytes) {
        std::memcpy(m_writeBuf.data() + m_writeLen, p, static_cast<size_t>(bytes));
        m_writeLen += bytes;
        m_pos += bytes;
        return true;
    }
    if (!Flush()) {
        const bool held = Hold(p, bytes, m_pos);
        m_pos += bytes;
        return held;
    }
    const auto writeDirect = [&] {
        const int64_t done = WriteAll(m_fd, p, bytes, m_pos);
        const bool held = done == bytes || LoseFrom(p + done, bytes - done, m_pos + done);
        m_pos += bytes;
        return held;
    };
    if (bytes >= kBufferBytes)
        return writeDirect();
    if (m_writeBuf.empty()) {
        try {
            m_writeBuf.resize(static_cast<size_t>(kBufferBytes));
        } catch (const std::bad_alloc&) {
            return writeDirect();
        }
    }
    std::memcpy(m_writeBuf.data(), p, static_cast<size_t>(bytes));
    m_writeStart = m_pos;
    m_writeLen = bytes;
    m_pos += bytes;
    return true;
}

int64_t CUndoFile::ReadDirect(char* data, int64_t bytes, int64_t at) const
{
    if (m_lostFrom >= 0)
        bytes = std::max<int64_t>(0, std::min(bytes, m_lostFrom - at));
    int64_t done = 0;
    while (done < bytes) {
        const ssize_t n = pread(m_fd, data + done, static_cast<size_t>(bytes - done), at + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return done > 0 ? done : -1;
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

int64_t CUndoFile::Read(void* data, int64_t bytes)
{
    if (!IsOpen() || bytes < 0 || (bytes > 0 && !data))
        return -1;
    auto* p = static_cast<char*>(data);
    if (m_inMemory) {
        const int64_t end = m_lostFrom >= 0 ? m_lostFrom : static_cast<int64_t>(m_memory.size());
        const int64_t n = std::max<int64_t>(0, std::min(bytes, end - m_pos));
        if (n > 0)
            std::memcpy(p, m_memory.data() + m_pos, static_cast<size_t>(n));
        m_pos += n;
        return n;
    }
    Flush();
    int64_t done = 0;
    while (done < bytes) {
        const int64_t at = m_pos + done;
        const int64_t bufEnd = m_readStart + static_cast<int64_t>(m_readBuf.size());
        if (at >= m_readStart && at < bufEnd) {
            const int64_t n = std::min(bytes - done, bufEnd - at);
            std::memcpy(p + done, m_readBuf.data() + (at - m_readStart), static_cast<size_t>(n));
            done += n;
            continue;
        }
        if (bytes - done >= kBufferBytes) {
            const int64_t n = ReadDirect(p + done, bytes - done, at);
            if (n < 0) {
                m_pos += done;
                return -1;
            }
            done += n;
            break;
        }
        m_readBuf.resize(static_cast<size_t>(kBufferBytes));
        const int64_t n = ReadDirect(m_readBuf.data(), kBufferBytes, at);
        m_readBuf.resize(static_cast<size_t>(std::max<int64_t>(n, 0)));
        m_readStart = at;
        if (n < 0) {
            m_pos += done;
            return -1;
        }
        if (n == 0)
            break;
    }
    if (m_lostFrom >= 0 && done < bytes && m_pos + done >= m_lostFrom) {
        const int64_t from = m_pos + done - m_lostFrom;
        const int64_t n = std::max<int64_t>(0, std::min(bytes - done, static_cast<int64_t>(m_held.size()) - from));
        if (n > 0)
            std::memcpy(p + done, m_held.data() + from, static_cast<size_t>(n));
        done += n;
    }
    m_pos += done;
    return done;
}

bool CUndoFile::Seek(int64_t position)
{
    if (!IsOpen() || position < 0)
        return false;
    Flush();
    m_pos = position;
    return true;
}

bool CUndoFile::SeekToEnd()
{
    const int64_t length = GetLength();
    return length >= 0 && Seek(length);
}

int64_t CUndoFile::GetLength() const
{
    if (m_inMemory)
        return static_cast<int64_t>(m_memory.size());
    struct stat st {};
    if (m_fd < 0)
        return -1;
    Flush();
    if (fstat(m_fd, &st) != 0)
        return -1;
    const int64_t held = m_lostFrom >= 0 ? m_lostFrom + static_cast<int64_t>(m_held.size()) : 0;
    return std::max(static_cast<int64_t>(st.st_size), held);
}

bool CUndoFile::SetLength(int64_t length)
{
    if (m_inMemory) {
        if (length < 0)
            return false;
        try {
            m_memory.resize(static_cast<size_t>(length));
        } catch (const std::exception&) {
            return false;
        }
        if (m_lostFrom >= length)
            m_lostFrom = -1;
        return true;
    }
    if (m_fd < 0 || length < 0)
        return false;
    Flush();
    m_readBuf.clear();
    if (m_lostFrom >= 0 && length > m_lostFrom) {
        // Still past where the disk failed: only the held bytes change.
        try {
            m_held.resize(static_cast<size_t>(length - m_lostFrom));
        } catch (const std::exception&) {
            return false;
        }
        return true;
    }
    int rc;
    do
        rc = ftruncate(m_fd, static_cast<off_t>(length));
    while (rc != 0 && errno == EINTR);
    if (rc == 0 && m_lostFrom >= length) {
        m_lostFrom = -1;
        std::vector<char>().swap(m_held);
        m_heldBroken = false;
    }
    return rc == 0;
}
