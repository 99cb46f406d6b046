#include "toolkit/x11/x_error_trap.h"

#include <unistd.h>

#include <cstdio>
#include <vector>

namespace fw {

namespace {

struct RecordedError {
    unsigned long serial;
    int code;
};

// The latest errors; traps look for theirs by request serial.
std::vector<RecordedError>& recorded()
{
    static std::vector<RecordedError> errors;
    return errors;
}

int record_error(Display*, XErrorEvent* event)
{
    auto& errors = recorded();
    if (errors.size() >= 64) errors.erase(errors.begin());
    errors.push_back({event->serial, event->error_code});
    return 0;
}

// Xlib's own handler ends the program with exit(), which runs the clean-up
// of everything still alive. But the connection can go at any point, even
// while the program is already unloading its windows (a session that ends
// stops the X server and sends SIGTERM together), and that clean-up then
// meets half-destroyed objects and X resources that are gone. Nothing the
// program keeps needs a clean-up to stay intact: settings are only ever
// replaced whole.
int on_lost_connection(Display* display)
{
    std::fprintf(stderr, "frostwisp: lost the connection to the X server %s\n", DisplayString(display));
    _exit(1);
}

}  // namespace

void install_x_error_handler()
{
    XSetErrorHandler(record_error);
    XSetIOErrorHandler(on_lost_connection);
}

XErrorTrap::XErrorTrap(Display* display) : display_(display)
{
    XSync(display_, False);
    first_serial_ = NextRequest(display_);
}

bool XErrorTrap::failed()
{
    XSync(display_, False);
    for (const RecordedError& e : recorded())
        if (e.serial >= first_serial_) {
            code_ = e.code;
            break;
        }
    return code_ != 0;
}

}  // namespace fw
