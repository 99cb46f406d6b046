#include "toolkit/linux/compositor_socket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fw {

namespace {

std::string variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

std::string compositor_socket_path()
{
    if (!variable("WAYLAND_SOCKET").empty()) return {};
    std::string name = variable("WAYLAND_DISPLAY");
    if (name.empty()) name = "wayland-0";
    if (name.starts_with('/')) return name;
    const std::string runtime = variable("XDG_RUNTIME_DIR");
    if (runtime.empty()) return {};
    return runtime + "/" + name;
}

std::string no_compositor_reason(int connect_error)
{
    if (const std::string fd = variable("WAYLAND_SOCKET"); !fd.empty())
        return "the connection handed over in WAYLAND_SOCKET=" + fd + ": " +
               (connect_error ? std::strerror(connect_error) : "closed during the start");
    const std::string path = compositor_socket_path();
    if (path.empty()) {
        const std::string name = variable("WAYLAND_DISPLAY");
        return (name.empty() ? "wayland-0" : name) + ": XDG_RUNTIME_DIR is not set, so there is no folder to find it in";
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return path + ": " + (errno == ENOENT ? std::string("no such socket") : std::strerror(errno));
    if (S_ISDIR(st.st_mode)) return path + ": a folder, not a socket";
    if (!S_ISSOCK(st.st_mode)) return path + ": not a socket";
    if (connect_error == ECONNREFUSED) return path + ": refused (nobody listens there)";
    if (connect_error) return path + ": " + std::strerror(connect_error);
    return path + ": the compositor closed the connection during the start";
}

// The claim is a name in the kernel's abstract socket namespace, bound by the
// saver that runs. It is no file, so it holds whoever started the first saver
// (root through sudo, say) and wherever the runtime folder cannot be written,
// and the kernel drops it with the process. The name is the compositor
// socket's device and inode: the same for every client of the compositor,
// Wayland or XWayland, and unknown to other users, who cannot look into the
// runtime folder.
ClaimResult claim_compositor(int& fd)
{
    fd = -1;
    const std::string path = compositor_socket_path();
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) return ClaimResult::none;
    char name[64];
    const int length = std::snprintf(name, sizeof name, "frostwisp-saver-%llx-%llx",
                                     static_cast<unsigned long long>(st.st_dev),
                                     static_cast<unsigned long long>(st.st_ino));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name, static_cast<size_t>(length));  // sun_path[0] = 0: abstract
    const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return ClaimResult::none;
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<size_t>(length));
    if (::bind(s, reinterpret_cast<const sockaddr*>(&address), size) != 0) {
        const bool taken = errno == EADDRINUSE;
        ::close(s);
        return taken ? ClaimResult::taken : ClaimResult::none;
    }
    fd = s;
    return ClaimResult::held;
}

}  // namespace fw
