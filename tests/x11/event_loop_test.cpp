// The Linux event loop on a real X display: what a third user hangs on it
// (a file, a timer, a signal) runs in the loop, and a handler that unloads
// another form stops that form's window for good.
// GoogleTest before Xlib, whose macros (None, Bool) would break it.
#include <gtest/gtest.h>

#include "toolkit/headless/headless_platform.h"
#include "toolkit/form.h"
#include "toolkit/x11/x11_platform.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace fw {
namespace {

using namespace std::chrono_literals;

class LoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Display* display = XOpenDisplay(nullptr);
        if (!display) GTEST_SKIP() << "no X display";
        platform_ = std::make_unique<X11Platform>(display, std::vector<std::string>{"/S"}, settings_);
        install_platform(platform_.get());
    }
    void TearDown() override
    {
        Forms::discard_all();
        install_platform(nullptr);
    }
    EventLoop& loop() { return platform_->loop(); }

    MemoryStore settings_;
    std::unique_ptr<X11Platform> platform_;
};

TEST_F(LoopTest, FilesTimersAndSignalsRunInTheLoopUntilAnEndingSignal)
{
    int pipe_fds[2];
    ASSERT_EQ(pipe2(pipe_fds, O_CLOEXEC | O_NONBLOCK), 0);
    int reads = 0, fired = 0, cancelled = 0, usr1 = 0;
    loop().watch_fd(pipe_fds[0], [&] {
        char byte;
        while (read(pipe_fds[0], &byte, 1) == 1) ++reads;
    });
    const auto start = EventLoop::now();
    SteadyTime fired_at{};
    loop().add_timer(start + 100ms, [&] {
        ++fired;
        fired_at = EventLoop::now();
    });
    loop().cancel_timer(loop().add_timer(start + 50ms, [&] { ++cancelled; }));
    loop().on_signal(SIGUSR1, [&] { ++usr1; });

    std::thread outside([&] {
        std::this_thread::sleep_for(200ms);
        [[maybe_unused]] const auto written = write(pipe_fds[1], "ab", 2);
        std::this_thread::sleep_for(100ms);
        kill(getpid(), SIGUSR1);
        std::this_thread::sleep_for(100ms);
        kill(getpid(), SIGTERM);
    });
    const bool finished = loop().run_while([] { return true; });
    outside.join();
    close(pipe_fds[0]);
    close(pipe_fds[1]);

    EXPECT_FALSE(finished) << "SIGTERM did not end the loop";
    EXPECT_TRUE(loop().ended());
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(fired, 1);
    EXPECT_GE(fired_at - start, 100ms);
    EXPECT_LT(fired_at - start, 190ms) << "the loop slept past its timer";
    EXPECT_EQ(cancelled, 0);
    EXPECT_EQ(usr1, 1);
}

// Its first tick unloads the other form; the other's window must not tick again.
class Ticker : public Form {
public:
    Ticker() : Form("Ticker", [] {
        FormDesign d;
        d.client_width_px = d.client_height_px = 16;
        return d;
    }()) {}
    void Timer_Timer() override
    {
        ++ticks;
        if (victim) victim->Unload();
        if (ticks == 5) Unload();
    }
    Ticker* victim = nullptr;
    int ticks = 0;
};

TEST_F(LoopTest, AHandlerThatUnloadsAnotherFormStopsItsWindow)
{
    Ticker& first = Forms::create<Ticker>();
    Ticker& second = Forms::create<Ticker>();
    first.Load();
    second.Load();
    first.victim = &second;
    // Both due in the same round, the first ahead.
    first.window().set_timer(20, true);
    second.window().set_timer(20, true);
    loop().run();
    EXPECT_EQ(first.ticks, 5);
    EXPECT_EQ(second.ticks, 0);
    EXPECT_EQ(Forms::count(), 0);
}

}  // namespace
}  // namespace fw
