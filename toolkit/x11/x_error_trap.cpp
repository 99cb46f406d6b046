#include "toolkit/x11/x_error_trap.h"

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

}  // namespace

void install_x_error_handler() { XSetErrorHandler(record_error); }

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
