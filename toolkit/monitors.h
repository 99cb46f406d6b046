// The monitors of the screen as the program uses them: the full-screen saver
// shows one scene on each, and dialogs open in the middle of one of them.
// Backends list what the system reports; the rules here make that a layout.
#pragma once

#include "toolkit/canvas.h"

#include <optional>
#include <string_view>
#include <vector>

namespace fw {

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct Monitor {
    // In screen coordinates, half-open. On Windows a monitor may lie left of
    // or above the primary one, whose top-left corner is (0, 0).
    Rect area;
    bool primary = false;
    bool operator==(const Monitor&) const = default;
};

int width_of(const Rect& r);
int height_of(const Rect& r);
bool contains(const Rect& r, Point p);

// The monitors to cover, from what the system lists, in its order: empty
// rectangles go; monitors that overlap one another (clones, or a mirror at
// another size) become one monitor over their bounding box, at the place of
// the first of them, primary when any of them was. When nothing is left,
// whole_screen.
std::vector<Monitor> arrange_monitors(const std::vector<Monitor>& listed, const Rect& whole_screen);

// The smallest rectangle that holds every monitor; empty for none.
Rect bounding_box(const std::vector<Monitor>& monitors);

// Where dialogs open: the primary monitor, else the one holding the pointer,
// else the first; the whole of fallback when there is none.
Rect dialog_monitor(const std::vector<Monitor>& monitors, std::optional<Point> pointer, const Rect& fallback);

// "WxH+X+Y[,WxH+X+Y...]" (X and Y may be negative: "+-1280"); nothing when
// the text is no such list, a size is not positive, or a number lies beyond
// 2^20.
std::optional<std::vector<Monitor>> parse_monitor_list(std::string_view text);

}  // namespace fw
