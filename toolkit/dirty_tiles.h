// Dirty-tile bookkeeping for a canvas: each tile carries a content stamp (a
// version number) that changes whenever anything is written into it, a log
// of the tiles made dirty in the order they were, and the sets and boxes a
// copy and a window's damage are gathered in.
//
// Two tiles at the same place of two canvases with the same stamp hold the
// same pixels, so a copy may skip them and a window may send only the tiles
// whose stamp it has not shown yet; the log saves both from looking at every
// tile to find the dirty ones.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fw {

// A new content stamp. Stamps are handed out once in the life of the
// process, so a stamp never comes back for other content, whichever canvas it
// went to. Only the one thread that draws takes them.
inline uint64_t new_stamp()
{
    static uint64_t last = 0;
    return ++last;
}

// The tiles of a canvas whose content changed, in the order they changed.
// Between two readings a tile is listed at most once, so the record keeps
// what a reader that comes back after the next reading still needs; one that
// comes back later finds it gone, and must look at every tile.
class ChangeLog {
public:
    // A new number of tiles: every tile counts as changed.
    void reset(size_t tiles);
    void add(uint32_t tile)
    {
        if (listed_[tile] > read_ - base_) return;
        if (end_ - base_ >= kEpoch) start_epoch();
        ring_[static_cast<size_t>(end_ & mask_)] = tile;
        listed_[tile] = static_cast<uint32_t>(++end_ - base_);
    }
    // Every tile changed.
    void add_all()
    {
        end_ += ring_.size() + 1;
        read_ = end_;
    }
    // The position now, for a later since().
    uint64_t mark()
    {
        read_ = end_;
        return end_;
    }
    // Appends the tiles changed after position from (some perhaps twice);
    // false when the record no longer reaches back that far.
    bool since(uint64_t from, std::vector<uint32_t>& out) const;

private:
    // Positions in listed_ count from base_, which moves on (and every
    // reader starts afresh) before they outgrow 32 bits.
    static constexpr uint64_t kEpoch = uint64_t{1} << 31;
    void start_epoch();

    std::vector<uint32_t> ring_{0};
    std::vector<uint32_t> listed_;  // per tile: 1 + the position of its last entry - base_, or 0
    uint64_t mask_ = 0;
    uint64_t base_ = 0;
    uint64_t end_ = 0;
    uint64_t read_ = 0;
};

// A set of tiles of a canvas (by index: row * tiles across + column), read
// back in the order of memory: rows top to bottom, each left to right.
class TileSet {
public:
    // Empty, for a canvas of that many tiles across and down.
    void reset(int across, int down);
    void add(uint32_t tile)
    {
        const uint32_t ty = tile / across_, tx = tile % across_;
        bits_[ty * row_words_ + tx / 64] |= uint64_t{1} << (tx % 64);
        rows_[ty / 64] |= uint64_t{1} << (ty % 64);
    }
    // Calls run(ty, first, end) for each run [first, end) of neighbouring
    // tiles of row ty in the set, where a run takes in gaps of up to join
    // tiles that are not; empties the set.
    template <class Run> void take_runs(int join, Run&& run);

private:
    uint32_t across_ = 1;
    uint32_t row_words_ = 0;
    std::vector<uint64_t> bits_;
    std::vector<uint64_t> rows_;
};

template <class Run> void TileSet::take_runs(int join, Run&& run)
{
    for (size_t rw = 0; rw < rows_.size(); ++rw) {
        for (uint64_t rows = rows_[rw]; rows != 0; rows &= rows - 1) {
            const auto ty = static_cast<int>(rw * 64 + static_cast<size_t>(std::countr_zero(rows)));
            uint64_t* bits = bits_.data() + static_cast<size_t>(ty) * row_words_;
            int first = -1, last = -1;
            for (uint32_t w = 0; w < row_words_; ++w) {
                for (uint64_t b = bits[w]; b != 0; b &= b - 1) {
                    const int tx = static_cast<int>(w * 64 + static_cast<uint32_t>(std::countr_zero(b)));
                    if (first >= 0 && tx - last > join + 1) {
                        run(ty, first, last + 1);
                        first = -1;
                    }
                    if (first < 0) first = tx;
                    last = tx;
                }
                bits[w] = 0;
            }
            run(ty, first, last + 1);
        }
        rows_[rw] = 0;
    }
}

// A rectangle within one tile, in pixels from its top left corner; what a
// tile has had written since it last held a known content.
struct TileBox {
    uint8_t left = 0, top = 0, right = 0, bottom = 0;
    bool empty() const { return left >= right; }
    void take_in(uint8_t l, uint8_t t, uint8_t r, uint8_t b)
    {
        if (empty()) {
            *this = TileBox{l, t, r, b};
        } else {
            left = std::min(left, l);
            top = std::min(top, t);
            right = std::max(right, r);
            bottom = std::max(bottom, b);
        }
    }
};

}  // namespace fw
