#include "toolkit/idle/idle_watcher.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace fw {

namespace {

// A saver ends on SIGTERM and restores what it changed; one that takes longer
// than this is killed, so that the watcher ends within a second.
constexpr int kEndGraceMs = 800;

int open_pidfd(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); }

}  // namespace

void SaverChild::idle()
{
    if (running() || locked_) return;
    if (before_start) before_start();
    std::vector<char*> argv;
    for (std::string& a : command_) argv.push_back(a.data());
    argv.push_back(nullptr);
    // The program file by its own name, so that the saver is called
    // frostwisp in the process list; the link itself where the file has gone
    // (a package upgrade replaced it).
    char program[4096];
    const ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
    program[length > 0 ? length : 0] = '\0';
    if (length <= 0 || access(program, X_OK) != 0) std::strcpy(program, "/proc/self/exe");
    const pid_t watcher = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        std::fprintf(stderr, "frostwisp: cannot start the saver: %s\n", std::strerror(errno));
        return;
    }
    if (pid == 0) {
        // A watcher killed outright takes its saver along.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != watcher) _exit(0);
        execv(program, argv.data());
        _exit(127);
    }
    pid_ = pid;
    pidfd_ = open_pidfd(pid);
}

void SaverChild::reap()
{
    if (pid_ <= 0) return;
    if (waitpid(pid_, nullptr, WNOHANG) == 0) return;
    pid_ = -1;
    if (pidfd_ >= 0) close(pidfd_);
    pidfd_ = -1;
}

void SaverChild::lock_changed(bool on)
{
    locked_ = on;
    if (on) end();
}

void SaverChild::end()
{
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    pollfd p{pidfd_, POLLIN, 0};
    if (pidfd_ < 0 || poll(&p, 1, kEndGraceMs) <= 0) kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    if (pidfd_ >= 0) close(pidfd_);
    pidfd_ = -1;
}

bool take_session_lock(const std::string& session_key)
{
    std::string name = "frostwisp-idle-";
    for (char c : session_key) name += (c == '/' || c == '\0') ? '_' : c;
    name += ".lock";
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string path = runtime && *runtime ? std::string(runtime) + "/" + name
                                                 : "/tmp/" + std::to_string(getuid()) + "-" + name;
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
    // Where no lock file can be had, the watcher runs rather than not at all.
    if (fd < 0) return true;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    const bool held = errno == EWOULDBLOCK;
    close(fd);
    return !held;
}

}  // namespace fw
