// The Wayland connection's part of the event loop: the windows' pending
// configuration and the input queue before the timers, and around the
// loop's sleep the usual prepare-read, flush, read, dispatch sequence, so
// that no event is left unread in the client's queue while it sleeps.
#include "toolkit/wayland/wayland_platform.h"

#include "toolkit/runtime_error.h"
#include "toolkit/wayland/wayland_window.h"

#include <wayland-client.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace fw {

std::vector<WaylandWindow*> WaylandPlatform::windows() const
{
    std::vector<WaylandWindow*> all;
    for (LoopWindow* window : loop_.windows()) all.push_back(static_cast<WaylandWindow*>(window));
    return all;
}

void WaylandPlatform::connection_lost()
{
    const int error = wl_display_get_error(display_);
    std::fprintf(stderr, "frostwisp: the Wayland compositor went away (%s)\n",
                 error ? std::strerror(error) : "connection closed");
    throw ProgramEnd{1};
}

void WaylandPlatform::dispatch()
{
    // One change of the outputs comes as several events: the scenes are
    // rebuilt once, after all of them.
    if (monitors_dirty_) {
        monitors_dirty_ = false;
        monitors_changed();
        // Placing a surface runs no handler: the windows stay as they are.
        for (WaylandWindow* w : windows()) w->outputs_changed();
    }
    loop_.each_window([](LoopWindow& w) { static_cast<WaylandWindow&>(w).update(); });
    deliver_input();
    focus_due_ = watch_focus(EventLoop::now());
}

int WaylandPlatform::prepare_wait()
{
    while (wl_display_prepare_read(display_) != 0)
        if (wl_display_dispatch_pending(display_) < 0) connection_lost();
    // A full socket is flushed after the wait, when the compositor has read.
    if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(display_);
        connection_lost();
    }
    return wl_display_get_fd(display_);
}

void WaylandPlatform::finish_wait(bool readable)
{
    if (readable) {
        if (wl_display_read_events(display_) < 0) connection_lost();
    } else {
        wl_display_cancel_read(display_);
    }
    if (wl_display_dispatch_pending(display_) < 0) connection_lost();
}

}  // namespace fw
