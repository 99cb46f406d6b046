// The X11 backend as an XScreenSaver hack: the scene drawn straight into the
// daemon's window (or the root window), which the daemon owns together with
// input, blanking, power saving and locking. Everything the full-screen
// saver does to the system is left to the daemon here.
#pragma once

#include "toolkit/x11/x11_platform.h"

namespace fw {

class X11HackPlatform : public X11Platform {
public:
    X11HackPlatform(Display* display, std::vector<std::string> arguments, SettingsStore& settings,
                    HackTarget target);

    // The daemon is the screen saver and decides about the pointer.
    void set_screensaver_active(bool) override {}
    void set_screensaver_running(bool) override {}
    void show_cursor(bool) override {}
    // The daemon's screenshot of the desktop where it left one, else black.
    Image capture_screen(int x, int y, int width, int height) override;
    // The one window the daemon gave.
    std::vector<Monitor> listed_monitors() override;

protected:
    // The hack's monitor is the daemon's business.
    void watch_monitors() override {}
    // Every form draws into the daemon's window.
    std::unique_ptr<NativeWindow> create_x_window(Form& form) override;

private:
    // The window the hack draws into.
    Window window() const;

    HackTarget target_;
};

}  // namespace fw
