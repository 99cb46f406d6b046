#include "toolkit/x11/x11_platform.h"

#include "toolkit/form.h"
#include "toolkit/freetype/freetype_text.h"
#include "toolkit/linux/screen_dpi.h"
#include "toolkit/runtime_error.h"
#include "toolkit/x11/x11_window.h"
#include "toolkit/x11/x_error_trap.h"

#include <X11/Xutil.h>

// Dialog windows are GTK's; the build defines FROSTWISP_GTK_DIALOGS when it
// links that backend.
#if defined(FROSTWISP_GTK_DIALOGS) && __has_include("toolkit/gtk/gtk_backend.h")
#include "toolkit/dialog_form.h"
#include "toolkit/gtk/gtk_backend.h"
#else
#undef FROSTWISP_GTK_DIALOGS
#endif

namespace fw {

X11Platform::X11Platform(Display* display, std::vector<std::string> arguments, SettingsStore& settings)
    : LinuxPlatform(std::move(arguments), settings),
      display_(display),
      xft_dpi_(xft_dpi(XResourceManagerString(display))),
      dpi_(xft_dpi_.value_or(96.0)),
      wm_delete_window_(XInternAtom(display, "WM_DELETE_WINDOW", False)),
      wm_protocols_(XInternAtom(display, "WM_PROTOCOLS", False))
{
    display_power_ = make_dpms_power(display);
}

X11Platform::~X11Platform()
{
    if (blank_cursor_) XFreeCursor(display_, blank_cursor_);
    XCloseDisplay(display_);
    if (compositor_claim_fd_ >= 0) ::close(compositor_claim_fd_);
}

void X11Platform::show_cursor(bool show)
{
    // The daemon decides about the pointer over its window.
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
    return create_x_window(form);
}

std::unique_ptr<NativeWindow> X11Platform::create_x_window(Form& form)
{
    // A screen with nothing but a palette cannot show the picture.
    if (!X11Window::shows_colors(display_)) raise_error(err::invalid_picture);
    return std::make_unique<X11Window>(*this, form);
}

std::unique_ptr<TextRenderer> X11Platform::create_text_renderer(const FontSpec& desc)
{
    return make_freetype_renderer(desc, dpi_);
}


}  // namespace fw
