// The keyboard and pointer grabs of the full-screen saver on X: one window
// holds them for all scenes, and a grab another client holds is tried again
// for a while, as screen lockers do.
#include "toolkit/x11/x11_platform.h"
#include "toolkit/x11/x11_window.h"

namespace fw {

namespace {

constexpr unsigned int kPointerGrabEvents = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
// Screen lockers keep trying while another client (a menu, a drag) holds a grab.
constexpr auto kGrabPatience = std::chrono::seconds(5);
constexpr auto kGrabRetry = std::chrono::milliseconds(50);

SteadyTime now() { return std::chrono::steady_clock::now(); }

}  // namespace

void X11Platform::claim_grabs(X11Window* window)
{
    if (grab_holder_ && grab_holder_ != window) return;
    grab_holder_ = window;
    window->start_grabs();
}

void X11Platform::release_grabs(X11Window* window)
{
    if (grab_holder_ != window) return;
    grab_holder_ = nullptr;
    for (X11Window* other : windows())
        if (other != window && other->wants_grabs()) {
            grab_holder_ = other;
            other->start_grabs();
            return;
        }
}

bool X11Window::wants_grabs() const { return fullscreen_ && mapped_ && !gone_ && !destroyed_; }

void X11Window::start_grabs()
{
    grab_deadline_ = now() + kGrabPatience;
    try_grabs();
}

void X11Window::try_grabs()
{
    // Keyboard and pointer input reach the scene with or without a window
    // manager, and nothing else sees them while the saver runs.
    if (!keyboard_grabbed_)
        keyboard_grabbed_ =
            XGrabKeyboard(display_, window_, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
    if (!pointer_grabbed_)
        pointer_grabbed_ = XGrabPointer(display_, window_, False, kPointerGrabEvents, GrabModeAsync, GrabModeAsync, None,
                                        owner_.pointer_hidden() ? owner_.blank_cursor() : None,
                                        CurrentTime) == GrabSuccess;
    const SteadyTime t = now();
    grab_pending_ = (!keyboard_grabbed_ || !pointer_grabbed_) && t < grab_deadline_;
    next_grab_try_ = t + kGrabRetry;
}

void X11Window::before_tick(SteadyTime t)
{
    if (!grab_pending_ || t < next_grab_try_) return;
    try_grabs();
    XFlush(display_);
}

void X11Window::apply_cursor()
{
    if (foreign_ || gone_ || destroyed_) return;
    const bool hidden = owner_.pointer_hidden();
    if (hidden) XDefineCursor(display_, window_, owner_.blank_cursor());
    else XUndefineCursor(display_, window_);
    if (pointer_grabbed_)
        XChangeActivePointerGrab(display_, kPointerGrabEvents, hidden ? owner_.blank_cursor() : None, CurrentTime);
}

}  // namespace fw
