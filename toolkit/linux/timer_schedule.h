// When a window's timer fires next. Ticks run one after another in the event
// loop; the next one is due an interval after the last one was due, so the
// rate holds, but never before the last one has finished: a late tick delays
// the next instead of piling ticks up.
#pragma once

#include <algorithm>
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

// A window's timer in an event loop: its interval, whether it runs, and when
// it is due next. align(due, interval, earliest) puts a due time in step
// with the loop's other timers (tick_in_step over them).
class TickTimer {
public:
    bool running() const { return enabled_ && interval_ > 0; }
    SteadyTime due() const { return due_; }
    std::chrono::milliseconds interval() const { return std::chrono::milliseconds(interval_); }

    template <class Align> void set(int interval_ms, bool enabled, Align align)
    {
        if (enabled && !enabled_) {
            const SteadyTime t = std::chrono::steady_clock::now();
            due_ = align(t + std::chrono::milliseconds(interval_ms), std::chrono::milliseconds(interval_ms), t);
        }
        interval_ = interval_ms;
        enabled_ = enabled;
    }
    void stop() { enabled_ = false; }
    // After the tick that was due at due and fired at fired: the next one,
    // unless the tick's handler stopped and restarted the timer, which has
    // set its own due time then.
    template <class Align> void advance(SteadyTime due, SteadyTime fired, Align align)
    {
        if (!enabled_ || due_ != due) return;
        const SteadyTime finished = std::max(fired, std::chrono::steady_clock::now());
        due_ = align(next_tick_due(due, interval(), finished), interval(), finished);
    }

private:
    int interval_ = 0;
    bool enabled_ = false;
    SteadyTime due_{};
};

}  // namespace fw
