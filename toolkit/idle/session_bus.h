// The desktop's services on the D-Bus session bus, through GLib's GDBus on
// a main context of the watcher's own, which the program's event loop
// drives through one file descriptor (the context's wake-up): GNOME's idle
// monitor (org.gnome.Mutter.IdleMonitor) as an idle source, the desktops'
// lock screens (the ActiveChanged signal of org.gnome.ScreenSaver and
// org.freedesktop.ScreenSaver), GNOME's Activities overview, and GNOME's
// blank delay.
#pragma once

#include "toolkit/idle/idle_source.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace fw {

class SessionBus {
public:
    // Nothing where the session has no bus (no DBUS_SESSION_BUS_ADDRESS and
    // no bus socket in XDG_RUNTIME_DIR) or it does not answer.
    static std::unique_ptr<SessionBus> connect();
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    int fd() const { return fd_; }
    // Runs what arrived; false once the bus has closed.
    [[nodiscard]] bool dispatch();

    // GNOME's idle monitor as an idle source on this bus; nothing where no
    // one answers as org.gnome.Mutter.IdleMonitor. Its watch honours the
    // session manager's idle inhibitors. The bus must outlive it.
    std::unique_ptr<IdleSource> mutter_idle(uint32_t delay_ms, IdleListener& listener);

    // Calls on_change(true) when a desktop's lock screen or blanking comes
    // on, on_change(false) when it goes.
    void watch_locks(std::function<void(bool)> on_change);

    // Closes GNOME's Activities overview, where a GNOME Shell answers, so that
    // a full-screen window covers every monitor and the top bar.
    void close_overview();

    // GNOME's "Screen Blank" delay (org.gnome.desktop.session idle-delay), in
    // seconds; nothing where the schema is not installed or blanking is off.
    static std::optional<uint32_t> gnome_blank_delay_s();

    struct Private;

private:
    explicit SessionBus(std::unique_ptr<Private> p);
    std::unique_ptr<Private> p_;
    int fd_ = -1;
};

}  // namespace fw
