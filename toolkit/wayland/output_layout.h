// Where the outputs of a Wayland compositor lie in the program's screen
// coordinates. The compositor places its outputs in a logical space, while a
// scene is drawn at the output's device pixels; with outputs of several
// scales the two disagree. The screen coordinates are the logical space
// enlarged by the largest scale: each output's top-left corner is its
// logical position times that factor, and its size its device pixels, so
// that outputs never overlap and a pointer path across a seam stays one
// path. Where every output has the same scale these are device pixels.
#pragma once

#include "toolkit/monitors.h"

#include <vector>

namespace fw {

struct OutputGeometry {
    // The logical rectangle (the compositor's own coordinates).
    double x = 0, y = 0, width = 0, height = 0;
    // Device pixels, after the output's rotation.
    int device_width = 0;
    int device_height = 0;
};

// Where the pixel (x, y) of an output as it shows, shown_width by
// shown_height, lies in the output's buffer (the mode before the output's
// transform, which a screen copy delivers): transform is wl_output's, 0 to 7,
// the rotations 90, 180 and 270 counter-clockwise, then the same flipped.
Point buffer_point(int transform, int x, int y, int shown_width, int shown_height);

class OutputLayout {
public:
    explicit OutputLayout(const std::vector<OutputGeometry>& outputs);

    // Logical units to screen units.
    double factor() const { return factor_; }
    // The monitor of output i, in screen coordinates.
    Rect area(size_t i) const { return areas_.at(i); }
    const std::vector<Rect>& areas() const { return areas_; }
    // A point of output i given in surface-local logical units, in screen
    // units relative to that output's top-left corner.
    double to_area_x(size_t i, double surface_x) const;
    double to_area_y(size_t i, double surface_y) const;

private:
    std::vector<OutputGeometry> outputs_;
    std::vector<Rect> areas_;
    double factor_ = 1;
};

}  // namespace fw
