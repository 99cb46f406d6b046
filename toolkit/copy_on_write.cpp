// Copy-on-write sharing of canvas memory, and whole-canvas copies that move
// only the dirty tiles: a window's surface that copies a canvas of its kind
// holds the canvas' buffer instead, and the first write to either gives the
// writer memory of its own (a parked spare, whose differing tiles are known,
// where there is one). A copy that cannot share compares content stamps and
// copies only the tiles the two canvases' change logs name.
#include "toolkit/canvas_buffer.h"

#include <algorithm>
#include <cstring>

namespace fw {

void Canvas::attach(std::shared_ptr<Buffer> buffer) const
{
    buffer_ = std::move(buffer);
    pixels_ = buffer_->pixels;
    state_ = buffer_->state.data();
}

PixelStore& Canvas::store() const { return *buffer_->store; }

std::shared_ptr<Canvas::Buffer> Canvas::spare_for(Buffer& shared) const
{
    std::shared_ptr<Buffer> spare = std::move(shared.spare);
    if (spare && spare.use_count() == 1 && spare->width == width_ && spare->height == height_ &&
        spare->store->shows_like(*shared.store))
        return spare;
    return Buffer::make(shared.store->another(), width_, height_, tiles());
}

void Canvas::separate(bool whole)
{
    const std::shared_ptr<Buffer> shared = buffer_;
    std::shared_ptr<Buffer> own = spare_for(*shared);
    const bool known = own->differences_known(*shared);
    std::vector<uint32_t> differing = std::move(own->differing);
    own->differs_from = 0;
    own->differing.clear();
    attach(std::move(own));
    if (whole) return;
    buffer_->store->before_write();
    if (known) {
        for (const uint32_t t : differing) {
            to_copy_.add(t);
            state_[t] = shared->state[t];
        }
        copy_runs(shared->pixels);
    } else {
        if (pixels_) std::memcpy(pixels_, shared->pixels, static_cast<size_t>(width_) * static_cast<size_t>(height_) * sizeof(Color));
        std::copy(shared->state.begin(), shared->state.end(), state_);
    }
}

void Canvas::prepare_write(bool whole)
{
    if (buffer_.use_count() > 1) separate(whole);
    buffer_->store->before_write();
    ++buffer_->writes;
}

bool Canvas::candidates(const Canvas& src, std::vector<uint32_t>& out) const
{
    return sync_.other == src.id_ && log_.since(sync_.own_mark, out) && src.log_.since(sync_.other_mark, out);
}

void Canvas::copy_runs(const Color* from)
{
    // Row by row through each row of tiles, so that one row of pixels is
    // done with before the next.
    const auto stride = static_cast<size_t>(width_);
    int band = -1;
    auto copy_band = [&] {
        if (band < 0) return;
        const int top = band * kTileHeight, bottom = std::min(top + kTileHeight, height_);
        for (int y = top; y < bottom; ++y) {
            const size_t row_start = static_cast<size_t>(y) * stride;
            for (const auto& [left, count] : runs_) {
                // Whole tile rows as fixed-size copies, which the compiler
                // makes a few vector moves rather than a call.
                Color* to = pixels_ + row_start + left;
                const Color* at = from + row_start + left;
                size_t n = count;
                for (; n >= kTileWidth; n -= kTileWidth, to += kTileWidth, at += kTileWidth)
                    std::memcpy(to, at, kTileWidth * sizeof(Color));
                if (n > 0) std::memcpy(to, at, n * sizeof(Color));
            }
        }
        runs_.clear();
    };
    to_copy_.take_runs(0, [&](int ty, int first, int end) {
        if (ty != band) {
            copy_band();
            band = ty;
        }
        const int left = first * kTileWidth, right = std::min(end * kTileWidth, width_);
        runs_.emplace_back(static_cast<size_t>(left), static_cast<size_t>(right - left));
    });
    copy_band();
}

void Canvas::copy_box(uint32_t tile, const Color* from)
{
    const TileBox box = state_[tile].box;
    if (box.empty()) return;
    const auto across = static_cast<uint32_t>(tiles_across_);
    const size_t top = (tile / across) * kTileHeight + box.top;
    const size_t rows = static_cast<size_t>(box.bottom - box.top);
    const auto stride = static_cast<size_t>(width_);
    // Outside the box the tile already holds from's pixels, so a whole tile
    // row is as right as the box's part of it, and a fixed-size copy is a
    // few vector moves where a call for the box's few pixels costs more.
    const size_t tile_left = (tile % across) * kTileWidth;
    if (tile_left + kTileWidth <= stride) {
        for (size_t y = top; y < top + rows; ++y)
            std::memcpy(pixels_ + y * stride + tile_left, from + y * stride + tile_left, kTileWidth * sizeof(Color));
        return;
    }
    const size_t left = tile_left + box.left;
    const size_t bytes = static_cast<size_t>(box.right - box.left) * sizeof(Color);
    for (size_t y = top; y < top + rows; ++y)
        std::memcpy(pixels_ + y * stride + left, from + y * stride + left, bytes);
}

// The whole of src, of the same size: only the tiles where the two may
// differ are looked at. Memory shared with a third canvas is left to it, for
// the parked spare, whose differences from it are known, or new memory.
void Canvas::copy_whole(const Canvas& src)
{
    if (buffer_ == src.buffer_) {
        sync_ = {src.id_, src.mark_changes(), mark_changes()};
        return;
    }
    scratch_.clear();
    bool all = !candidates(src, scratch_);
    const bool shared = buffer_.use_count() > 1;
    const std::shared_ptr<Buffer> before = buffer_;
    if (shared) {
        std::shared_ptr<Buffer> own = spare_for(*before);
        if (own->differences_known(*before)) scratch_.insert(scratch_.end(), own->differing.begin(), own->differing.end());
        else all = true;
        own->differs_from = 0;
        own->differing.clear();
        attach(std::move(own));
    }
    buffer_->store->before_write();
    ++buffer_->writes;
    const TileState* was = before->state.data();
    const TileState* theirs = src.state_;
    auto visit = [&](uint32_t t) {
        const uint64_t stamp = theirs[t].stamp;
        if (was[t].stamp != stamp) log_.add(t);
        TileState& mine = state_[t];
        if (mine.stamp != stamp) {
            // A tile that was the source's content but for a box needs only
            // the box back.
            if (mine.base == stamp) copy_box(t, src.pixels_);
            else to_copy_.add(t);
            mine = TileState{stamp, stamp, TileBox{}};
        }
    };
    if (all) {
        for (uint32_t t = 0; t < tiles(); ++t) visit(t);
    } else {
        for (const uint32_t t : scratch_) visit(t);
    }
    // In the order of memory, neighbouring tiles in one go.
    copy_runs(src.pixels_);
    sync_ = {src.id_, src.mark_changes(), mark_changes()};
}

// The whole of src, of the same size, by holding its memory. The memory
// left behind is parked at src's, with the tiles where the two differ, for
// whichever canvas leaves that memory next.
void Canvas::share_whole(const Canvas& src)
{
    if (buffer_ != src.buffer_) {
        std::shared_ptr<Buffer> old = buffer_;
        std::vector<uint32_t> differing = std::move(old->differing);
        differing.clear();
        scratch_.clear();
        const bool all = !candidates(src, scratch_);
        const TileState* theirs = src.state_;
        auto visit = [&](uint32_t t) {
            if (state_[t].stamp != theirs[t].stamp) {
                log_.add(t);
                differing.push_back(t);
            }
        };
        if (all) {
            for (uint32_t t = 0; t < tiles(); ++t) visit(t);
        } else {
            for (const uint32_t t : scratch_) visit(t);
        }
        attach(src.buffer_);
        if (old.use_count() == 1) {
            old->spare.reset();
            old->differs_from = buffer_->id;
            old->differs_from_writes = buffer_->writes;
            old->differing = std::move(differing);
            buffer_->spare = std::move(old);
        }
    }
    sync_ = {src.id_, src.mark_changes(), mark_changes()};
}
}  // namespace fw
