// Exact integer ellipse rasterisation, the midpoint (Bresenham-style) stepping
// of the outline in the arithmetic of the GDI rasteriser, and closed forms
// with 128-bit products and integer square roots that give any one row of it
// without stepping there. Both describe a row by two insets from each side of
// the box: the outer one (where the outline starts, also the edge of the
// fill) and the inner one (where the outline ends), from which Canvas::ellipse
// fills and outlines the row.
#include "toolkit/canvas.h"

#include "toolkit/canvas_buffer.h"
#include "toolkit/clip.h"

#include <algorithm>
#include <cmath>
#include <compare>
#include <cstdint>

namespace fw {

namespace {

// Up to this width and height the ellipse stepping's error terms fit in 64
// bits. Larger boxes are drawn row by row from the closed forms below.
constexpr long long kMaxSteppedExtent = 1LL << 19;
// Beyond this width or height (only boxes that span more than half the range
// of int) an ellipse draws nothing.
constexpr long long kMaxEllipseExtent = 1LL << 31;

// Products of two 64-bit numbers, exactly.
#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 Wide;
Wide wide_mul(uint64_t x, uint64_t y) { return static_cast<Wide>(x) * y; }
#else
// 32-bit targets have no 128-bit integer type.
struct Wide {
    uint64_t hi = 0, lo = 0;
    auto operator<=>(const Wide&) const = default;
    Wide operator-(const Wide& o) const { return {hi - o.hi - (lo < o.lo ? 1 : 0), lo - o.lo}; }
};
Wide wide_mul(uint64_t x, uint64_t y)
{
    const uint64_t x0 = x & 0xffffffffu, x1 = x >> 32, y0 = y & 0xffffffffu, y1 = y >> 32;
    const uint64_t low = x0 * y0, mid1 = x1 * y0, mid2 = x0 * y1;
    const uint64_t carry = ((low >> 32) + (mid1 & 0xffffffffu) + (mid2 & 0xffffffffu)) >> 32;
    return {x1 * y1 + (mid1 >> 32) + (mid2 >> 32) + carry, x * y};
}
#endif

// The stepping of step_ellipse, answered for any one row or column
// without walking there. The stepping is at inset u (columns in from the
// right edge) on row j below the middle; its error term there is
//   E(u, j) = b^2 (2u + 2 - a)^2 + a^2 (2j + 2 + b % 2)^2 - a^2 b^2,
// it moves across when E(u, j) + E(u - 1, j) >= 0 and down a row when
// E(u, j) + E(u, j - 1) <= 0, and it stops once u passes last_u. Both tests
// are quadratic in one variable, so the first row a column moves across on
// and the first column a row moves down from come from an integer square
// root. For boxes up to 2^31 the squares fit in 64 bits and the products in
// 128, so everything is exact.
//
// Where the curve is flatter than the diagonal (a step across changes the
// error less than a step down) the stepping reaches a row at or before the
// first column it may move down from, so that column is the row's inner end.
// Where it is steeper the same holds with columns and rows swapped: a column
// is left on the first row it may move across on. The first row drawn is
// found from whichever of the two holds at the row above it; from there the
// rows follow one another exactly, a square root each.
class EllipseRows {
public:
    EllipseRows(long long w, long long h)
        : a_(w - 1), b_(h - 1), p_(b_ % 2), last_u_(a_ - w / 2), last_j_(b_ - h / 2),
          aa_(square(a_)), bb_(square(b_)), aabb_(wide_mul(aa_, bb_))
    {
    }
    long long last_u() const { return last_u_; }
    // The last row below the middle: the bottom row of the box.
    long long last_j() const { return last_j_; }

    // The last row the stepping draws: the bottom one, or the row where it
    // leaves the middle column (boxes far taller than wide leave it early).
    // It reaches every row down to the first one it may leave that column on,
    // and from there at most the row it enters the column on.
    long long end_row() const
    {
        const long long leave = reached_row();
        if (leave == last_j_) return last_j_;
        long long end = leave;
        walk(leave, last_j_, entry(leave), [&](long long j, long long, long long) { end = j; });
        return end;
    }
    // A row the stepping surely reaches, at most end_row() and cheaper.
    long long reached_row() const { return std::min(first_across(last_u_), last_j_); }

    // The inset the stepping enters row j (<= end_row()) at: the outer end
    // of its outline run.
    long long entry(long long j) const
    {
        if (j == 0) return 0;
        const long long above = j - 1;
        const long long m = first_down(above);
        if (!steep(m, above)) return m + (across(m, above) ? 1 : 0);
        // Column m - 1 and every one before it were left on the first row
        // they could be; walk on from there to the column that reaches row j.
        long long u = m - 1, first = 0;
        if (u >= 0) {
            const long long l = first_across(u);
            first = l + (down(u, l) ? 1 : 0);
        }
        for (++u;; ++u) {
            const long long l = std::max(first, first_across(u));
            if (l >= j) return u;
            first = l + (down(u, l) ? 1 : 0);
        }
    }

    // Calls row(j, outer, inner) for rows first..last (last <= end_row()),
    // the stepping's row j entered at inset outer.
    template <class Row> void walk(long long first, long long last, long long outer, Row&& row) const
    {
        for (long long j = first; j <= last; ++j) {
            long long inner = std::max(outer, first_down(j));
            while (inner <= last_u_ && !down(inner, j)) ++inner;
            if (inner > last_u_) {
                row(j, outer, last_u_);
                return;
            }
            row(j, outer, inner);
            outer = inner + (across(inner, j) ? 1 : 0);
            if (outer > last_u_) return;
        }
    }

    // Whether the stepping moves down a row from (u, j), and across.
    bool down(long long u, long long j) const
    {
        const uint64_t x = square(2 * u + 2 - a_);
        const uint64_t y = square(2 * j + 1 + p_) + 1;
        return y <= bb_ && wide_mul(bb_, x) <= aabb_ - wide_mul(aa_, y);
    }
    bool across(long long u, long long j) const
    {
        const uint64_t x = square(2 * u + 1 - a_) + 1;
        const uint64_t y = square(2 * j + 2 + p_);
        return y >= bb_ || wide_mul(bb_, x) >= aabb_ - wide_mul(aa_, y);
    }

    // The first inset of row j the stepping may move down from, or
    // last_u + 1 where there is none.
    long long first_down(long long j) const
    {
        const uint64_t y = square(2 * j + 1 + p_) + 1;
        if (y > bb_) return last_u_ + 1;
        // The largest s with b^2 s^2 <= a^2 (b^2 - y); then |2u + 2 - a| <= s.
        const Wide limit = wide_mul(aa_, bb_ - y);
        long long s = static_cast<long long>(static_cast<double>(a_) *
                                             std::sqrt(static_cast<double>(bb_ - y) / static_cast<double>(bb_)));
        s = std::clamp(s, 0LL, a_);
        while (s > 0 && wide_mul(bb_, square(s)) > limit) --s;
        while (s < a_ && wide_mul(bb_, square(s + 1)) <= limit) ++s;
        const long long low = a_ - 2 - s;
        const long long u = low <= 0 ? 0 : (low + 1) / 2;
        return 2 * u + 2 - a_ > s || u > last_u_ ? last_u_ + 1 : u;
    }
    // The first row on which the stepping may move across from inset u.
    long long first_across(long long u) const
    {
        const uint64_t x = square(2 * u + 1 - a_) + 1;
        if (x >= aa_) return 0;
        // The smallest t with a^2 t^2 >= b^2 (a^2 - x); then 2j + 2 + b % 2 >= t.
        const Wide limit = wide_mul(bb_, aa_ - x);
        long long t = static_cast<long long>(static_cast<double>(b_) *
                                             std::sqrt(static_cast<double>(aa_ - x) / static_cast<double>(aa_)));
        t = std::clamp(t, 1LL, b_);
        while (t > 1 && wide_mul(aa_, square(t - 1)) >= limit) --t;
        while (wide_mul(aa_, square(t)) < limit) ++t;
        const long long low = t - 2 - p_;
        return low <= 0 ? 0 : (low + 1) / 2;
    }
    // Whether at (u, j) a step across changes the error more than a step
    // down: the curve is steeper than the diagonal there.
    bool steep(long long u, long long j) const
    {
        const long long k = a_ - 1 - 2 * u;
        return k > 0 && wide_mul(bb_, static_cast<uint64_t>(k)) >= wide_mul(aa_, static_cast<uint64_t>(1 + p_ + 2 * j));
    }

private:
    static uint64_t square(long long v)
    {
        const auto m = static_cast<uint64_t>(v < 0 ? -v : v);
        return m * m;
    }

    long long a_, b_, p_, last_u_, last_j_;
    uint64_t aa_, bb_;
    Wide aabb_;
};


// Steps the ellipse inscribed in a w x h box (w, h > 2) out a quarter at a
// time with Alois Zingl's integer ellipse algorithm, from the right end of
// the middle row down to the bottom middle. Calls row(v, outer, inner) for
// each row v of the box from h / 2 on; stops after the last row, or before
// the first row v for which more(v) is false. Up to kMaxSteppedExtent.
//
// In very slender boxes (height far above the square of the width) the
// stepping reaches the middle column before the last row; the rows left over
// get no call.
template <class Row, class More> void step_ellipse(long long w, long long h, Row&& row, More&& more)
{
    const long long a = w - 1;  // the last column and row of the box, relative
    const long long b = h - 1;
    const long long asq = 8 * a * a;
    const long long bsq = 8 * b * b;
    long long dx = 4 * b * b * (1 - a);
    long long dy = 4 * a * a * (1 + b % 2);
    long long err = dx + dy + a * a * (b % 2);
    const long long last_u = a - w / 2;  // the outline stops at the middle column
    long long u = 0;  // the inset from the right edge
    long long v = h / 2;
    long long outer = 0;
    for (;;) {
        const long long inner = u;
        const long long e2 = 2 * err;
        bool next_row = false;
        if (e2 >= dx) {
            ++u;
            dx += bsq;
            err += dx;
        }
        if (e2 <= dy) {
            next_row = true;
            dy += asq;
            err += dy;
        }
        if (next_row || u > last_u) {
            row(v, outer, inner);
            ++v;
            outer = u;
            if (u > last_u || v > b || !more(v)) break;
        }
    }
}

}  // namespace

// The rows of an ellipse (w, h > 2) that reach the surface, and of them only
// those whose runs reach its columns: row j below the middle is drawn with
// its mirror above, and the runs move inwards as j grows.
template <class Emit> __attribute__((noinline)) void Canvas::ellipse_rows(int left, int top, long long w, long long h, Emit& emit)
{
    const EllipseRows rows(w, h);
    const long long half = h / 2;
    const long long mirror = top + (h - 1) - half;  // where row 0's mirror is
    long long first = rows.last_j() + 1, last = -1;
    auto take = [&](long long from, long long to) {
        from = std::max(from, 0LL);
        to = std::min(to, rows.last_j());
        if (from > to) return;
        first = std::min(first, from);
        last = std::max(last, to);
    };
    take(-(top + half), height_ - 1 - (top + half));
    take(mirror - (height_ - 1), mirror);
    if (first > last) return;

    // A row reaches the columns while its outer inset is below reach; most
    // boxes show only rows that do not.
    const long long reach = std::min(static_cast<long long>(width_) - left, static_cast<long long>(left) + w);
    const long long reached = rows.reached_row();
    long long outer = first <= reached ? rows.entry(first) : -1;
    if (outer >= reach) return;
    if (last > reached) last = std::min(last, rows.end_row());
    if (first > last) return;
    if (outer < 0) outer = rows.entry(first);
    if (outer >= reach) return;
    long long lo = first, hi = last;  // the last row that reaches: in [lo, hi]
    while (lo < hi) {
        const long long mid = lo + (hi - lo + 1) / 2;
        if (rows.entry(mid) < reach) lo = mid;
        else hi = mid - 1;
    }
    last = lo;

    // What may be written: those rows and their mirrors, the widest run's
    // columns.
    const Span xs = clip_span(static_cast<long long>(left) + outer, w - 2 * outer, width_);
    auto clip_rows = [&](long long from, long long to) { return clip_span(from, to - from + 1, height_); };
    const Span below = clip_rows(top + half + first, top + half + last);
    const Span above = clip_rows(mirror - last, mirror - first);
    if (xs.empty() || (below.empty() && above.empty())) return;
    prepare_write();
    if (!below.empty()) changed(xs.begin, below.begin, xs.end, below.end);
    if (!above.empty()) changed(xs.begin, above.begin, xs.end, above.end);
    rows.walk(first, last, outer, [&](long long j, long long out, long long in) { emit(half + j, out, in); });
}

// The ellipse is stepped out once, a quarter at a time, with Alois Zingl's
// integer ellipse algorithm (step_ellipse), in the exact arithmetic of the GDI
// rasteriser.
// Each row of the box gets an outer inset (where the outline starts, also the
// edge of the fill) and an inner inset (where the outline ends); the outline
// pixels are [outer, inner] from each side and the fill is what lies between.
// Both the fill and the outline are drawn from these two numbers, so they
// cannot disagree. A box that is mostly off the surface, or too large to step,
// gets the same two numbers for just the rows that show (EllipseRows).
void Canvas::ellipse(int left, int top, int right, int bottom)
{
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    const long long w = static_cast<long long>(right) - left;
    const long long h = static_cast<long long>(bottom) - top;
    // A 1x1 box has an outline of length zero and no interior.
    if (w == 0 || h == 0 || (w == 1 && h == 1)) return;
    const Span xs = clip_span(left, w, width_);
    const Span ys = clip_span(top, h, height_);
    if (xs.empty() || ys.empty()) return;
    if (w > kMaxEllipseExtent || h > kMaxEllipseExtent) return;
    if (w <= 2 || h <= 2) {
        // Too narrow to curve: the outline covers the whole box.
        fill_rect(left, top, right, bottom, fore_color);
        return;
    }

    const Color fore = fore_color;
    const Color fill = fill_color;
    const long long a = w - 1;  // the last column and row of the box, relative
    const long long b = h - 1;

    // Draws relative row v (and its mirror b - v) with the given insets.
    auto emit = [&](long long v, long long outer, long long inner) __attribute__((always_inline)) {
        const long long first = left + outer;  // left run [first, first_end)
        const long long first_end = left + inner + 1;
        const long long last = static_cast<long long>(left) + a - inner;  // right run [last, last_end)
        const long long last_end = static_cast<long long>(left) + a - outer + 1;
        auto to_col = [&](long long x) { return static_cast<int>(std::clamp(x, 0LL, static_cast<long long>(width_))); };
        const int x0 = to_col(first), x1 = to_col(first_end), x2 = to_col(last), x3 = to_col(last_end);
        const long long at[2] = {top + v, top + b - v};
        for (int i = 0; i < (at[0] == at[1] ? 1 : 2); ++i) {
            if (at[i] < 0 || at[i] >= height_) continue;
            Color* r = row(static_cast<int>(at[i]));
            fill_row(r, x1, x2, fill);
            fill_row(r, x0, x1, fore);
            fill_row(r, x2, x3, fore);
        }
    };

    // Stepping costs about half the box's width and height; the rows that
    // show cost a square root each.
    if (w + h > 128 && (w > kMaxSteppedExtent || h > kMaxSteppedExtent || w + h > 8 * (ys.end - ys.begin) + 128)) {
        ellipse_rows(left, top, w, h, emit);
        return;
    }

    prepare_write();
    // A flake's rows and tile records were last touched a frame ago and
    // are out of the cache by now: ask for all of them at once rather
    // than waiting for each in turn as the rows are drawn.
    for (int ty = ys.begin / kTileHeight; ty <= (ys.end - 1) / kTileHeight; ++ty) {
        __builtin_prefetch(&state_[ty * tiles_across_ + xs.begin / kTileWidth], 1);
        __builtin_prefetch(&state_[ty * tiles_across_ + (xs.end - 1) / kTileWidth], 1);
    }
    for (int y = ys.begin; y < ys.end; ++y) {
        __builtin_prefetch(row(y) + xs.begin, 1);
        __builtin_prefetch(row(y) + xs.end - 1, 1);
    }
    changed(xs.begin, ys.begin, xs.end, ys.end);
    // Rows below the surface and their mirrors above it: done.
    step_ellipse(w, h, emit, [&](long long v) __attribute__((always_inline)) {
        return top + v < height_ || top + b - v >= 0;
    });
}

}  // namespace fw
