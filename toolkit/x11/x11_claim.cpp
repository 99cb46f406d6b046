// One full-screen saver per display: a selection owned while the saver runs,
// which the server drops with its owner's connection.
#include "toolkit/x11/x11_platform.h"

#include <cstdio>

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

}  // namespace fw
