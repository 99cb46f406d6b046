#include "toolkit/x11/power_saving.h"

#include <algorithm>

namespace fw {

namespace {

// Without power saving to count, or a display that does not say how long it
// has been idle, the next look comes this late; while counting, at least
// this often, so that a change of the timeouts is seen in time.
constexpr std::chrono::milliseconds kIdleLook{5000};
constexpr std::chrono::milliseconds kCountingLook{1000};

bool passed(int timeout, std::chrono::milliseconds idle)
{
    return timeout > 0 && idle >= std::chrono::seconds(timeout);
}

}  // namespace

PowerLevel power_level_for(const PowerTimeouts& timeouts, std::chrono::milliseconds idle)
{
    if (passed(timeouts.off, idle)) return PowerLevel::off;
    if (passed(timeouts.suspend, idle)) return PowerLevel::suspend;
    if (passed(timeouts.standby, idle)) return PowerLevel::standby;
    return PowerLevel::on;
}

std::chrono::milliseconds PowerSaving::check()
{
    level_ = display_.level();
    const std::optional<PowerTimeouts> timeouts = display_.timeouts();
    const std::optional<std::chrono::milliseconds> idle = display_.idle_time();
    if (!timeouts || !idle) return kIdleLook;

    const PowerLevel wanted = power_level_for(*timeouts, *idle);
    if (wanted > level_) {
        display_.force_level(wanted);
        level_ = display_.level();
    }
    // The next timeout still ahead, if it comes before the regular look.
    std::chrono::milliseconds next = kCountingLook;
    for (const int timeout : {timeouts->standby, timeouts->suspend, timeouts->off}) {
        const auto at = std::chrono::milliseconds(std::chrono::seconds(timeout));
        if (timeout > 0 && at > *idle) next = std::min(next, at - *idle);
    }
    return next;
}

}  // namespace fw
