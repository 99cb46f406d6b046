#include "toolkit/x11/x11_platform.h"

#include "host/saver.h"
#include "toolkit/form.h"
#include "toolkit/freetype/freetype_text.h"
#include "toolkit/x11/pixel_format.h"
#include "toolkit/linux/screen_dpi.h"
#include "toolkit/runtime_error.h"
#include "toolkit/x11/x11_window.h"
#include "toolkit/x11/x_error_trap.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/dpms.h>
#include <X11/extensions/scrnsaver.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdio>

// Dialog windows are GTK's; the build defines FROSTWISP_GTK_DIALOGS when it
// links that backend.
#if defined(FROSTWISP_GTK_DIALOGS) && __has_include("toolkit/gtk/gtk_backend.h")
#include "toolkit/dialog_form.h"
#include "toolkit/gtk/gtk_backend.h"
#else
#undef FROSTWISP_GTK_DIALOGS
#endif

namespace fw {

namespace {

// Timers at least this fast drive the reading of the connection.
constexpr auto kFrameInterval = std::chrono::milliseconds(50);

// Copies an X image into shot at (dx, dy).
// How the screen's pixels read as colours: through the channel masks of a
// true-colour visual, or through the colour map of one with a palette.
struct ScreenColors {
    PixelFormat format;
    std::vector<Color> palette;  // by pixel value; empty for true colour

    Color of(unsigned long pixel) const
    {
        if (palette.empty()) return format.to_color(pixel);
        return pixel < palette.size() ? palette[pixel] : Color{0};
    }
};

ScreenColors screen_colors(Display* display)
{
    const int screen = DefaultScreen(display);
    const Visual* visual = DefaultVisual(display, screen);
    ScreenColors colors{PixelFormat::from_masks(visual->red_mask, visual->green_mask, visual->blue_mask), {}};
    if (visual->c_class == TrueColor || visual->c_class == DirectColor || DefaultDepth(display, screen) > 12)
        return colors;
    std::vector<XColor> cells(size_t{1} << DefaultDepth(display, screen));
    for (size_t i = 0; i < cells.size(); ++i) cells[i].pixel = i;
    XQueryColors(display, DefaultColormap(display, screen), cells.data(), static_cast<int>(cells.size()));
    for (const XColor& c : cells) colors.palette.push_back(rgb(c.red >> 8, c.green >> 8, c.blue >> 8));
    return colors;
}

void copy_pixels(XImage* image, const ScreenColors& colors, Image& shot, int dx, int dy)
{
    const bool words = colors.palette.empty() && colors.format.is_xrgb8888() && image->bits_per_pixel == 32 &&
                       image->byte_order == LSBFirst && std::endian::native == std::endian::little;
    for (int y = 0; y < image->height; ++y) {
        Color* out = shot.pixels.data() + static_cast<size_t>(dy + y) * static_cast<size_t>(shot.width) + dx;
        if (words) {
            const auto* in = reinterpret_cast<const uint32_t*>(image->data + static_cast<ptrdiff_t>(y) * image->bytes_per_line);
            for (int x = 0; x < image->width; ++x) out[x] = in[x] & 0xFFFFFFu;
        } else {
            for (int x = 0; x < image->width; ++x) out[x] = colors.of(XGetPixel(image, x, y));
        }
    }
}

// The daemon's picture of the desktop, where it left one.
Pixmap saved_screenshot(Display* display, Window window)
{
    const Atom name = XInternAtom(display, "_SCREENSAVER_SCREENSHOT", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Pixmap pixmap = None;
    if (XGetWindowProperty(display, window, name, 0, 1, False, XA_PIXMAP, &type, &format, &count, &after, &data) ==
            Success &&
        type == XA_PIXMAP && format == 32 && count == 1)
        pixmap = static_cast<Pixmap>(reinterpret_cast<unsigned long*>(data)[0]);
    if (data) XFree(data);
    return pixmap;
}

// RandR's monitors, from version 1.5 on; empty where there are none.
std::vector<Monitor> randr_monitors(Display* display)
{
    std::vector<Monitor> list;
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &event_base, &error_base) || !XRRQueryVersion(display, &major, &minor) ||
        major * 100 + minor < 105)
        return list;
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
    for (int i = 0; monitors && i < count; ++i) {
        const XRRMonitorInfo& m = monitors[i];
        list.push_back({{m.x, m.y, m.x + m.width, m.y + m.height}, m.primary != 0});
    }
    if (monitors) XRRFreeMonitors(monitors);
    return list;
}

std::vector<Monitor> xinerama_heads(Display* display)
{
    std::vector<Monitor> list;
    int event_base = 0, error_base = 0;
    if (!XineramaQueryExtension(display, &event_base, &error_base) || !XineramaIsActive(display)) return list;
    int count = 0;
    XineramaScreenInfo* heads = XineramaQueryScreens(display, &count);
    for (int i = 0; heads && i < count; ++i) {
        const XineramaScreenInfo& h = heads[i];
        list.push_back({{h.x_org, h.y_org, h.x_org + h.width, h.y_org + h.height}, false});
    }
    if (heads) XFree(heads);
    return list;
}

// Where window lies on the root window.
void root_position(Display* display, Window window, int& x, int& y)
{
    x = y = 0;
    Window child = None;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
}

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

X11Platform::X11Platform(Display* display, std::vector<std::string> arguments, SettingOverrides overrides,
                         std::optional<HackTarget> hack)
    : LinuxPlatform(std::move(arguments)),
      display_(display),
      hack_(hack),
      settings_(LinuxPlatform::settings(), overrides, std::string(Saver::app_name), std::string(Saver::section_name)),
      xft_dpi_(xft_dpi(XResourceManagerString(display))),
      dpi_(xft_dpi_.value_or(96.0)),
      wm_delete_window_(XInternAtom(display, "WM_DELETE_WINDOW", False)),
      wm_protocols_(XInternAtom(display, "WM_PROTOCOLS", False))
{
    display_power_ = std::make_unique<DpmsPower>(display);
}

X11Platform::~X11Platform()
{
    if (blank_cursor_) XFreeCursor(display_, blank_cursor_);
    XCloseDisplay(display_);
}

void X11Platform::set_screensaver_active(bool active)
{
    // As a hack the daemon is the screen saver; blanking and power saving are its business.
    if (hack_mode()) return;
    activation_off_ = !active;
    update_saver_hold();
}

void X11Platform::set_screensaver_running(bool running)
{
    if (hack_mode()) return;
    if (running && !claim_display()) {
        // A second saver would cover the first, and a key would end only one.
        std::fprintf(stderr, "frostwisp: the saver already runs on this display\n");
        end_program();
    }
    saver_running_ = running;
    update_saver_hold();
}

bool X11Platform::claim_display()
{
    if (claim_window_) return true;
    // The selection goes with the connection of its owner, so a saver that
    // dies leaves no claim behind. The check and the claim are one step for
    // the server, so that of two savers started together one runs.
    const Atom selection = XInternAtom(display_, "_FROSTWISP_SAVER", False);
    const Window root = DefaultRootWindow(display_);
    XSetWindowAttributes attributes{};
    const Window owner = XCreateWindow(display_, root, -1, -1, 1, 1, 0, 0, InputOnly, CopyFromParent, 0, &attributes);
    XGrabServer(display_);
    const bool vacant = XGetSelectionOwner(display_, selection) == None;
    if (vacant) XSetSelectionOwner(display_, selection, owner, CurrentTime);
    XUngrabServer(display_);
    XSync(display_, False);
    if (!vacant) {
        XDestroyWindow(display_, owner);
        return false;
    }
    claim_window_ = owner;
    return true;
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

void X11Platform::show_cursor(bool show)
{
    // The daemon decides about the pointer over its window.
    if (hack_mode()) return;
    pointer_hidden_ = !show;
    for (X11Window* window : windows()) window->apply_cursor();
    XFlush(display_);
}

void X11Platform::beep()
{
    XBell(display_, 0);
    XFlush(display_);
}

double X11Platform::twips_per_pixel() const
{
#ifdef FROSTWISP_GTK_DIALOGS
    if (const auto gtk = dialogs_ready_ ? gtk_scaling() : std::nullopt)
        return twips_per_pixel_for(display_dpi(gtk->scale, gtk->resolution, xft_dpi_));
#endif
    return twips_per_pixel_for(dpi_);
}

int X11Platform::screen_width_px() const { return DisplayWidth(display_, DefaultScreen(display_)); }
int X11Platform::screen_height_px() const { return DisplayHeight(display_, DefaultScreen(display_)); }

Cursor X11Platform::blank_cursor()
{
    if (!blank_cursor_) {
        static const char empty[8] = {};
        const Pixmap bits = XCreateBitmapFromData(display_, DefaultRootWindow(display_), empty, 8, 8);
        XColor black{};
        blank_cursor_ = XCreatePixmapCursor(display_, bits, bits, &black, &black, 0, 0);
        XFreePixmap(display_, bits);
    }
    return blank_cursor_;
}

Window X11Platform::hack_window() const
{
    if (!hack_ || hack_->root) return DefaultRootWindow(display_);
    return static_cast<Window>(hack_->window);
}

Image X11Platform::capture_screen(int x, int y, int width, int height)
{
    Image shot = black_image(width, height);
    if (shot.empty()) return shot;

    Drawable source = DefaultRootWindow(display_);
    int origin_x = 0, origin_y = 0;  // of the requested area on the source
    if (hack_mode()) {
        XErrorTrap trap(display_);
        Pixmap saved = saved_screenshot(display_, hack_window());
        if (!saved) saved = saved_screenshot(display_, DefaultRootWindow(display_));
        if (saved) root_position(display_, hack_window(), origin_x, origin_y);
        if (trap.failed() || !saved) return shot;
        source = saved;
    }

    Window root = None;
    int sx = 0, sy = 0;
    unsigned int sw = 0, sh = 0, border = 0, depth = 0;
    XErrorTrap trap(display_);
    if (!XGetGeometry(display_, source, &root, &sx, &sy, &sw, &sh, &border, &depth) || trap.failed()) return shot;

    // The part of the request that the source has.
    const long left = std::max<long>(origin_x + x, 0), top = std::max<long>(origin_y + y, 0);
    const long right = std::min<long>(static_cast<long>(origin_x) + x + width, sw);
    const long bottom = std::min<long>(static_cast<long>(origin_y) + y + height, sh);
    if (left >= right || top >= bottom) return shot;

    // A band of rows at a time: the server's answer to one request for the
    // whole of a large screen is a second copy of it, which the connection
    // would have to hold at once, and running out of memory there would
    // look like a lost connection.
    const ScreenColors colors = screen_colors(display_);
    const long band = std::max<long>(1, (4L << 20) / (4 * (right - left)));
    for (long y0 = top; y0 < bottom; y0 += band) {
        const long rows = std::min(band, bottom - y0);
        XImage* image = XGetImage(display_, source, static_cast<int>(left), static_cast<int>(y0),
                                  static_cast<unsigned>(right - left), static_cast<unsigned>(rows), AllPlanes, ZPixmap);
        if (trap.failed() || !image) {
            if (image) XDestroyImage(image);
            return shot;
        }
        copy_pixels(image, colors, shot, static_cast<int>(left - origin_x - x), static_cast<int>(y0 - origin_y - y));
        XDestroyImage(image);
    }
    return shot;
}

std::vector<Monitor> X11Platform::listed_monitors()
{
    if (hack_mode()) {
        int width = 0, height = 0;
        if (!client_size(static_cast<NativeHandle>(hack_window()), width, height)) return {};
        return {{{0, 0, width, height}, true}};
    }
    std::vector<Monitor> monitors = randr_monitors(display_);
    std::vector<Monitor> heads = xinerama_heads(display_);
    // Some servers (Xephyr with +xinerama among them) give RandR one monitor
    // for several heads: where Xinerama knows more, its heads count, and the
    // one under the middle of RandR's primary monitor is the primary one.
    if (heads.size() <= monitors.size()) return monitors;
    for (const Monitor& m : monitors)
        if (m.primary)
            for (Monitor& head : heads)
                head.primary = head.primary || contains(head.area, {(m.area.left + m.area.right) / 2,
                                                                    (m.area.top + m.area.bottom) / 2});
    return heads;
}

std::optional<Point> X11Platform::pointer_position()
{
    Window root = None, child = None;
    int x = 0, y = 0, window_x = 0, window_y = 0;
    unsigned int mask = 0;
    if (!XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &x, &y, &window_x, &window_y, &mask))
        return std::nullopt;
    return Point{x, y};
}

void X11Platform::watch_monitors()
{
    // A hack's monitor is the daemon's business.
    if (hack_mode() || watching_monitors_) return;
    watching_monitors_ = true;
    int error_base = 0;
    if (XRRQueryExtension(display_, &randr_event_base_, &error_base))
        XRRSelectInput(display_, DefaultRootWindow(display_), RRScreenChangeNotifyMask);
    else
        randr_event_base_ = -1;
    // The root window's size changes come without RandR too, and a change of
    // RandR's monitors alone comes only this way.
    XSelectInput(display_, DefaultRootWindow(display_), StructureNotifyMask);
    XFlush(display_);
}

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

bool X11Platform::client_size(NativeHandle window, int& width, int& height)
{
    width = height = 0;
    if (window <= 0 || window > 0xFFFFFFFF) return false;
    XWindowAttributes attributes{};
    XErrorTrap trap(display_);
    const bool known = XGetWindowAttributes(display_, static_cast<Window>(window), &attributes) != 0;
    if (trap.failed() || !known) return false;
    width = attributes.width;
    height = attributes.height;
    return true;
}

std::unique_ptr<NativeWindow> X11Platform::create_window(Form& form)
{
#ifdef FROSTWISP_GTK_DIALOGS
    if (dynamic_cast<DialogForm*>(&form)) {
        if (!dialogs_ready_) dialogs_ready_ = gtk_backend_init();
        if (dialogs_ready_) {
            loop_.pump_dialogs_with(gtk_backend_pump);
            return create_gtk_window(form);
        }
    }
#endif
    // A window or a screen with nothing but a palette cannot show the picture.
    if (hack_mode()) {
        if (!X11Window::shows_colors(display_, hack_window())) raise_error(err::invalid_picture);
        return std::make_unique<X11Window>(*this, form, hack_window());
    }
    if (!X11Window::shows_colors(display_)) raise_error(err::invalid_picture);
    return std::make_unique<X11Window>(*this, form);
}

std::unique_ptr<TextRenderer> X11Platform::create_text_renderer(const FontSpec& desc)
{
    return make_freetype_renderer(desc, dpi_);
}

std::vector<X11Window*> X11Platform::windows() const
{
    std::vector<X11Window*> all;
    for (LoopWindow* window : loop_.windows()) all.push_back(static_cast<X11Window*>(window));
    return all;
}

void X11Platform::watch(Window window, X11Window* handler) { watched_[window] = handler; }

void X11Platform::unwatch(X11Window* handler)
{
    std::erase_if(watched_, [&](const auto& entry) { return entry.second == handler; });
}

void X11Platform::dispatch(XEvent& event)
{
    if (watching_monitors_ && event.xany.window == DefaultRootWindow(display_) &&
        (event.type == ConfigureNotify || (randr_event_base_ >= 0 && event.type == randr_event_base_ + RRScreenChangeNotify))) {
        // Keeps Xlib's idea of the screen size up to date.
        XRRUpdateConfiguration(&event);
        monitors_dirty_ = true;
        return;
    }
    const auto found = watched_.find(event.xany.window);
    if (found != watched_.end()) found->second->handle_event(event);
}

void X11Platform::dispatch_queued()
{
    while (XEventsQueued(display_, QueuedAlready) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        dispatch(event);
    }
}

void X11Platform::dispatch()
{
    // What the server sent while the program slept; at frame rate that is
    // read at the end of the last round instead (see after_timers).
    if (!animating_) XEventsQueued(display_, QueuedAfterReading);
    dispatch_queued();
    // One change of the monitors comes as several events: the scenes are
    // rebuilt once, after all of them.
    if (monitors_dirty_) {
        monitors_dirty_ = false;
        monitors_changed();
    }
}

bool X11Platform::timers_paused(SteadyTime t)
{
    // With the outputs powered down the windows' timers wait, so that
    // nothing is drawn and sent that no one sees.
    if (power_saving_ && t >= next_power_look_) next_power_look_ = t + power_saving_->check();
    return power_saving_ && power_saving_->outputs_off();
}

void X11Platform::after_timers(bool dark)
{
    // While a window animates, the connection is read once a round, after
    // its frame went out, and what came is handled at once; until the next
    // frame only a signal wakes the program. An event then waits at most a
    // frame, and the server's report of each finished image put costs no
    // wake-up of its own. Xlib reads as it flushes a frame, so the look here
    // usually finds that report already queued and needs no call of its own;
    // with nothing queued it flushes what the handlers left and reads.
    animating_ = false;
    for (const X11Window* window : windows())
        animating_ = animating_ || (!dark && window->timer_running() && window->timer_interval() <= kFrameInterval);
    if (animating_) {
        XPending(display_);
        dispatch_queued();
    }
}

bool X11Platform::pending()
{
    // Flushing may read events off the connection into Xlib's queue, where
    // polling the connection would not see them: flush and look first.
    return !animating_ && XPending(display_) > 0;
}

SteadyTime X11Platform::wake_by(SteadyTime wake, SteadyTime t)
{
    if (power_saving_) wake = std::min(wake, next_power_look_);
    for (const X11Window* window : windows())
        if (window->grab_pending()) wake = std::min(wake, t + std::chrono::milliseconds(50));
    return wake;
}

int X11Platform::prepare_wait() { return animating_ ? -1 : ConnectionNumber(display_); }

}  // namespace fw
