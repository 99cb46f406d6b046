#include "toolkit/x11/power_saving.h"

#include <gtest/gtest.h>

#include <vector>

namespace fw {
namespace {

using namespace std::chrono_literals;

// A display as the DPMS extension shows it: it takes a forced level, and
// input (set_level here) brings it back on.
class FakeDisplayPower : public DisplayPower {
public:
    std::optional<PowerTimeouts> configured{PowerTimeouts{600, 900, 1200}};
    std::optional<std::chrono::milliseconds> idle{0ms};
    PowerLevel current = PowerLevel::on;
    std::vector<PowerLevel> forced;

    std::optional<PowerTimeouts> timeouts() override { return configured; }
    std::optional<std::chrono::milliseconds> idle_time() override { return idle; }
    PowerLevel level() override { return current; }
    void force_level(PowerLevel level) override
    {
        forced.push_back(level);
        current = level;
    }
};

TEST(PowerSaving, TheDeepestLevelWhoseTimeoutHasPassed)
{
    const PowerTimeouts all{600, 900, 1200};
    EXPECT_EQ(power_level_for(all, 599'999ms), PowerLevel::on);
    EXPECT_EQ(power_level_for(all, 600s), PowerLevel::standby);
    EXPECT_EQ(power_level_for(all, 900s), PowerLevel::suspend);
    EXPECT_EQ(power_level_for(all, 1200s), PowerLevel::off);
    EXPECT_EQ(power_level_for(all, 100h), PowerLevel::off);
    // 0 switches a level off; equal timeouts go to the deeper level.
    EXPECT_EQ(power_level_for({0, 0, 300}, 299s), PowerLevel::on);
    EXPECT_EQ(power_level_for({0, 0, 300}, 300s), PowerLevel::off);
    EXPECT_EQ(power_level_for({0, 300, 0}, 1h), PowerLevel::suspend);
    EXPECT_EQ(power_level_for({300, 300, 300}, 300s), PowerLevel::off);
    EXPECT_EQ(power_level_for({}, 100h), PowerLevel::on);
}

TEST(PowerSaving, PowersDownStepByStepAsTheIdleTimeGrows)
{
    FakeDisplayPower display;
    PowerSaving saving(display);
    display.idle = 10s;
    EXPECT_EQ(saving.check(), 1s);  // the next timeout is far off
    EXPECT_TRUE(display.forced.empty());
    EXPECT_FALSE(saving.outputs_off());

    display.idle = 599'700ms;
    EXPECT_EQ(saving.check(), 300ms);  // looks again just when standby is due
    display.idle = 600s;
    saving.check();
    display.idle = 1300s;
    saving.check();
    saving.check();
    EXPECT_EQ(display.forced, (std::vector<PowerLevel>{PowerLevel::standby, PowerLevel::off}));
    EXPECT_TRUE(saving.outputs_off());
}

TEST(PowerSaving, LeavesTheLevelToInputAndToTheUser)
{
    FakeDisplayPower display;
    PowerSaving saving(display);
    display.idle = 2000s;
    saving.check();
    ASSERT_TRUE(saving.outputs_off());

    // Input switches the outputs on and starts the count again: the frames go on.
    display.current = PowerLevel::on;
    display.idle = 0ms;
    saving.check();
    EXPECT_FALSE(saving.outputs_off());
    EXPECT_EQ(display.forced.size(), 1u);

    // Another client switched the outputs off: never raised, nothing forced.
    display.current = PowerLevel::off;
    display.idle = 700s;
    saving.check();
    EXPECT_TRUE(saving.outputs_off());
    EXPECT_EQ(display.forced.size(), 1u);

    // Power saving switched off by the user, or a display without it.
    display.current = PowerLevel::on;
    display.configured.reset();
    display.idle = 100h;
    EXPECT_EQ(saving.check(), 5s);
    display.configured = PowerTimeouts{600, 900, 1200};
    display.idle.reset();
    saving.check();
    EXPECT_EQ(display.forced.size(), 1u);
    EXPECT_FALSE(saving.outputs_off());
}

}  // namespace
}  // namespace fw
