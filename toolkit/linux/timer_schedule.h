// When a window's timer fires next. Ticks run one after another in the event
// loop; the next one is due an interval after the last one was due, so the
// rate holds, but never before the last one has finished: a late tick delays
// the next instead of piling ticks up.
#pragma once

#include <chrono>
#include <vector>

namespace fw {

using SteadyTime = std::chrono::steady_clock::time_point;

inline SteadyTime next_tick_due(SteadyTime due, std::chrono::milliseconds interval, SteadyTime finished)
{
    const SteadyTime next = due + interval;
    return next < finished ? finished : next;
}

// Timers of one interval tick in step, so that the loop wakes once for all
// of them: where another one of them comes due within half an interval of
// due, and not before earliest, that time; else due.
inline SteadyTime tick_in_step(SteadyTime due, std::chrono::milliseconds interval, SteadyTime earliest,
                               const std::vector<SteadyTime>& others_due)
{
    for (const SteadyTime theirs : others_due) {
        const auto apart = theirs > due ? theirs - due : due - theirs;
        if (theirs >= earliest && 2 * apart <= interval) return theirs;
    }
    return due;
}

}  // namespace fw
