// One run of the saver on a platform, as every entry point makes it: the
// platform installed, Saver::Main dispatching on the command line, then the
// platform's own loop until the last form is gone or the program ends.
#pragma once

#include <functional>
#include <optional>

namespace fw {

class Platform;

// run_loop runs the platform's event loop (or, off-screen, its ticks). The
// forms are discarded while the platform still lives, then it is
// uninstalled. Returns the exit status a ProgramEnd carried, or nothing when
// the loop returned by itself.
std::optional<int> run_saver(Platform& platform, const std::function<void()>& run_loop);

}  // namespace fw
