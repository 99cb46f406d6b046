// One full-screen saver per compositor: an advisory lock (flock) on a file
// beside the compositor's socket, held while the saver runs.
#include "toolkit/wayland/wayland_platform.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fw {

void WaylandPlatform::set_screensaver_running(bool running)
{
    if (running && !claim_compositor()) {
        // A second saver would cover the first, and a key would end only one.
        std::fprintf(stderr, "frostwisp: the saver already runs on this compositor\n");
        end_program();
    }
}

bool WaylandPlatform::claim_compositor()
{
    if (claim_fd_ >= 0) return true;
    // A lock beside the compositor's socket, held as long as the process
    // lives: a saver that dies leaves no claim behind. Without a name for
    // the compositor (a socket handed over) there is nothing to share it by.
    if (std::getenv("WAYLAND_SOCKET")) return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const char* socket = std::getenv("WAYLAND_DISPLAY");
    std::string path = socket && *socket ? socket : "wayland-0";
    if (!path.starts_with('/')) {
        if (!runtime || !*runtime) return true;
        path = std::string(runtime) + "/" + path;
    }
    path += ".frostwisp-saver";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) return true;  // nowhere to keep the lock: run rather than refuse
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool taken = errno == EWOULDBLOCK;
        ::close(fd);
        return !taken;
    }
    claim_fd_ = fd;
    return true;
}

}  // namespace fw
