#include "toolkit/linux/compositor_socket.h"

#include <sys/stat.h>

#include <cerrno>
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

}  // namespace fw
