// An axis-aligned rectangle in the half-open convention of GDI: left and top
// inclusive, right and bottom exclusive.
#pragma once

namespace fw {

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const Rect&) const = default;
};

}  // namespace fw
