#include "toolkit/idle/wayland_idle.h"

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"

#include <poll.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace fw {

namespace {

class WaylandIdle final : public IdleSource {
public:
    WaylandIdle(wl_display* display, IdleListener& listener) : display_(display), listener_(listener) {}
    ~WaylandIdle() override
    {
        if (notification_) ext_idle_notification_v1_destroy(notification_);
        if (kde_timeout_) org_kde_kwin_idle_timeout_release(kde_timeout_);
        if (notifier_) ext_idle_notifier_v1_destroy(notifier_);
        if (kde_idle_) org_kde_kwin_idle_destroy(kde_idle_);
        if (seat_) wl_seat_destroy(seat_);
        if (registry_) wl_registry_destroy(registry_);
        wl_display_disconnect(display_);
    }

    bool start(uint32_t delay_ms);
    std::string name() const override { return notification_ ? "ext_idle_notifier_v1" : "org_kde_kwin_idle"; }
    int fd() const override { return wl_display_get_fd(display_); }
    int timeout_ms() const override { return -1; }
    bool dispatch() override;

private:
    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
    static void global_remove(void*, wl_registry*, uint32_t) {}
    static constexpr wl_registry_listener registry_listener = {global, global_remove};

    static void idled(void* data, ext_idle_notification_v1*) { static_cast<WaylandIdle*>(data)->listener_.idle(); }
    static void resumed(void* data, ext_idle_notification_v1*) { static_cast<WaylandIdle*>(data)->listener_.active(); }
    static constexpr ext_idle_notification_v1_listener notification_listener = {idled, resumed};

    static void kde_idle(void* data, org_kde_kwin_idle_timeout*) { static_cast<WaylandIdle*>(data)->listener_.idle(); }
    static void kde_resumed(void* data, org_kde_kwin_idle_timeout*)
    {
        static_cast<WaylandIdle*>(data)->listener_.active();
    }
    static constexpr org_kde_kwin_idle_timeout_listener kde_timeout_listener = {kde_idle, kde_resumed};

    wl_display* display_;
    IdleListener& listener_;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    ext_idle_notifier_v1* notifier_ = nullptr;
    org_kde_kwin_idle* kde_idle_ = nullptr;
    ext_idle_notification_v1* notification_ = nullptr;
    org_kde_kwin_idle_timeout* kde_timeout_ = nullptr;
};

void WaylandIdle::global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    WaylandIdle& self = *static_cast<WaylandIdle*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self.seat_) {
        self.seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0 && !self.notifier_) {
        self.notifier_ =
            static_cast<ext_idle_notifier_v1*>(wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
    } else if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0 && !self.kde_idle_) {
        self.kde_idle_ = static_cast<org_kde_kwin_idle*>(wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
    }
}

bool WaylandIdle::start(uint32_t delay_ms)
{
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &registry_listener, this);
    if (wl_display_roundtrip(display_) < 0 || !seat_) return false;
    if (notifier_) {
        notification_ = ext_idle_notifier_v1_get_idle_notification(notifier_, delay_ms, seat_);
        ext_idle_notification_v1_add_listener(notification_, &notification_listener, this);
    } else if (kde_idle_) {
        kde_timeout_ = org_kde_kwin_idle_get_idle_timeout(kde_idle_, seat_, delay_ms);
        org_kde_kwin_idle_timeout_add_listener(kde_timeout_, &kde_timeout_listener, this);
    } else {
        return false;
    }
    return wl_display_flush(display_) >= 0;
}

bool WaylandIdle::dispatch()
{
    // Read what is there without blocking; a hang-up or a broken connection
    // ends the source.
    pollfd p{fd(), POLLIN, 0};
    if (poll(&p, 1, 0) > 0) {
        if (p.revents & (POLLHUP | POLLERR)) return false;
        if (wl_display_dispatch(display_) < 0) return false;
    }
    if (wl_display_dispatch_pending(display_) < 0) return false;
    return wl_display_flush(display_) >= 0 || errno == EAGAIN;
}

}  // namespace

std::unique_ptr<IdleSource> connect_wayland_idle(uint32_t delay_ms, IdleListener& listener)
{
    wl_display* display = wl_display_connect(nullptr);
    if (!display) return nullptr;
    auto source = std::make_unique<WaylandIdle>(display, listener);
    if (!source->start(delay_ms)) return nullptr;
    return source;
}

}  // namespace fw
