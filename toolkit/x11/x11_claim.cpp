// One full-screen saver per display: a selection owned while the saver runs,
// which the server drops with its owner's connection.
#include "toolkit/x11/x11_platform.h"

#include "toolkit/linux/compositor_socket.h"

#include <X11/extensions/Xrandr.h>

#include <cstdio>
#include <string_view>

namespace fw {

void X11Platform::set_screensaver_running(bool running)
{
    if (running && !claim_display()) {
        // A second saver would cover the first, and a key would end only one.
        std::fprintf(stderr, "frostwisp: the saver already runs on this display\n");
        end_program();
    }
    saver_running_ = running;
    update_saver_hold();
}

namespace {

// XWayland says so with its extension from version 23.1 on; before, its
// RandR outputs are named XWAYLAND0, XWAYLAND1, ...
bool on_xwayland(Display* display)
{
    int opcode = 0, first_event = 0, first_error = 0;
    if (XQueryExtension(display, "XWAYLAND", &opcode, &first_event, &first_error)) return true;
    if (!XQueryExtension(display, "RANDR", &opcode, &first_event, &first_error)) return false;
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (!resources) return false;
    bool named = false;
    for (int i = 0; i < resources->noutput && !named; ++i) {
        if (XRROutputInfo* info = XRRGetOutputInfo(display, resources, resources->outputs[i])) {
            named = std::string_view(info->name, static_cast<size_t>(info->nameLen)).starts_with("XWAYLAND");
            XRRFreeOutputInfo(info);
        }
    }
    XRRFreeScreenResources(resources);
    return named;
}

}  // namespace

bool X11Platform::claim_display()
{
    if (claim_window_) return true;
    // XWayland's screen is the compositor's, where a saver of this program
    // may run on Wayland: the two share the compositor's claim.
    if (on_xwayland(display_) && claim_compositor(compositor_claim_fd_) == ClaimResult::taken) return false;
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

}  // namespace fw
