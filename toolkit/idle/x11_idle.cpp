#include "toolkit/idle/x11_idle.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>

namespace fw {

namespace {

// While the session is idle, how often the source looks for input.
constexpr int kActivityCheckMs = 1000;

class X11Idle final : public IdleSource {
public:
    X11Idle(Display* display, uint32_t delay_ms, IdleListener& listener)
        : display_(display), info_(XScreenSaverAllocInfo()), delay_ms_(delay_ms), listener_(listener)
    {
    }
    ~X11Idle() override
    {
        XFree(info_);
        XCloseDisplay(display_);
    }

    std::string name() const override { return "the X server's MIT-SCREEN-SAVER idle time"; }
    int fd() const override { return ConnectionNumber(display_); }
    int timeout_ms() const override;
    bool dispatch() override;
    bool look();

private:
    using Clock = std::chrono::steady_clock;

    Display* display_;
    XScreenSaverInfo* info_;
    uint32_t delay_ms_;
    IdleListener& listener_;
    bool idle_ = false;
    unsigned long last_idle_ms_ = 0;  // the server's idle time at the last look
    Clock::time_point next_look_;
};

int X11Idle::timeout_ms() const
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next_look_ - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 24LL * 3600 * 1000));
}

bool X11Idle::look()
{
    if (!XScreenSaverQueryInfo(display_, DefaultRootWindow(display_), info_)) return false;
    const unsigned long idle_ms = info_->idle;
    if (idle_ && idle_ms < last_idle_ms_) {
        idle_ = false;
        listener_.active();
    }
    last_idle_ms_ = idle_ms;
    if (!idle_ && idle_ms >= delay_ms_) {
        idle_ = true;
        listener_.idle();
    }
    next_look_ = Clock::now() + std::chrono::milliseconds(idle_ ? kActivityCheckMs : delay_ms_ - idle_ms);
    return true;
}

bool X11Idle::dispatch()
{
    // The connection carries nothing the source asked for; what arrives is
    // read and dropped, and an end of the stream means the server is gone.
    pollfd p{fd(), POLLIN, 0};
    if (poll(&p, 1, 0) > 0) {
        char byte;
        if ((p.revents & (POLLHUP | POLLERR)) || recv(p.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0) return false;
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
        }
    }
    if (timeout_ms() == 0) return look();
    return true;
}

}  // namespace

std::unique_ptr<IdleSource> open_x11_idle(uint32_t delay_ms, IdleListener& listener)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    int event_base = 0, error_base = 0;
    if (!XScreenSaverQueryExtension(display, &event_base, &error_base)) {
        XCloseDisplay(display);
        return nullptr;
    }
    auto source = std::make_unique<X11Idle>(display, delay_ms, listener);
    if (!source->look()) return nullptr;
    return source;
}

}  // namespace fw
