// Keyboard focus of the scenes. A compositor may hand the keyboard or the
// activation to a window that opens while the saver runs: a layer surface
// asks for the keyboard once more, and a scene that stays without it (or a
// fullscreen scene no longer active) ends the saver rather than run on deaf
// to keys or unseen under another window. GNOME Shell's Activities overview
// is closed before the first fullscreen scene maps.
#include "toolkit/idle/session_bus.h"
#include "toolkit/wayland/wayland_platform.h"
#include "toolkit/wayland/wayland_window.h"

#include <wayland-client.h>

#include <utility>
#include <vector>

namespace fw {

void WaylandPlatform::leave_overview()
{
    if (std::exchange(overview_left_, true)) return;
    if (const auto bus = SessionBus::connect()) bus->close_overview();
}

SteadyTime WaylandPlatform::watch_focus(SteadyTime now)
{
    // Focus moves between the scenes' own surfaces as leave and enter, one
    // after the other: a loss counts only once it has lasted a moment.
    constexpr auto kSettle = std::chrono::milliseconds(150);
    constexpr auto kGiveUp = std::chrono::seconds(1);
    constexpr SteadyTime kNever = SteadyTime::max();
    bool placed = false, any_toplevel = false, active = false;
    // Every round of the loop passes here: the registry is read in place.
    const std::vector<LoopWindow*>& scenes = loop_.windows();
    for (LoopWindow* window : scenes) {
        const auto* w = static_cast<const WaylandWindow*>(window);
        if (!w->surface()) continue;
        placed = true;
        any_toplevel = any_toplevel || w->is_toplevel();
        active = active || w->active();
    }
    had_focus_ = had_focus_ || active;
    const bool keyboard_held = keyboard_ && window_of(keyboard_surface_);
    const bool lost = any_toplevel ? had_focus_ && !active : had_keyboard_ && keyboard_ && !keyboard_held;
    if (!lost || !placed) {
        focus_lost_ = SteadyTime{};
        reclaimed_ = false;
        return kNever;
    }
    if (focus_lost_ == SteadyTime{}) focus_lost_ = now;
    if (!any_toplevel && !reclaimed_ && now - focus_lost_ >= kSettle) {
        reclaimed_ = true;
        for (LoopWindow* window : scenes) static_cast<WaylandWindow*>(window)->reclaim_keyboard();
        wl_display_flush(display_);
    }
    if (now - focus_lost_ >= kGiveUp) {
        static_cast<WaylandWindow*>(scenes.front())->lost_to_system();
        return kNever;
    }
    return focus_lost_ + (reclaimed_ || any_toplevel ? kGiveUp : kSettle);
}

}  // namespace fw
