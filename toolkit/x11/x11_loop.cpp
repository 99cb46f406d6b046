// The X connection's part of the event loop: Xlib's queue read and handed
// to the windows before the timers, and at frame rate read once a round,
// after the frame went out, instead of waking for every event.
#include "toolkit/x11/x11_platform.h"

#include "toolkit/x11/x11_window.h"

#include <X11/extensions/Xrandr.h>

#include <algorithm>

namespace fw {

namespace {

// Timers at least this fast drive the reading of the connection.
constexpr auto kFrameInterval = std::chrono::milliseconds(50);

}  // namespace

std::vector<X11Window*> X11Platform::windows() const
{
    std::vector<X11Window*> all;
    for (LoopWindow* window : loop_.windows()) all.push_back(static_cast<X11Window*>(window));
    return all;
}

void X11Platform::watch(Window window, X11Window* handler) { watched_[window] = handler; }

void X11Platform::unwatch(X11Window* handler)
{
    std::erase_if(watched_, [&](const auto& entry) { return entry.second == handler; });
}

void X11Platform::dispatch(XEvent& event)
{
    if (watching_monitors_ && event.xany.window == DefaultRootWindow(display_) &&
        (event.type == ConfigureNotify || (randr_event_base_ >= 0 && event.type == randr_event_base_ + RRScreenChangeNotify))) {
        // Keeps Xlib's idea of the screen size up to date.
        XRRUpdateConfiguration(&event);
        monitors_dirty_ = true;
        return;
    }
    const auto found = watched_.find(event.xany.window);
    if (found != watched_.end()) found->second->handle_event(event);
}

void X11Platform::dispatch_queued()
{
    while (XEventsQueued(display_, QueuedAlready) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        dispatch(event);
    }
}

bool X11Platform::timers_paused(SteadyTime t)
{
    // With the outputs powered down the windows' timers wait, so that
    // nothing is drawn and sent that no one sees.
    if (power_saving_ && t >= next_power_look_) next_power_look_ = t + power_saving_->check();
    return power_saving_ && power_saving_->outputs_off();
}

void X11Platform::after_timers(bool dark)
{
    // While a window animates, the connection is read once a round, after
    // its frame went out, and what came is handled at once; until the next
    // frame only a signal wakes the program. An event then waits at most a
    // frame, and the server's report of each finished image put costs no
    // wake-up of its own. Xlib reads as it flushes a frame, so the look here
    // usually finds that report already queued and needs no call of its own;
    // with nothing queued it flushes what the handlers left and reads.
    animating_ = false;
    for (const X11Window* window : windows())
        animating_ = animating_ || (!dark && window->timer_running() && window->timer_interval() <= kFrameInterval);
    if (animating_) {
        XPending(display_);
        dispatch_queued();
    }
}

bool X11Platform::pending()
{
    // Flushing may read events off the connection into Xlib's queue, where
    // polling the connection would not see them: flush and look first.
    return !animating_ && XPending(display_) > 0;
}

SteadyTime X11Platform::wake_by(SteadyTime wake, SteadyTime t)
{
    if (power_saving_) wake = std::min(wake, next_power_look_);
    for (const X11Window* window : windows())
        if (window->grab_pending()) wake = std::min(wake, t + std::chrono::milliseconds(50));
    return wake;
}

int X11Platform::prepare_wait() { return animating_ ? -1 : ConnectionNumber(display_); }

void X11Platform::dispatch()
{
    // What the server sent while the program slept; at frame rate that is
    // read at the end of the last round instead (see after_timers).
    if (!animating_) XEventsQueued(display_, QueuedAfterReading);
    dispatch_queued();
    // One change of the monitors comes as several events: the scenes are
    // rebuilt once, after all of them.
    if (monitors_dirty_) {
        monitors_dirty_ = false;
        monitors_changed();
    }
}

}  // namespace fw
