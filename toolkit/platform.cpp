#include "toolkit/platform.h"

#include <cassert>

namespace fw {

namespace {
Platform* installed = nullptr;
}

Platform& platform()
{
    assert(installed && "the entry point installs a platform backend before anything else runs");
    return *installed;
}

void install_platform(Platform* backend) { installed = backend; }

}  // namespace fw
