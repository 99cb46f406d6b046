#include "scene/scene_group.h"

#include "toolkit/platform.h"

#include <algorithm>

namespace fw {

Image SceneGroup::desktop(const Rect& area)
{
    if (!snapshot_)
        snapshot_ = platform().capture_screen(screen_.left, screen_.top, screen_.right - screen_.left,
                                              screen_.bottom - screen_.top);
    Image part;
    part.width = std::max(area.right - area.left, 0);
    part.height = std::max(area.bottom - area.top, 0);
    part.pixels.assign(static_cast<size_t>(part.width) * static_cast<size_t>(part.height), rgb(0, 0, 0));
    const Image& shot = *snapshot_;
    for (int y = 0; y < part.height; ++y) {
        const int sy = area.top + y - screen_.top;
        if (sy < 0 || sy >= shot.height) continue;
        for (int x = 0; x < part.width; ++x) {
            const int sx = area.left + x - screen_.left;
            if (sx >= 0 && sx < shot.width)
                part.pixels[static_cast<size_t>(y) * static_cast<size_t>(part.width) + static_cast<size_t>(x)] =
                    shot.at(sx, sy);
        }
    }
    return part;
}

}  // namespace fw
