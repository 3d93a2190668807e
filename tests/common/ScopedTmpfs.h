// A small tmpfs of its own for tests of full disks, mounted for the life of
// the object and unmounted (with its folder removed) however the test ends.
// Mounted directly where that is allowed (root); otherwise inside a user and
// mount namespace of the process's own (possible only while it has one
// thread, and where the system allows unprivileged namespaces).
// Where neither works, Available() is false and Why() says why:
//
//     testjpeg::ScopedTmpfs disk(300 * 1024);
//     if (!disk.Available())
//         GTEST_SKIP() << disk.Why();
#pragma once

#include "TestJpeg.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace testjpeg {

class ScopedTmpfs {
public:
    explicit ScopedTmpfs(size_t bytes)
    {
        m_path = m_dir / "disk";
        std::filesystem::create_directory(m_path);
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
        if (Mount(options) || (EnterOwnNamespace() && Mount(options)))
            m_mounted = true;
        else
            m_why = "no tmpfs can be mounted here (" + m_why + ")";
    }
    ~ScopedTmpfs()
    {
        if (m_mounted)
            ::umount2(m_path.c_str(), MNT_DETACH);
    }
    ScopedTmpfs(const ScopedTmpfs&) = delete;
    ScopedTmpfs& operator=(const ScopedTmpfs&) = delete;

    bool Available() const { return m_mounted; }
    const std::string& Why() const { return m_why; }
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

    // Fills the free room with the file "filler" (ENOSPC ends it), then
    // gives `leave` bytes of it back.
    void Fill(off_t leave = 0) const
    {
        const int fd = ::open((m_path / "filler").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0)
            return;
        const std::vector<char> chunk(4096, 'f');
        for (size_t size = chunk.size(); size > 0; size /= 2)
            while (::write(fd, chunk.data(), size) == static_cast<ssize_t>(size)) {
            }
        const off_t size = ::lseek(fd, 0, SEEK_END);
        if (leave > 0 && size >= 0 && ::ftruncate(fd, size > leave ? size - leave : 0) != 0)
            std::perror("ftruncate");
        ::close(fd);
    }
    // Gives the filler's room back.
    void Unfill() const { std::filesystem::remove(m_path / "filler"); }

private:
    bool Mount(const std::string& options)
    {
        if (::mount("tmpfs", m_path.c_str(), "tmpfs", 0, options.c_str()) == 0)
            return true;
        m_why += std::string(m_why.empty() ? "" : "; ") + "mount: " + std::strerror(errno);
        return false;
    }

    // Becomes root of a new user namespace with a private mount namespace.
    bool EnterOwnNamespace()
    {
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
            m_why += std::string("; unshare: ") + std::strerror(errno);
            return false;
        }
        const auto put = [](const char* file, const std::string& text) {
            const int fd = ::open(file, O_WRONLY | O_CLOEXEC);
            const bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
            if (fd >= 0)
                ::close(fd);
            return ok;
        };
        return put("/proc/self/setgroups", "deny") && put("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1")
            && put("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")
            && ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    }

    TempDir m_dir;
    std::filesystem::path m_path;
    bool m_mounted = false;
    std::string m_why;
};

} // namespace testjpeg
