// A small X client for the end-to-end scripts: makes the windows a saver is
// embedded or drawn into, and reads what xdotool and ImageMagick cannot.
//
//   x11_test_helper window W H [--screenshot RRGGBB]
//       maps a W x H window at (10, 10), prints its id in decimal and lives
//       until SIGTERM; with --screenshot it also leaves a screen-sized pixmap
//       of that colour in the window's _SCREENSAVER_SCREENSHOT property.
//   x11_test_helper pixels WINDOW X Y [X Y ...]
//       prints "R G B" for each pixel of the window (a decimal or 0x id, or "root").
//   x11_test_helper cursor          prints how many pixels of the pointer show
//   x11_test_helper grab-keyboard   grabs and releases the keyboard; exit 0 when it could
//   x11_test_helper saver-state     prints the X screen saver's state: on, off or disabled
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/scrnsaver.h>

#include <csignal>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

int fail(const char* message)
{
    std::fprintf(stderr, "x11_test_helper: %s\n", message);
    return 2;
}

Window window_arg(Display* d, const char* text)
{
    if (std::strcmp(text, "root") == 0) return DefaultRootWindow(d);
    return static_cast<Window>(std::strtoul(text, nullptr, 0));
}

int make_window(Display* d, int argc, char** argv)
{
    if (argc < 4) return fail("window W H [--screenshot RRGGBB]");
    const unsigned w = static_cast<unsigned>(std::atoi(argv[2])), h = static_cast<unsigned>(std::atoi(argv[3]));
    const int screen = DefaultScreen(d);
    XSetWindowAttributes a{};
    a.override_redirect = True;  // placed exactly, with or without a window manager
    a.background_pixel = 0x808080;
    const Window window = XCreateWindow(d, DefaultRootWindow(d), 10, 10, w, h, 0, CopyFromParent, InputOutput,
                                        CopyFromParent, CWOverrideRedirect | CWBackPixel, &a);
    XStoreName(d, window, "frostwisp test window");
    if (argc >= 6 && std::strcmp(argv[4], "--screenshot") == 0) {
        const unsigned long colour = std::strtoul(argv[5], nullptr, 16);
        const Pixmap shot = XCreatePixmap(d, DefaultRootWindow(d), static_cast<unsigned>(DisplayWidth(d, screen)),
                                          static_cast<unsigned>(DisplayHeight(d, screen)),
                                          static_cast<unsigned>(DefaultDepth(d, screen)));
        const GC gc = XCreateGC(d, shot, 0, nullptr);
        XSetForeground(d, gc, colour);
        XFillRectangle(d, shot, gc, 0, 0, static_cast<unsigned>(DisplayWidth(d, screen)),
                       static_cast<unsigned>(DisplayHeight(d, screen)));
        const Atom name = XInternAtom(d, "_SCREENSAVER_SCREENSHOT", False);
        XChangeProperty(d, window, name, XA_PIXMAP, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&shot), 1);
    }
    XMapRaised(d, window);
    XSync(d, False);
    std::printf("%lu\n", window);
    std::fflush(stdout);

    // The signals are taken in turn with the events, never in the middle of a read.
    sigset_t ends;
    sigemptyset(&ends);
    sigaddset(&ends, SIGTERM);
    sigaddset(&ends, SIGINT);
    sigprocmask(SIG_BLOCK, &ends, nullptr);
    const timespec tick{0, 20'000'000};
    while (sigtimedwait(&ends, nullptr, &tick) < 0) {
        while (XPending(d)) {
            XEvent e;
            XNextEvent(d, &e);
        }
    }
    XDestroyWindow(d, window);
    XSync(d, False);
    return 0;
}

int read_pixels(Display* d, int argc, char** argv)
{
    if (argc < 5 || (argc - 3) % 2 != 0) return fail("pixels WINDOW X Y [X Y ...]");
    const Window window = window_arg(d, argv[2]);
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(d, window, &attributes)) return fail("no such window");
    const Visual* v = attributes.visual;
    // Channels narrower than 8 bits (an 8-bit screen's 3-3-2) widened to 0-255.
    auto channel = [](unsigned long pixel, unsigned long mask) {
        if (!mask) return 0;
        int shift = 0;
        while (!((mask >> shift) & 1)) ++shift;
        const unsigned long top = mask >> shift;
        return static_cast<int>(((pixel & mask) >> shift) * 255 / top);
    };
    for (int i = 3; i + 1 < argc; i += 2) {
        const int x = std::atoi(argv[i]), y = std::atoi(argv[i + 1]);
        XImage* image = XGetImage(d, window, x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image) return fail("pixel outside the window");
        const unsigned long p = XGetPixel(image, 0, 0);
        std::printf("%d %d %d\n", channel(p, v->red_mask), channel(p, v->green_mask), channel(p, v->blue_mask));
        XDestroyImage(image);
    }
    return 0;
}

int cursor_pixels(Display* d)
{
    int event_base = 0, error_base = 0;
    if (!XFixesQueryExtension(d, &event_base, &error_base)) return fail("no XFIXES");
    XFixesCursorImage* cursor = XFixesGetCursorImage(d);
    if (!cursor) return fail("no cursor image");
    long shown = 0;
    for (long i = 0; i < static_cast<long>(cursor->width) * cursor->height; ++i)
        if ((cursor->pixels[i] >> 24) & 0xFF) ++shown;
    std::printf("%ld\n", shown);
    XFree(cursor);
    return 0;
}

int grab_keyboard(Display* d)
{
    const int status = XGrabKeyboard(d, DefaultRootWindow(d), False, GrabModeAsync, GrabModeAsync, CurrentTime);
    XUngrabKeyboard(d, CurrentTime);
    XSync(d, False);
    std::printf("%s\n", status == GrabSuccess ? "grabbed" : "refused");
    return status == GrabSuccess ? 0 : 1;
}

int saver_state(Display* d)
{
    XScreenSaverInfo* info = XScreenSaverAllocInfo();
    if (!info || !XScreenSaverQueryInfo(d, DefaultRootWindow(d), info)) return fail("no MIT-SCREEN-SAVER");
    std::printf("%s\n", info->state == ScreenSaverOn ? "on" : info->state == ScreenSaverOff ? "off" : "disabled");
    XFree(info);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return fail("window | pixels | cursor | grab-keyboard | saver-state");
    Display* d = XOpenDisplay(nullptr);
    if (!d) return fail("cannot open the display");
    const std::string command = argv[1];
    int status;
    if (command == "window") status = make_window(d, argc, argv);
    else if (command == "pixels") status = read_pixels(d, argc, argv);
    else if (command == "cursor") status = cursor_pixels(d);
    else if (command == "grab-keyboard") status = grab_keyboard(d);
    else if (command == "saver-state") status = saver_state(d);
    else status = fail("unknown command");
    XCloseDisplay(d);
    return status;
}
