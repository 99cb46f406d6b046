// X protocol errors never end the program: a saver that meets a window that
// has just gone, or a display without shared memory, carries on. The handler
// is installed once per process; a trap around a few requests tells whether
// any of them failed. Only losing the connection ends the program.
#pragma once

#include <X11/Xlib.h>

namespace fw {

// Installs the process's handlers: one records errors and ignores them; the
// other ends the program at once when the connection to the server is lost.
void install_x_error_handler();

class XErrorTrap {
public:
    // Syncs first, so that earlier requests' errors are not counted.
    explicit XErrorTrap(Display* display);
    // Syncs and tells whether a request since the trap was set failed.
    bool failed();
    // The error code of the first failure, 0 for none.
    int error_code() const { return code_; }

private:
    Display* display_;
    unsigned long first_serial_;
    int code_ = 0;
};

}  // namespace fw
