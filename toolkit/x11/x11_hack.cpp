#include "toolkit/x11/x11_hack.h"

#include "toolkit/runtime_error.h"
#include "toolkit/x11/x11_window.h"
#include "toolkit/x11/x_error_trap.h"

#include <X11/Xatom.h>

namespace fw {

namespace {

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

// Where window lies on the root window.
void root_position(Display* display, Window window, int& x, int& y)
{
    x = y = 0;
    Window child = None;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
}

}  // namespace

X11HackPlatform::X11HackPlatform(Display* display, std::vector<std::string> arguments, SettingsStore& settings,
                                 HackTarget target)
    : X11Platform(display, std::move(arguments), settings), target_(target)
{
}

Window X11HackPlatform::window() const
{
    if (target_.root) return DefaultRootWindow(display());
    return static_cast<Window>(target_.window);
}

Image X11HackPlatform::capture_screen(int x, int y, int width, int height)
{
    Pixmap saved = None;
    int origin_x = 0, origin_y = 0;  // of the hack's window on the screenshot
    {
        XErrorTrap trap(display());
        saved = saved_screenshot(display(), window());
        if (!saved) saved = saved_screenshot(display(), DefaultRootWindow(display()));
        if (saved) root_position(display(), window(), origin_x, origin_y);
        if (trap.failed()) saved = None;
    }
    if (!saved) return black_image(width, height);
    return capture_from(saved, origin_x, origin_y, x, y, width, height);
}

std::vector<Monitor> X11HackPlatform::listed_monitors()
{
    int width = 0, height = 0;
    if (!client_size(static_cast<NativeHandle>(window()), width, height)) return {};
    return {{{0, 0, width, height}, true}};
}

std::unique_ptr<NativeWindow> X11HackPlatform::create_x_window(Form& form)
{
    // A window with nothing but a palette cannot show the picture.
    if (!X11Window::shows_colors(display(), window())) raise_error(err::invalid_picture);
    return std::make_unique<X11Window>(*this, form, window());
}

}  // namespace fw
