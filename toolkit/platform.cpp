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

std::vector<Monitor> Platform::monitors()
{
    return arrange_monitors(listed_monitors(), Rect{0, 0, screen_width_px(), screen_height_px()});
}

Rect Platform::dialog_area()
{
    return dialog_monitor(monitors(), pointer_position(), Rect{0, 0, screen_width_px(), screen_height_px()});
}

void Platform::on_monitors_changed(std::function<void()> handler)
{
    const bool first = !monitors_changed_;
    monitors_changed_ = std::move(handler);
    if (first && monitors_changed_) watch_monitors();
}

void Platform::monitors_changed()
{
    // A copy: the handler may install another one.
    if (const auto handler = monitors_changed_) handler();
}

}  // namespace fw
