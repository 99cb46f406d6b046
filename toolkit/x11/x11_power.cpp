// Power saving while the full-screen saver runs on X: the server's own
// screen saver suspended (XScreenSaverSuspend), and the outputs powered down
// through DPMS at the user's timeouts meanwhile.
#include "toolkit/x11/x11_platform.h"

#include "toolkit/x11/x_error_trap.h"

#include <X11/extensions/dpms.h>
#include <X11/extensions/scrnsaver.h>

namespace fw {

namespace {

// The server's power saving (DPMS), with the idle time of its screen saver.
class DpmsPower : public DisplayPower {
public:
    explicit DpmsPower(Display* display) : display_(display)
    {
        int event_base = 0, error_base = 0;
        dpms_ = DPMSQueryExtension(display, &event_base, &error_base) && DPMSCapable(display);
        idle_known_ = XScreenSaverQueryExtension(display, &event_base, &error_base);
    }

    std::optional<PowerTimeouts> timeouts() override
    {
        CARD16 level = DPMSModeOn;
        BOOL enabled = False;
        if (!dpms_ || !DPMSInfo(display_, &level, &enabled) || !enabled) return std::nullopt;
        CARD16 standby = 0, suspend = 0, off = 0;
        if (!DPMSGetTimeouts(display_, &standby, &suspend, &off)) return std::nullopt;
        return PowerTimeouts{standby, suspend, off};
    }

    std::optional<std::chrono::milliseconds> idle_time() override
    {
        if (!idle_known_) return std::nullopt;
        XScreenSaverInfo* info = XScreenSaverAllocInfo();
        std::optional<std::chrono::milliseconds> idle;
        if (info && XScreenSaverQueryInfo(display_, DefaultRootWindow(display_), info))
            idle = std::chrono::milliseconds(info->idle);
        if (info) XFree(info);
        return idle;
    }

    PowerLevel level() override
    {
        CARD16 level = DPMSModeOn;
        BOOL enabled = False;
        if (!dpms_ || !DPMSInfo(display_, &level, &enabled)) return PowerLevel::on;
        switch (level) {
        case DPMSModeStandby: return PowerLevel::standby;
        case DPMSModeSuspend: return PowerLevel::suspend;
        case DPMSModeOff: return PowerLevel::off;
        default: return PowerLevel::on;
        }
    }

    void force_level(PowerLevel level) override
    {
        if (!dpms_) return;
        static constexpr CARD16 modes[] = {DPMSModeOn, DPMSModeStandby, DPMSModeSuspend, DPMSModeOff};
        XErrorTrap trap(display_);
        DPMSForceLevel(display_, modes[static_cast<int>(level)]);
        XSync(display_, False);
    }

private:
    Display* display_;
    bool dpms_ = false;
    bool idle_known_ = false;
};

// The state of the server's screen saver, or -1 without the extension.
int server_saver_state(Display* display)
{
    int event_base = 0, error_base = 0;
    if (!XScreenSaverQueryExtension(display, &event_base, &error_base)) return -1;
    XScreenSaverInfo* info = XScreenSaverAllocInfo();
    int state = -1;
    if (info && XScreenSaverQueryInfo(display, DefaultRootWindow(display), info)) state = info->state;
    if (info) XFree(info);
    return state;
}

}  // namespace

void X11Platform::set_screensaver_active(bool active)
{
    activation_off_ = !active;
    update_saver_hold();
}

void X11Platform::update_saver_hold()
{
    const bool wanted = activation_off_ && saver_running_;
    if (wanted && !saver_held_) {
        // A saver that is on already (the program started on its activation,
        // as a locker's notifier) stays on and cycles: neither suspended nor
        // reset. One that is disabled is held off too, in case the user
        // switches it on while the scene runs. Suspending rather than setting
        // a timeout of 0: the server forgets a suspension when the connection
        // closes, a timeout it would keep.
        const int state = server_saver_state(display_);
        if (state != ScreenSaverOff && state != ScreenSaverDisabled) return;
        XScreenSaverSuspend(display_, True);
        saver_held_ = true;
        power_saving_.emplace(*display_power_);
        next_power_look_ = std::chrono::steady_clock::now();
    } else if (!wanted && saver_held_) {
        XScreenSaverSuspend(display_, False);
        saver_held_ = false;
        power_saving_.reset();
    }
    XFlush(display_);
}

std::unique_ptr<DisplayPower> make_dpms_power(Display* display) { return std::make_unique<DpmsPower>(display); }

}  // namespace fw
