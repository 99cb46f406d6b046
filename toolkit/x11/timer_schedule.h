// When a window's timer fires next. Ticks run one after another in the event
// loop; the next one is due an interval after the last one was due, so the
// rate holds, but never before the last one has finished: a late tick delays
// the next instead of piling ticks up.
#pragma once

#include <chrono>

namespace fw {

using SteadyTime = std::chrono::steady_clock::time_point;

inline SteadyTime next_tick_due(SteadyTime due, std::chrono::milliseconds interval, SteadyTime finished)
{
    const SteadyTime next = due + interval;
    return next < finished ? finished : next;
}

}  // namespace fw
