// The Wayland compositor's socket as a client finds it (WAYLAND_DISPLAY, a
// name in XDG_RUNTIME_DIR or a full path, "wayland-0" when unset), and what
// is wrong with it when nobody answers there.
#pragma once

#include <string>

namespace fw {

// Empty when WAYLAND_SOCKET hands over a connection, or when a relative name
// has no runtime folder to be found in.
std::string compositor_socket_path();

// The address and why no compositor answers there ("/run/user/1000/wayland-1:
// no such socket"), given the error of the failed connection (0 when the
// connection was made and then closed during the start).
std::string no_compositor_reason(int connect_error);

}  // namespace fw
