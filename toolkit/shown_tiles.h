// Damage tracking for a window: what it last showed of its surface, so that a
// refresh sends only the dirty tiles since, as the surface lists them.
#pragma once

#include "toolkit/canvas.h"

#include <cstdint>
#include <vector>

namespace fw {

class ShownTiles {
public:
    // Unchanged tiles that a run of changed tiles in one row takes in to join
    // the next run: sending a few pixels again costs less than another
    // rectangle.
    static constexpr int kJoinGap = 2;

    // Nothing counts as shown any more: the next changes cover everything.
    void forget() { canvas_ = 0; }
    // The parts of canvas that changed since it was last shown. Each row of
    // tiles gives its runs of changed tiles, left to right, so the
    // rectangles come in bands: top to bottom, and within a band the same
    // top and bottom and no overlap. From now on the current content counts
    // as shown.
    std::vector<Rect> take_changes(const Canvas& canvas);

private:
    uint64_t canvas_ = 0;
    uint64_t mark_ = 0;
    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> listed_;
    TileSet changed_;
};

}  // namespace fw
