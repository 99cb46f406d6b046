// The Linux program's event loop, a poll(2) reactor written once for the X11
// and the Wayland backends: the display connection, the signal pipe, the
// windows' timers and whatever else is hung on it wake one loop, which calls
// the handlers one at a time.
//
// The display connection is the backend's (LoopConnection: what to read,
// what to wait on); the windows are LoopWindows, which register themselves
// and whose timers tick in step. Anything else hangs its work on the loop:
//
//     EventLoop& loop = platform.loop();
//     const auto fd = loop.watch_fd(socket, [&] { read_what_came(socket); });
//     const auto timer = loop.add_timer(EventLoop::now() + 5s, [&] { check(); });  // once
//     loop.on_signal(SIGCHLD, [&] { reap(); });
//     loop.run_while([&] { return watching; });  // false when SIGTERM, SIGINT or SIGHUP came
//     loop.unwatch_fd(fd);
//     loop.cancel_timer(timer);
//
// A handler may destroy windows, load forms and add or remove sources; the
// loop looks at each afresh before using it.
#pragma once

#include "toolkit/form.h"
#include "toolkit/linux/timer_schedule.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace fw {

class EventLoop;

// What a display connection does in each round of the loop.
class LoopConnection {
public:
    virtual ~LoopConnection() = default;
    // Handles what the display sent, before the timers.
    virtual void dispatch() = 0;
    // Whether the windows' timers wait this round (nothing is seen anyway).
    virtual bool timers_paused(SteadyTime) { return false; }
    // After the timers of the round.
    virtual void after_timers(bool /*paused*/) {}
    // Whether something is waiting already, so that the loop must not sleep.
    virtual bool pending() { return false; }
    // wake, or earlier when the connection needs a round before that.
    virtual SteadyTime wake_by(SteadyTime wake, SteadyTime /*now*/) { return wake; }
    // Right before the loop sleeps: the file to wake on, or -1 for none.
    virtual int prepare_wait() = 0;
    // Right after: whether that file has something to read.
    virtual void finish_wait(bool /*readable*/) {}
};

// A window whose timer the loop runs; registered with the loop from its
// construction to its destruction.
class LoopWindow : public NativeWindow {
public:
    LoopWindow(EventLoop& loop, Form& form);
    ~LoopWindow() override;

    void set_timer(int interval_ms, bool enabled) final;
    // Runs the form's Timer_Timer, then schedules the next tick. The handler
    // may destroy this window.
    void fire_timer(SteadyTime now);
    // Each round, before the timer is looked at (the window may be gone after).
    virtual void before_tick(SteadyTime) {}
    bool timer_running() const { return timer_.running(); }
    SteadyTime timer_due() const { return timer_.due(); }
    std::chrono::milliseconds timer_interval() const { return timer_.interval(); }

protected:
    void stop_timer() { timer_.stop(); }

    EventLoop& loop_;
    Form& form_;

private:
    TickTimer timer_;
};

class EventLoop {
public:
    using SourceId = uint64_t;

    // SIGTERM, SIGINT and SIGHUP end the loop from now on.
    explicit EventLoop(LoopConnection& connection);
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    static SteadyTime now() { return std::chrono::steady_clock::now(); }

    // Runs rounds while wanted() holds; false when a signal ended the loop,
    // which it stays from then on.
    bool run_while(const std::function<bool()>& wanted);
    // While any form is loaded; then releases the unloaded ones.
    void run();
    // Until form is unloaded (a modal window).
    void run_until_unloaded(Form& form);
    bool ended() const { return ended_; }

    // The windows, in the order they came.
    void add(LoopWindow* window);
    void remove(LoopWindow* window);
    const std::vector<LoopWindow*>& windows() const { return windows_; }
    // Calls visit for each window there is when it starts, skipping the ones
    // an earlier call destroyed.
    void each_window(const std::function<void(LoopWindow&)>& visit) const;
    // When a timer of window with this interval comes due, given when it
    // would: timers of one interval tick in step, so that the loop wakes once
    // for all of them (tick_in_step over the others).
    SteadyTime in_step(const LoopWindow* window, SteadyTime due, std::chrono::milliseconds interval,
                       SteadyTime earliest) const;

    // The dialogs' toolkit reads its own connection: once it is open, pump
    // runs each round and the loop wakes for it at least every 10 ms.
    void pump_dialogs_with(std::function<void()> pump);

    // readable runs when fd has something to read (or has hung up).
    SourceId watch_fd(int fd, std::function<void()> readable);
    void unwatch_fd(SourceId id);
    // fire runs once, in the first round at or after due.
    SourceId add_timer(SteadyTime due, std::function<void()> fire);
    void cancel_timer(SourceId id);
    // handler runs in the loop after signal came; the ending signals still end it.
    void on_signal(int signal, std::function<void()> handler);

private:
    struct FdSource {
        int fd;
        std::function<void()> readable;
    };
    struct TimerSource {
        SteadyTime due;
        std::function<void()> fire;
    };

    // One round, which sleeps only while wanted() holds; false when a signal
    // ended the loop.
    bool run_once(const std::function<bool()>& wanted);
    void fire_timers(SteadyTime now);
    bool take_signals();

    LoopConnection& connection_;
    std::vector<LoopWindow*> windows_;
    std::function<void()> dialog_pump_;
    SourceId next_id_ = 1;
    std::map<SourceId, FdSource> fds_;
    std::map<SourceId, TimerSource> timers_;
    std::map<int, std::function<void()>> signal_handlers_;
    bool ended_ = false;
};

}  // namespace fw
