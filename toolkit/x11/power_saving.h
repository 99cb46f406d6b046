// Display power saving done by the program itself. While the full-screen
// saver holds the X server's screen saver off, the server's power-saving
// timer stands still with it; the program then counts the user's standby,
// suspend and off timeouts from the last input itself and switches the
// outputs down, as the server would have.
#pragma once

#include <chrono>
#include <optional>

namespace fw {

enum class PowerLevel { on, standby, suspend, off };

// Seconds from the last input; 0 switches a level off.
struct PowerTimeouts {
    int standby = 0;
    int suspend = 0;
    int off = 0;
};

// What the display tells about its power saving, and the one thing it is told.
class DisplayPower {
public:
    virtual ~DisplayPower() = default;
    // Nothing where the display has no power saving or the user switched it off.
    virtual std::optional<PowerTimeouts> timeouts() = 0;
    // The time since the last input, where the display knows it.
    virtual std::optional<std::chrono::milliseconds> idle_time() = 0;
    virtual PowerLevel level() = 0;
    virtual void force_level(PowerLevel level) = 0;
};

// The deepest level whose timeout has passed after idle time without input.
PowerLevel power_level_for(const PowerTimeouts& timeouts, std::chrono::milliseconds idle);

class PowerSaving {
public:
    explicit PowerSaving(DisplayPower& display) : display_(display) {}

    // Looks at the display and lowers its power where a timeout has passed;
    // never raises it (input does that, or whoever else switched it).
    // Returns how long until the next look is due.
    std::chrono::milliseconds check();
    // The outputs are dark: nothing drawn would be seen.
    bool outputs_off() const { return level_ != PowerLevel::on; }

private:
    DisplayPower& display_;
    PowerLevel level_ = PowerLevel::on;  // as the display said at the last look
};

}  // namespace fw
