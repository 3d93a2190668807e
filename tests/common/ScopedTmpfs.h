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
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testjpeg {

// Makes this process (a test's child: system calls only) enter a mount
// namespace of its own, private below "/", and a user namespace too when it
// is not root, with its user as root there. 0 when in, else the step that
// failed (1 unshare, 2 setgroups, 3 the user maps, 5 private /), errno
// set.
inline int EnterMountNamespace()
{
    const bool root = ::geteuid() == 0;
    char uidMap[32], gidMap[32];
    std::snprintf(uidMap, sizeof uidMap, "0 %u 1", unsigned(::geteuid()));
    std::snprintf(gidMap, sizeof gidMap, "0 %u 1", unsigned(::getegid()));
    const auto put = [](const char* file, const char* text) {
        const int fd = ::open(file, O_WRONLY | O_CLOEXEC);
        const ssize_t size = ssize_t(std::strlen(text));
        const bool ok = fd >= 0 && ::write(fd, text, size_t(size)) == size;
        if (fd >= 0)
            ::close(fd);
        return ok;
    };
    if (::unshare(CLONE_NEWNS | (root ? 0 : CLONE_NEWUSER)) != 0)
        return 1;
    if (!root && !put("/proc/self/setgroups", "deny"))
        return 2;
    if (!root && (!put("/proc/self/uid_map", uidMap) || !put("/proc/self/gid_map", gidMap)))
        return 3;
    return ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 ? 0 : 5;
}

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
    // Forks the child that enters a mount namespace of its own, mounts the
    // tmpfs at m_path there, reports the errno of the first failing step
    // (0: mounted) and then waits until the hold pipe closes. The child only
    // makes system calls.
    bool MountInChild(const std::string& options)
    {
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
            int step = EnterMountNamespace();
            if (step == 0 && ::mount("tmpfs", m_path.c_str(), "tmpfs", 0, options.c_str()) != 0)
                step = 6;
            const bool ok = step == 0;
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
        static const char* const steps[] = {"?", "unshare", "setgroups", "user maps", "?", "private /", "mount"};
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

// How WithMount mounts: `what` again at `where` (Bind), the same read-only
// (ReadOnly), through a FUSE driver that refuses rename's no-replace flag
// and hard links of folders (Fuse), or a new small tmpfs that everyone may
// write to at `where` (Tmpfs, `what` unused).
enum class Mount { Bind, ReadOnly, Fuse, Tmpfs };

// Runs `body` in a child with a mount namespace of its own (and a user
// namespace when not root) holding the mount, so that nothing outlives the
// child however the test ends. 126: no mount.
inline int WithMount(Mount kind, const std::string& what, const std::string& where, const std::function<int()>& body)
{
    return RunInChild([&] {
        if (EnterMountNamespace() != 0)
            return 126;
        if (kind == Mount::Tmpfs)
            return ::mount("tmpfs", where.c_str(), "tmpfs", 0, "size=4m,mode=0777") == 0 ? body() : 126;
        if (kind != Mount::Fuse) {
            const bool ok = ::mount(what.c_str(), where.c_str(), nullptr, MS_BIND, nullptr) == 0
                && (kind == Mount::Bind
                    || ::mount(nullptr, where.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0);
            return ok ? body() : 126;
        }
        struct stat before {};
        ::stat(where.c_str(), &before);
        const pid_t driver = ::fork();
        if (driver == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::execlp("bindfs", "bindfs", "-f", what.c_str(), where.c_str(), nullptr);
            _exit(126);
        }
        // The mount is there once the folder's device changes.
        bool mounted = false;
        for (int i = 0; driver > 0 && i < 2000 && !mounted && ::waitpid(driver, nullptr, WNOHANG) == 0; ++i) {
            struct stat now {};
            mounted = ::stat(where.c_str(), &now) == 0 && now.st_dev != before.st_dev;
            if (!mounted)
                ::usleep(5000);
        }
        const int result = mounted ? body() : 126;
        ::kill(driver, SIGTERM);
        ::waitpid(driver, nullptr, 0);
        return result;
    });
}

} // namespace testjpeg
