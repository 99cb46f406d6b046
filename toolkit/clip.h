// Clipping of a half-open span of columns or rows to a surface's extent, and
// the scanline fill of one run of a row: what every primitive of the canvas
// starts and ends with.
#pragma once

#include "toolkit/color.h"

#include <algorithm>

namespace fw {

// A half-open span [begin, end) of columns or rows.
struct Span {
    int begin;
    int end;
    bool empty() const { return begin >= end; }
};

// [pos, pos + len) intersected with [0, limit), computed without overflow.
inline Span clip_span(long long pos, long long len, int limit)
{
    const long long begin = std::max(pos, 0LL);
    const long long end = std::min(pos + len, static_cast<long long>(limit));
    if (begin >= end) return {0, 0};
    return {static_cast<int>(begin), static_cast<int>(end)};
}

inline void fill_row(Color* row, int begin, int end, Color color)
{
    if (begin < end) std::fill(row + begin, row + end, color);
}

}  // namespace fw
