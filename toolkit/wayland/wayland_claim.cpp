// One full-screen saver per compositor: a claim that the saver holds while
// it runs (its kind, and why, with claim_compositor in compositor_socket.h).
#include "toolkit/wayland/wayland_platform.h"

#include "toolkit/linux/compositor_socket.h"

#include <cstdio>

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
    return fw::claim_compositor(claim_fd_) != ClaimResult::taken;
}

}  // namespace fw
