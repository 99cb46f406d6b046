// The off-screen renderer as the Linux program runs it (frostwisp --render).
#pragma once

#include "toolkit/headless/render.h"

#include <string>
#include <vector>

namespace fw {

// arguments: everything after "--render". Returns the process exit status; a
// bad argument prints a one-line usage error to standard error and gives 2.
int run_render(const std::vector<std::string>& arguments, RenderServices services);

}  // namespace fw
