#include "toolkit/idle/watch.h"

#include "toolkit/idle/idle_watcher.h"
#include "toolkit/idle/session_bus.h"
#include "toolkit/idle/wayland_idle.h"
#include "toolkit/idle/x11_idle.h"
#include "toolkit/linux/event_loop.h"

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace fw {

namespace {

std::string variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The watcher's loop has no display of its own: everything it waits on is
// hung on the loop as a file, a timer or a signal.
class NoConnection final : public LoopConnection {
public:
    void dispatch() override {}
    int prepare_wait() override { return -1; }
};

}  // namespace

int run_idle_watcher(const IdleRequest& request, const CommandLine& command)
{
    const bool wayland = command.display != DisplayChoice::x11 && !variable("WAYLAND_DISPLAY").empty();
    const std::string session = wayland ? "wayland-" + variable("WAYLAND_DISPLAY") : "x11-" + variable("DISPLAY");
    if (!take_session_lock(session)) {
        std::fprintf(stderr, "frostwisp: an idle watcher already runs in this session; this one ends\n");
        return 0;
    }
    NoConnection no_connection;
    EventLoop loop(no_connection);  // SIGTERM, SIGINT and SIGHUP end it from here on

    std::vector<std::string> saver{"frostwisp"};
    saver.insert(saver.end(), request.rest.begin(), request.rest.end());
    saver.push_back("/S");
    SaverChild child(std::move(saver));
    // Before any source can start a saver: an idle session starts one at once.
    loop.on_signal(SIGCHLD, [&child] { child.reap(); });

    std::unique_ptr<SessionBus> bus = SessionBus::connect();
    std::unique_ptr<IdleSource> source;
    std::string looked_for;
    if (command.display != DisplayChoice::x11) {
        looked_for = "ext_idle_notifier_v1 and org_kde_kwin_idle on the Wayland compositor (" +
                     (wayland ? variable("WAYLAND_DISPLAY") : "WAYLAND_DISPLAY is not set") +
                     "), org.gnome.Mutter.IdleMonitor on the session bus" + (bus ? "" : " (no session bus)");
        if (wayland) source = connect_wayland_idle(request.delay_ms, child);
        if (!source && bus && (source = bus->mutter_idle(request.delay_ms, child))) {
            SessionBus* gnome = bus.get();
            child.before_start = [gnome] { gnome->close_overview(); };
            const auto blank = SessionBus::gnome_blank_delay_s();
            if (blank && *blank * 1000ull <= request.delay_ms)
                std::fprintf(stderr,
                             "frostwisp: GNOME blanks the screen after %u s of idle time (Screen Blank), before the "
                             "saver's %s minutes: the saver will not show until Screen Blank is set longer\n",
                             *blank, request.minutes.c_str());
        }
    }
    if (!source && command.display != DisplayChoice::wayland) {
        looked_for += std::string(looked_for.empty() ? "" : ", ") + "the MIT-SCREEN-SAVER extension on the X display " +
                      (variable("DISPLAY").empty() ? "(DISPLAY is not set)" : variable("DISPLAY"));
        source = open_x11_idle(request.delay_ms, child);
    }
    if (!source) {
        std::fprintf(stderr, "frostwisp: no idle source in this session; looked for %s\n", looked_for.c_str());
        return 1;
    }
    if (bus) bus->watch_locks([&child](bool on) { child.lock_changed(on); });
    std::fprintf(stderr, "frostwisp: the saver starts after %s minutes of idle time (%s)\n", request.minutes.c_str(),
                 source->name().c_str());

    EventLoop::SourceId bus_watch = 0;
    if (bus && bus->fd() != source->fd()) {
        bus_watch = loop.watch_fd(bus->fd(), [&] {
            // A bus that closes only takes the lock screens' news along.
            if (bus->dispatch()) return;
            loop.unwatch_fd(bus_watch);
            bus.reset();
        });
    }
    bool gone = false;
    std::optional<EventLoop::SourceId> look_again;
    const std::function<void()> dispatch = [&] {
        if (look_again) loop.cancel_timer(*look_again);
        look_again.reset();
        if (!source->dispatch()) {
            gone = true;
            return;
        }
        if (const int ms = source->timeout_ms(); ms >= 0)
            look_again = loop.add_timer(EventLoop::now() + std::chrono::milliseconds(ms), [&] {
                look_again.reset();
                dispatch();
            });
    };
    loop.watch_fd(source->fd(), dispatch);
    dispatch();
    if (!loop.run_while([&] { return !gone; })) return 0;
    child.end();
    std::fprintf(stderr, "frostwisp: the session went away (%s stopped answering); the idle watcher ends\n",
                 source->name().c_str());
    return 1;
}

}  // namespace fw
