// Any bytes as the command text: normalising it, picking the switch and reading
// the window handle never crash; an out-of-range handle is a run-time error.
#include "host/saver.h"
#include "toolkit/numbers.h"
#include "toolkit/runtime_error.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string command = fw::upper(fw::trim(text));
    const std::string mode = command.substr(0, 2);
    try {
        (void)fw::Saver::window_handle_from(command);
        (void)fw::parse_number(command, ',');
    } catch (const fw::RuntimeError&) {
    }
    (void)mode;
    return 0;
}
