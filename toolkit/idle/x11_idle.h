// The X server's idle time (the MIT-SCREEN-SAVER extension's
// XScreenSaverQueryInfo) as an idle source. The server sends no event when
// its idle time passes a value of the client's choosing, so the source sets
// a timer to the time that is left and asks again when it runs out; after
// idle() it asks once a second whether input has come. A program that resets
// the server's saver (xset s reset, xdg-screensaver reset) resets the idle
// time and so keeps the saver away.
#pragma once

#include "toolkit/idle/idle_source.h"

#include <cstdint>
#include <memory>

namespace fw {

// Nothing when no X display opens or it lacks the extension.
std::unique_ptr<IdleSource> open_x11_idle(uint32_t delay_ms, IdleListener& listener);

}  // namespace fw
