#include "toolkit/linux/event_loop.h"

#include "toolkit/linux/signal_pipe.h"

#include <poll.h>
#include <signal.h>

#include <algorithm>

namespace fw {

namespace {

// The dialogs' toolkit reads its own connection; while it has windows the
// loop looks at it this often.
constexpr auto kDialogPollInterval = std::chrono::milliseconds(10);

constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP};

}  // namespace

LoopWindow::LoopWindow(EventLoop& loop, Form& form) : loop_(loop), form_(form) { loop.add(this); }

LoopWindow::~LoopWindow() { loop_.remove(this); }

void LoopWindow::set_timer(int interval_ms, bool enabled)
{
    timer_.set(interval_ms, enabled, [this](SteadyTime due, std::chrono::milliseconds interval, SteadyTime earliest) {
        return loop_.in_step(this, due, interval, earliest);
    });
}

void LoopWindow::fire_timer(SteadyTime now)
{
    const SteadyTime due = timer_.due();
    const Lifetime::Watch self = watch();
    form_.Timer_Timer();
    if (!self.alive()) return;
    timer_.advance(due, now, [this](SteadyTime next, std::chrono::milliseconds interval, SteadyTime earliest) {
        return loop_.in_step(this, next, interval, earliest);
    });
}

EventLoop::EventLoop(LoopConnection& connection) : connection_(connection)
{
    for (const int signal : kEndingSignals) catch_signal(signal);
}

void EventLoop::add(LoopWindow* window) { windows_.push_back(window); }

void EventLoop::remove(LoopWindow* window) { std::erase(windows_, window); }

void EventLoop::each_window(const std::function<void(LoopWindow&)>& visit) const
{
    std::vector<std::pair<LoopWindow*, Lifetime::Watch>> now;
    now.reserve(windows_.size());
    for (LoopWindow* window : windows_) now.emplace_back(window, window->watch());
    for (auto& [window, watch] : now)
        if (watch.alive()) visit(*window);
}

SteadyTime EventLoop::in_step(const LoopWindow* window, SteadyTime due, std::chrono::milliseconds interval,
                              SteadyTime earliest) const
{
    std::vector<SteadyTime> others;
    for (const LoopWindow* other : windows_)
        if (other != window && other->timer_running() && other->timer_interval() == interval)
            others.push_back(other->timer_due());
    return tick_in_step(due, interval, earliest, others);
}

void EventLoop::pump_dialogs_with(std::function<void()> pump) { dialog_pump_ = std::move(pump); }

EventLoop::SourceId EventLoop::watch_fd(int fd, std::function<void()> readable)
{
    const SourceId id = next_id_++;
    fds_.emplace(id, FdSource{fd, std::move(readable)});
    return id;
}

void EventLoop::unwatch_fd(SourceId id) { fds_.erase(id); }

EventLoop::SourceId EventLoop::add_timer(SteadyTime due, std::function<void()> fire)
{
    const SourceId id = next_id_++;
    timers_.emplace(id, TimerSource{due, std::move(fire)});
    return id;
}

void EventLoop::cancel_timer(SourceId id) { timers_.erase(id); }

void EventLoop::on_signal(int signal, std::function<void()> handler)
{
    signal_handlers_[signal] = std::move(handler);
    catch_signal(signal);
}

void EventLoop::fire_timers(SteadyTime now)
{
    std::vector<SourceId> due;
    for (const auto& [id, timer] : timers_)
        if (timer.due <= now) due.push_back(id);
    for (const SourceId id : due) {
        const auto found = timers_.find(id);
        if (found == timers_.end()) continue;
        const std::function<void()> fire = std::move(found->second.fire);
        timers_.erase(found);
        fire();
    }
}

bool EventLoop::take_signals()
{
    for (const int signal : fw::take_signals()) {
        if (const auto found = signal_handlers_.find(signal); found != signal_handlers_.end()) found->second();
        if (std::find(std::begin(kEndingSignals), std::end(kEndingSignals), signal) != std::end(kEndingSignals))
            ended_ = true;
    }
    return !ended_;
}

bool EventLoop::run_once(const std::function<bool()>& wanted)
{
    Forms::release_unloaded();
    if (dialog_pump_) dialog_pump_();
    connection_.dispatch();

    // The windows' timers, each window looked at afresh, since every handler
    // may unload forms; then the loop's own.
    SteadyTime t = now();
    const bool paused = connection_.timers_paused(t);
    each_window([&](LoopWindow& window) {
        const Lifetime::Watch alive = window.watch();
        window.before_tick(t);
        if (alive.alive() && !paused && window.timer_running() && window.timer_due() <= t) {
            window.fire_timer(t);
            t = now();
        }
    });
    fire_timers(t);
    connection_.after_timers(paused);
    if (!wanted()) return true;
    if (connection_.pending()) return true;

    // Sleep until the next tick, an event, or a signal.
    SteadyTime wake = t + std::chrono::seconds(1);
    for (const LoopWindow* window : windows_)
        if (!paused && window->timer_running()) wake = std::min(wake, window->timer_due());
    for (const auto& [id, timer] : timers_) wake = std::min(wake, timer.due);
    if (dialog_pump_) wake = std::min(wake, t + kDialogPollInterval);
    wake = connection_.wake_by(wake, t);
    const auto wait = std::max(wake - t, SteadyTime::duration::zero());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
    const timespec timeout{static_cast<time_t>(seconds.count()),
                           static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(wait - seconds).count())};

    std::vector<pollfd> files{{connection_.prepare_wait(), POLLIN, 0}, {signal_pipe_fd(), POLLIN, 0}};
    std::vector<SourceId> ids;
    for (const auto& [id, source] : fds_) {
        files.push_back({source.fd, POLLIN, 0});
        ids.push_back(id);
    }
    const int ready = ppoll(files.data(), files.size(), &timeout, nullptr);
    const auto readable = [&](size_t i) { return ready > 0 && (files[i].revents & (POLLIN | POLLHUP | POLLERR)); };
    connection_.finish_wait(readable(0));
    for (size_t i = 0; i < ids.size(); ++i) {
        const auto found = fds_.find(ids[i]);
        if (readable(i + 2) && found != fds_.end()) {
            const std::function<void()> handler = found->second.readable;
            handler();
        }
    }
    if (ready > 0 && (files[1].revents & POLLIN)) return take_signals();
    return true;
}

bool EventLoop::run_while(const std::function<bool()>& wanted)
{
    while (!ended_ && wanted())
        if (!run_once(wanted)) return false;
    return !ended_;
}

void EventLoop::run()
{
    // A loop that a signal ends now leaves the forms to the program's end.
    const bool ended_before = ended_;
    if (run_while([] { return Forms::count() > 0; }) || ended_before) Forms::release_unloaded();
}

void EventLoop::run_until_unloaded(Form& form)
{
    run_while([&] { return form.loaded(); });
}

}  // namespace fw
