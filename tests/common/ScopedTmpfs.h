// A small tmpfs of its own for tests of full disks, mounted for the life of
// the object and gone (with its folder removed) however the test ends: a
// child process enters a mount namespace of its own (and a user namespace
// when not root), mounts it there and waits; this process reaches it
// through /proc/<child>/root, so its own user and mounts never change and a
// killed test leaves no mount behind. Where that cannot be done,
// Available() is false and Why() says why:
//
//     testjpeg::ScopedTmpfs disk(300 * 1024);
//     if (!disk.Available())
//         GTEST_SKIP() << disk.Why();
#pragma once

#include "TestJpeg.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testjpeg {

class ScopedTmpfs {
public:
    explicit ScopedTmpfs(size_t bytes)
    {
        m_path = m_dir / "disk";
        std::filesystem::create_directory(m_path);
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
        if (MountInChild(options))
            m_path = "/proc/" + std::to_string(m_child) + "/root" + m_path.string();
        else
            m_why = "no tmpfs can be mounted here (" + m_why + ")";
    }
    ~ScopedTmpfs()
    {
        if (m_child > 0) {
            // The mount ends with the child's namespace.
            ::close(m_hold);
            ::kill(m_child, SIGKILL);
            while (::waitpid(m_child, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
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
    // Forks the child that enters a private mount namespace (as root of a
    // new user namespace when this process is not root), mounts the tmpfs at m_path there, reports
    // the errno of the first failing step (0: mounted) and then waits until
    // the hold pipe closes. The child only makes system calls.
    bool MountInChild(const std::string& options)
    {
        const bool root = ::geteuid() == 0;
        const std::string uidMap = "0 " + std::to_string(::geteuid()) + " 1";
        const std::string gidMap = "0 " + std::to_string(::getegid()) + " 1";
        int report[2], hold[2];
        if (::pipe2(report, O_CLOEXEC) != 0)
            return Failed("pipe");
        if (::pipe2(hold, O_CLOEXEC) != 0) {
            ::close(report[0]);
            ::close(report[1]);
            return Failed("pipe");
        }
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(report[0]);
            ::close(hold[1]);
            // The mount goes with this child should the test die first.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            const auto put = [](const char* file, const std::string& text) {
                const int fd = ::open(file, O_WRONLY | O_CLOEXEC);
                const bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
                if (fd >= 0)
                    ::close(fd);
                return ok;
            };
            int step = 0;
            const bool ok = (++step, ::unshare(CLONE_NEWNS | (root ? 0 : CLONE_NEWUSER)) == 0)
                && (++step, root || put("/proc/self/setgroups", "deny"))
                && (++step, root || put("/proc/self/uid_map", uidMap)) && (++step, root || put("/proc/self/gid_map", gidMap))
                && (++step, ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0)
                && (++step, ::mount("tmpfs", m_path.c_str(), "tmpfs", 0, options.c_str()) == 0);
            const int result[2] = {ok ? 0 : step, ok ? 0 : errno};
            if (::write(report[1], result, sizeof result) != sizeof result || !ok)
                _exit(1);
            char byte;
            while (::read(hold[0], &byte, 1) < 0 && errno == EINTR) {
            }
            _exit(0);
        }
        ::close(report[1]);
        ::close(hold[0]);
        int result[2] = {-1, 0};
        ssize_t n;
        while ((n = ::read(report[0], result, sizeof result)) < 0 && errno == EINTR) {
        }
        ::close(report[0]);
        if (pid > 0 && n == sizeof result && result[0] == 0) {
            m_child = pid;
            m_hold = hold[1];
            m_mounted = true;
            return true;
        }
        ::close(hold[1]);
        if (pid < 0)
            return Failed("fork");
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        static const char* const steps[] = {"?", "unshare", "setgroups", "uid_map", "gid_map", "private /", "mount"};
        errno = result[1];
        return Failed(steps[result[0] > 0 && result[0] < 7 ? result[0] : 0]);
    }
    bool Failed(const char* what)
    {
        m_why += std::string(m_why.empty() ? "" : "; ") + what + ": " + std::strerror(errno);
        return false;
    }

    TempDir m_dir;
    std::filesystem::path m_path;
    bool m_mounted = false;
    std::string m_why;
    pid_t m_child = -1; // holds the namespace of the mount
    int m_hold = -1;    // its end closes when this object goes
};

} // namespace testjpeg
