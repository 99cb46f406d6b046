#include "toolkit/wayland/output_layout.h"

#include <algorithm>
#include <cmath>

namespace fw {

Point buffer_point(int transform, int x, int y, int shown_width, int shown_height)
{
    const int w = shown_width, h = shown_height;
    switch (transform) {
    case 1: return {y, w - 1 - x};
    case 2: return {w - 1 - x, h - 1 - y};
    case 3: return {h - 1 - y, x};
    case 4: return {w - 1 - x, y};
    case 5: return {y, x};
    case 6: return {x, h - 1 - y};
    case 7: return {h - 1 - y, w - 1 - x};
    default: return {x, y};
    }
}

OutputLayout::OutputLayout(const std::vector<OutputGeometry>& outputs) : outputs_(outputs)
{
    for (const OutputGeometry& o : outputs_)
        if (o.width > 0 && o.height > 0)
            factor_ = std::max({factor_, o.device_width / o.width, o.device_height / o.height});
    for (const OutputGeometry& o : outputs_) {
        const int left = static_cast<int>(std::lround(o.x * factor_));
        const int top = static_cast<int>(std::lround(o.y * factor_));
        areas_.push_back(Rect{left, top, left + std::max(o.device_width, 0), top + std::max(o.device_height, 0)});
    }
}

double OutputLayout::to_area_x(size_t i, double surface_x) const
{
    return (outputs_.at(i).x + surface_x) * factor_ - areas_.at(i).left;
}

double OutputLayout::to_area_y(size_t i, double surface_y) const
{
    return (outputs_.at(i).y + surface_y) * factor_ - areas_.at(i).top;
}

}  // namespace fw
