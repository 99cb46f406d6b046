// Dirty-tile bookkeeping: the log of a canvas' dirty tiles and the tile sets
// copies and damage are gathered in.
#include "toolkit/dirty_tiles.h"

namespace fw {

void ChangeLog::reset(size_t tiles)
{
    ring_.assign(std::bit_ceil(std::max<size_t>(2 * tiles, 1)), 0);
    mask_ = ring_.size() - 1;
    listed_.resize(tiles);
    start_epoch();
}

void ChangeLog::start_epoch()
{
    std::fill(listed_.begin(), listed_.end(), 0);
    add_all();
    base_ = end_;
}

void TileSet::reset(int across, int down)
{
    across_ = static_cast<uint32_t>(std::max(across, 1));
    row_words_ = static_cast<uint32_t>((across + 63) / 64);
    bits_.assign(static_cast<size_t>(row_words_) * static_cast<size_t>(std::max(down, 0)), 0);
    rows_.assign(static_cast<size_t>((down + 63) / 64), 0);
}

bool ChangeLog::since(uint64_t from, std::vector<uint32_t>& out) const
{
    if (from > end_ || end_ - from > ring_.size()) return false;
    for (uint64_t p = from; p < end_; ++p) out.push_back(ring_[static_cast<size_t>(p & mask_)]);
    return true;
}
}  // namespace fw
