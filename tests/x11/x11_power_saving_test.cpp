// The X11 loop with the outputs powered down by the full-screen saver's own
// power saving: the frames wait while they are off and go on once input
// switched them on again. A display stands in for the server's DPMS, which
// the virtual X servers here do not have.
// GoogleTest before Xlib, whose None macro would break it.
#include <gtest/gtest.h>

#include "toolkit/headless/headless_platform.h"
#include "toolkit/form.h"
#include "toolkit/x11/x11_platform.h"

#include <signal.h>
#include <unistd.h>

#include <thread>
#include <vector>

namespace fw {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Off after a second without input; input comes at input_at, and wakes the
// outputs as the server does.
class ClockedPower : public DisplayPower {
public:
    explicit ClockedPower(Clock::time_point start) : start_(start), input_at(start + 1500ms) {}

    std::optional<PowerTimeouts> timeouts() override { return PowerTimeouts{0, 0, 1}; }
    std::optional<std::chrono::milliseconds> idle_time() override
    {
        const auto now = Clock::now();
        return std::chrono::duration_cast<std::chrono::milliseconds>(now - (now >= input_at ? input_at : start_));
    }
    PowerLevel level() override
    {
        if (Clock::now() >= input_at && forced_at_ < input_at) return PowerLevel::on;
        return forced_;
    }
    void force_level(PowerLevel level) override
    {
        forced_ = level;
        forced_at_ = Clock::now();
        if (level == PowerLevel::off && !off_at) off_at = forced_at_;
    }

    std::optional<Clock::time_point> off_at;

private:
    Clock::time_point start_;
    PowerLevel forced_ = PowerLevel::on;
    Clock::time_point forced_at_{};

public:
    const Clock::time_point input_at;  // after start_, which it is made from
};

class Ticker : public Form {
public:
    Ticker() : Form("Ticker", design()) {}
    void Timer_Timer() override { ticks.push_back(Clock::now()); }
    std::vector<Clock::time_point> ticks;

private:
    static FormDesign design()
    {
        FormDesign d;
        d.border = BorderStyle::none;
        d.client_width_px = 32;
        d.client_height_px = 32;
        return d;
    }
};

TEST(X11PowerSaving, FramesWaitWhileTheOutputsAreOff)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) GTEST_SKIP() << "no X display";
    const auto start = Clock::now();
    MemoryStore settings;
    X11Platform platform(display, {"/S"}, settings);
    auto owned = std::make_unique<ClockedPower>(start);
    ClockedPower& power = *owned;
    platform.use_display_power(std::move(owned));
    install_platform(&platform);

    // The full-screen saver's start: activation off, then running.
    platform.set_screensaver_active(false);
    platform.set_screensaver_running(true);
    Ticker& ticker = Forms::create<Ticker>();
    ticker.Load();
    ticker.window().set_timer(30, true);
    // The loop ends on SIGTERM, as the program does.
    std::thread stopper([] {
        std::this_thread::sleep_for(2600ms);
        kill(getpid(), SIGTERM);
    });
    platform.loop().run();
    stopper.join();
    platform.set_screensaver_active(true);
    Forms::discard_all();
    install_platform(nullptr);

    ASSERT_TRUE(power.off_at) << "the outputs were never switched off";
    EXPECT_GE(*power.off_at - start, 1000ms);
    EXPECT_LT(*power.off_at - start, 1400ms);
    int before = 0, while_off = 0, after = 0;
    for (const auto tick : ticker.ticks) {
        if (tick <= *power.off_at) ++before;
        else if (tick < power.input_at) ++while_off;
        else ++after;
    }
    EXPECT_GE(before, 15);
    EXPECT_EQ(while_off, 0);
    EXPECT_GE(after, 5) << "the frames did not go on after input";
}

}  // namespace
}  // namespace fw
