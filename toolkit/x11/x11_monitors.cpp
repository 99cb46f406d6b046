// The monitors on X: RandR's (1.5) monitor list, or Xinerama's heads where
// it knows more of them, and the root window's changes that announce a new
// layout.
#include "toolkit/x11/x11_platform.h"

#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

namespace fw {

namespace {

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

}  // namespace

std::vector<Monitor> X11Platform::listed_monitors()
{
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
    if (watching_monitors_) return;
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

}  // namespace fw
