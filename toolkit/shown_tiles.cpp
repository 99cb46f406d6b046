#include "toolkit/shown_tiles.h"

#include <algorithm>

namespace fw {

std::vector<Rect> ShownTiles::take_changes(const Canvas& canvas)
{
    std::vector<Rect> out;
    const bool same = canvas.id() == canvas_ && canvas.width() == width_ && canvas.height() == height_;
    listed_.clear();
    if (!same || !canvas.changes_since(mark_, listed_)) {
        // A new surface, or one whose list no longer reaches back to the
        // last refresh: all of it.
        canvas_ = canvas.id();
        width_ = canvas.width();
        height_ = canvas.height();
        changed_.reset(canvas.tiles_across(), canvas.tiles_down());
        mark_ = canvas.mark_changes();
        if (width_ > 0 && height_ > 0) out.push_back(Rect{0, 0, width_, height_});
        return out;
    }
    mark_ = canvas.mark_changes();
    // Every listed tile differs from what the window shows, but for one
    // changed and changed back in between, which is sent again.
    for (const uint32_t t : listed_) changed_.add(t);
    changed_.take_runs(kJoinGap, [&](int ty, int first, int end) {
        const int top = ty * Canvas::kTileHeight;
        out.push_back(Rect{first * Canvas::kTileWidth, top, std::min(end * Canvas::kTileWidth, width_),
                           std::min(top + Canvas::kTileHeight, height_)});
    });
    return out;
}

}  // namespace fw
