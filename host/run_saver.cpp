#include "host/run_saver.h"

#include "host/saver.h"
#include "toolkit/form.h"
#include "toolkit/platform.h"
#include "toolkit/runtime_error.h"

namespace fw {

std::optional<int> run_saver(Platform& platform, const std::function<void()>& run_loop)
{
    std::optional<int> ended;
    install_platform(&platform);
    try {
        Saver::Main();
        if (run_loop) run_loop();
    } catch (const ProgramEnd& end) {
        ended = end.exit_code;
    }
    Forms::discard_all();
    install_platform(nullptr);
    return ended;
}

}  // namespace fw
