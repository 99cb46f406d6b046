// The compositor's idle notification as an idle source: ext_idle_notifier_v1
// where the compositor offers it, else KDE's org_kde_kwin_idle, on a
// connection of the watcher's own. Both count idle inhibitors (a video
// player's zwp_idle_inhibitor_v1) as the compositor does for its own
// blanking, so what keeps the screen awake keeps the saver away.
#pragma once

#include "toolkit/idle/idle_source.h"

#include <cstdint>
#include <memory>

namespace fw {

// Nothing when no compositor answers at WAYLAND_DISPLAY, or when it offers
// neither protocol or no seat. delay_ms: at least 1.
std::unique_ptr<IdleSource> connect_wayland_idle(uint32_t delay_ms, IdleListener& listener);

}  // namespace fw
