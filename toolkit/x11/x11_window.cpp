#include "toolkit/x11/x11_window.h"

#include "toolkit/x11/x11_platform.h"
#include "toolkit/x11/x_error_trap.h"
#include "toolkit/x11/x_image_store.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cassert>
#include <optional>
#include <vector>

namespace fw {

namespace {

constexpr long kOwnWindowEvents = ExposureMask | StructureNotifyMask | KeyPressMask | ButtonPressMask |
                                  ButtonReleaseMask | PointerMotionMask | VisibilityChangeMask;
constexpr unsigned int kPointerGrabEvents = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
// Screen lockers keep trying while another client (a menu, a drag) holds a grab.
constexpr auto kGrabPatience = std::chrono::seconds(5);
constexpr auto kGrabRetry = std::chrono::milliseconds(50);

SteadyTime now() { return std::chrono::steady_clock::now(); }

int pointer_buttons(unsigned int state)
{
    return ((state & Button1Mask) ? 1 : 0) | ((state & Button3Mask) ? 2 : 0) | ((state & Button2Mask) ? 4 : 0);
}

// Asks a window manager for a window without frame; borderless windows of
// the program are never decorated.
void drop_decorations(Display* display, Window window)
{
    struct {
        unsigned long flags, functions, decorations;
        long input_mode;
        unsigned long status;
    } hints{2, 0, 0, 0, 0};  // decorations given, and none
    const Atom motif = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    XChangeProperty(display, window, motif, motif, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&hints), 5);
}

// A visual that shows colours as they are: the screen's own where it has
// true colour, else the deepest true-colour one it offers (an 8-bit screen
// with a palette offers one of 3-3-2 bits). Nothing: the screen has none.
std::optional<XVisualInfo> true_color_visual(Display* display, int screen)
{
    XVisualInfo info{};
    Visual* visual = DefaultVisual(display, screen);
    if (visual->c_class == TrueColor) {
        info.visual = visual;
        info.visualid = XVisualIDFromVisual(visual);
        info.depth = DefaultDepth(display, screen);
        return info;
    }
    for (int depth : {24, 32, 16, 15, 12, 8})
        if (XMatchVisualInfo(display, screen, depth, TrueColor, &info)) return info;
    return std::nullopt;
}

}  // namespace

bool X11Window::shows_colors(Display* display) { return true_color_visual(display, DefaultScreen(display)).has_value(); }

bool X11Window::shows_colors(Display* display, Window window)
{
    XWindowAttributes attributes{};
    XErrorTrap trap(display);
    const bool known = XGetWindowAttributes(display, window, &attributes) != 0;
    return trap.failed() || !known || attributes.visual->c_class == TrueColor || attributes.visual->c_class == DirectColor;
}

X11Window::X11Window(X11Platform& owner, Form& form)
    : LoopWindow(owner.loop(), form), owner_(owner), display_(owner.display())
{
    const FormDesign& design = form.design();
    width_ = std::max(design.client_width_px, 1);
    height_ = std::max(design.client_height_px, 1);
    const int screen = DefaultScreen(display_);

    XSetWindowAttributes a{};
    // No background: nothing is painted over the picture the window shows
    // until the form's surface arrives.
    a.background_pixmap = None;
    a.border_pixel = 0;
    a.event_mask = kOwnWindowEvents;
    const std::optional<XVisualInfo> visual = true_color_visual(display_, screen);
    assert(visual);  // the platform made sure of it
    unsigned long mask = CWBackPixmap | CWBorderPixel | CWEventMask;
    if (visual->visual != DefaultVisual(display_, screen)) {
        colormap_ = XCreateColormap(display_, RootWindow(display_, screen), visual->visual, AllocNone);
        a.colormap = colormap_;
        mask |= CWColormap;
    }
    window_ = XCreateWindow(display_, RootWindow(display_, screen), 0, 0, static_cast<unsigned>(width_),
                            static_cast<unsigned>(height_), 0, visual->depth, InputOutput, visual->visual, mask, &a);

    XStoreName(display_, window_, design.caption.c_str());
    XClassHint class_hint{const_cast<char*>("frostwisp"), const_cast<char*>("Frostwisp")};
    XSetClassHint(display_, window_, &class_hint);
    Atom protocols[] = {owner.wm_delete_window()};
    XSetWMProtocols(display_, window_, protocols, 1);
    if (design.border == BorderStyle::none) drop_decorations(display_, window_);
    owner.watch(window_, this);

    init_drawing(visual->visual, visual->depth);
}

X11Window::X11Window(X11Platform& owner, Form& form, Window foreign)
    : LoopWindow(owner.loop(), form), owner_(owner), display_(owner.display()), window_(foreign), foreign_(true)
{
    XWindowAttributes attributes{};
    XErrorTrap trap(display_);
    const bool known = XGetWindowAttributes(display_, foreign, &attributes) != 0;
    if (trap.failed() || !known) {
        gone_ = true;
        return;
    }
    width_ = attributes.width;
    height_ = attributes.height;
    // Only what drawing needs: input belongs to the daemon.
    XSelectInput(display_, foreign, ExposureMask | StructureNotifyMask);
    owner.watch(foreign, this);
    init_drawing(attributes.visual, attributes.depth);
}

X11Window::~X11Window()
{
    if (!destroyed_) destroy();
}

void X11Window::init_drawing(Visual* visual, int depth)
{
    gc_ = XCreateGC(display_, window_, 0, nullptr);
    form_.surface().use_store(std::make_unique<XImageStore>(display_, visual, depth));
    drawing_ = true;
}

void X11Window::show(ShowMode mode)
{
    Form& form = form_;
    EventLoop& loop = loop_;
    const Lifetime::Watch self = watch();
    visible_ = true;
    shown_.forget();
    if (foreign_) {
        form.client_resized(width_, height_);
        if (self.alive() && !gone_) present(0, 0, width_, height_);
    } else {
        int left = 0, top = 0;
        if (state_ == WindowState::maximized) {
            const Rect area = maximized_area();
            left = area.left;
            top = area.top;
            width_ = std::max(area.right - area.left, 1);
            height_ = std::max(area.bottom - area.top, 1);
        }
        fullscreen_ = state_ == WindowState::maximized && form.design().border == BorderStyle::none && !parent_;
        if (fullscreen_) {
            XSetWindowAttributes a{};
            a.override_redirect = True;
            XChangeWindowAttributes(display_, window_, CWOverrideRedirect, &a);
        } else if (state_ != WindowState::maximized) {
            // Centred, as a window without a remembered place opens.
            left = std::max((owner_.screen_width_px() - width_) / 2, 0);
            top = std::max((owner_.screen_height_px() - height_) / 2, 0);
        }
        XMoveResizeWindow(display_, window_, left, top, static_cast<unsigned>(width_), static_cast<unsigned>(height_));
        form.client_resized(width_, height_);
        if (!self.alive()) return;
        map_now();
    }
    if (mode == ShowMode::modal && self.alive()) loop.run_until_unloaded(form);
}

void X11Window::map_now()
{
    if (mapped_ || gone_) return;
    apply_cursor();
    XMapRaised(display_, window_);
    // The screen shows one colour map at a time, and a window manager may
    // not be there to put this window's in place.
    if (colormap_) XInstallColormap(display_, colormap_);
    mapped_ = true;
    shown_.forget();
    XSync(display_, False);
    if (fullscreen_ && !owner_.hack_mode()) owner_.claim_grabs(this);
    if (activate_ && fullscreen_) XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
    XFlush(display_);
}

bool X11Window::wants_grabs() const { return fullscreen_ && mapped_ && !gone_ && !destroyed_ && !owner_.hack_mode(); }

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

void X11Window::set_window_state(WindowState state)
{
    state_ = state;
    if (visible_ && !foreign_ && state == WindowState::maximized) {
        const Rect area = maximized_area();
        const int width = std::max(area.right - area.left, 1), height = std::max(area.bottom - area.top, 1);
        XMoveResizeWindow(display_, window_, area.left, area.top, static_cast<unsigned>(width),
                          static_cast<unsigned>(height));
        resize_to(width, height);
    }
}

Rect X11Window::maximized_area() const
{
    return form_.screen_area().value_or(Rect{0, 0, owner_.screen_width_px(), owner_.screen_height_px()});
}

bool X11Window::set_topmost(bool topmost, bool activate)
{
    // A hack lives inside the daemon's window, which decides what is on top.
    if (foreign_) return true;
    topmost_ = topmost;
    activate_ = activate;
    if (mapped_ && !gone_) {
        if (topmost) XRaiseWindow(display_, window_);
        if (activate) XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
        XFlush(display_);
    }
    return true;
}

bool X11Window::can_present() const { return !gone_ && !destroyed_ && (mapped_ || foreign_) && drawing_; }

// Every memory the surface moves into comes from the one it was given here,
// so it is always an X image for this display.
XImageStore& X11Window::store() const { return static_cast<XImageStore&>(form_.surface().store()); }

void X11Window::refresh()
{
    if (!can_present()) return;
    const std::vector<Rect> parts = shown_.take_changes(form_.surface());
    store().put(window_, gc_, parts);
}

void X11Window::present(int x, int y, int width, int height)
{
    if (!can_present()) return;
    store().put(window_, gc_, x, y, width, height);
}

void X11Window::resize_to(int width, int height)
{
    width_ = width;
    height_ = height;
    form_.client_resized(width, height);
}

void X11Window::embed(NativeHandle parent, int width, int height)
{
    if (foreign_ || gone_) return;
    const auto parent_window = static_cast<Window>(parent);
    bool adopted = false;
    if (parent > 0 && parent <= 0xFFFFFFFF) {
        XErrorTrap trap(display_);
        XSelectInput(display_, parent_window, StructureNotifyMask);
        XReparentWindow(display_, window_, parent_window, 0, 0);
        adopted = !trap.failed();
    }
    if (!adopted) {
        // No parent will ever take the preview away, so it goes at once, never shown.
        XDestroyWindow(display_, window_);
        XFlush(display_);
        return;
    }
    parent_ = parent_window;
    owner_.watch(parent_, this);
    width_ = std::max(width, 1);
    height_ = std::max(height, 1);
    XMoveResizeWindow(display_, window_, 0, 0, static_cast<unsigned>(width_), static_cast<unsigned>(height_));
    visible_ = true;
    mapped_ = true;
    shown_.forget();
    XMapWindow(display_, window_);
    XFlush(display_);
    form_.client_resized(width, height);
}

void X11Window::move(int left, int top, int width, int height)
{
    if (foreign_ || gone_) return;
    width_ = std::max(width, 1);
    height_ = std::max(height, 1);
    XMoveResizeWindow(display_, window_, left, top, static_cast<unsigned>(width_), static_cast<unsigned>(height_));
    XFlush(display_);
    if (visible_) form_.client_resized(width, height);
}

void X11Window::destroy()
{
    if (destroyed_) return;
    destroyed_ = true;
    stop_timer();
    grab_pending_ = false;
    if (keyboard_grabbed_) XUngrabKeyboard(display_, CurrentTime);
    if (pointer_grabbed_) XUngrabPointer(display_, CurrentTime);
    keyboard_grabbed_ = pointer_grabbed_ = false;
    owner_.unwatch(this);
    if (!gone_) {
        if (foreign_) XSelectInput(display_, window_, NoEventMask);
        else XDestroyWindow(display_, window_);
    }
    owner_.release_grabs(this);
    if (parent_) XSelectInput(display_, parent_, NoEventMask);
    if (gc_) XFreeGC(display_, gc_);
    gc_ = nullptr;
    if (colormap_) XFreeColormap(display_, colormap_);
    colormap_ = None;
    XFlush(display_);
}

void X11Window::handle_event(const XEvent& event)
{
    Form& form = form_;
    const Window about = event.xany.window;
    switch (event.type) {
    case Expose: {
        const XExposeEvent& e = event.xexpose;
        // Some of the window lost its content: the next refresh sends all.
        shown_.forget();
        if (damage_right_ <= damage_left_) {
            damage_left_ = e.x;
            damage_top_ = e.y;
            damage_right_ = e.x + e.width;
            damage_bottom_ = e.y + e.height;
        } else {
            damage_left_ = std::min(damage_left_, e.x);
            damage_top_ = std::min(damage_top_, e.y);
            damage_right_ = std::max(damage_right_, e.x + e.width);
            damage_bottom_ = std::max(damage_bottom_, e.y + e.height);
        }
        if (e.count == 0) {
            present(damage_left_, damage_top_, damage_right_ - damage_left_, damage_bottom_ - damage_top_);
            damage_left_ = damage_right_ = 0;
        }
        return;
    }
    case VisibilityNotify:
        if (topmost_ && mapped_ && event.xvisibility.state != VisibilityUnobscured) XRaiseWindow(display_, window_);
        return;
    case ConfigureNotify: {
        const XConfigureEvent& e = event.xconfigure;
        if (about == parent_ && !foreign_) {
            if (e.width == width_ && e.height == height_) return;
            width_ = e.width;
            height_ = e.height;
            XResizeWindow(display_, window_, static_cast<unsigned>(width_), static_cast<unsigned>(height_));
            shown_.forget();
            form.client_resized(e.width, e.height);
        } else if (about == window_ && !parent_ && visible_) {
            // The hack's window, or one of ours sized by someone else.
            width_ = e.width;
            height_ = e.height;
            shown_.forget();
            form.client_resized(e.width, e.height);
        }
        return;
    }
    case DestroyNotify:
        if (event.xdestroywindow.window != window_ && event.xdestroywindow.window != parent_) return;
        // Our window goes with its parent.
        gone_ = true;
        form.destroyed_by_system();
        return;
    case ClientMessage:
        if (event.xclient.message_type == owner_.wm_protocols() &&
            static_cast<Atom>(event.xclient.data.l[0]) == owner_.wm_delete_window())
            form.destroyed_by_system();
        return;
    case KeyPress:
    case ButtonPress:
    case ButtonRelease:
    case MotionNotify:
        if (!foreign_ && about == window_) handle_input(event);
        return;
    default:
        return;
    }
}

void X11Window::handle_input(const XEvent& event)
{
    // The handlers may unload the form and with it this window: after the
    // first call only the form itself is used, and only while it lives.
    Form& form = form_;
    const Lifetime::Watch self = watch();
    switch (event.type) {
    case KeyPress: {
        XKeyEvent key = event.xkey;
        char text[8] = {};
        KeySym keysym = NoSymbol;
        const int length = XLookupString(&key, text, sizeof text, &keysym, nullptr);
        form.Form_KeyDown(key_code_for(keysym), shift_state_for(key.state));
        if (length == 1 && self.alive()) form.Form_KeyPress(static_cast<unsigned char>(text[0]));
        return;
    }
    case ButtonPress: {
        const XButtonEvent& b = event.xbutton;
        if (clicks_.press(b.button, b.time, b.x, b.y) == ClickEvent::dbl_click) form.Form_DblClick();
        else form.Form_MouseDown(button_for(b.button), shift_state_for(b.state), static_cast<float>(b.x),
                                 static_cast<float>(b.y));
        return;
    }
    case ButtonRelease:
        if (clicks_.release(event.xbutton.button) == ClickEvent::click) form.Form_Click();
        return;
    case MotionNotify: {
        const XMotionEvent& m = event.xmotion;
        form.Form_MouseMove(pointer_buttons(m.state), shift_state_for(m.state), static_cast<float>(m.x),
                            static_cast<float>(m.y));
        return;
    }
    default:
        return;
    }
}

}  // namespace fw
