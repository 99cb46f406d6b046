// The Wayland compositor's socket as a client finds it (WAYLAND_DISPLAY, a
// name in XDG_RUNTIME_DIR or a full path, "wayland-0" when unset), what is
// wrong with it when nobody answers there, and the one-saver claim on it.
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

enum class ClaimResult { held, taken, none };

// Claims the compositor for this process's saver. Held: the claim is fd,
// kept open for as long as the saver runs. Taken: another saver holds it.
// None: there is no socket to claim by, and the saver runs.
ClaimResult claim_compositor(int& fd);

}  // namespace fw
