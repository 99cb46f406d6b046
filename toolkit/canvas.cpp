// The software canvas: a 32-bit pixel surface and the few GDI-style primitives
// the program draws with. Every primitive clips its rectangle to the surface
// (and, for copies, to the source) first, returns when nothing is left, and
// then runs plain row loops over the surviving pixels, and gives the tiles it
// wrote a new stamp.
#include "toolkit/canvas.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <compare>
#include <cstddef>
#include <cstring>


namespace fw {

namespace {

class VectorStore final : public PixelStore {
public:
    Color* allocate(int width, int height) override
    {
        pixels_.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
        return pixels_.data();
    }
    std::unique_ptr<PixelStore> another() const override { return std::make_unique<VectorStore>(); }

private:
    std::vector<Color> pixels_;
};

// A half-open span [begin, end) of columns or rows.
struct Span {
    int begin;
    int end;
    bool empty() const { return begin >= end; }
};

// [pos, pos + len) intersected with [0, limit), computed without overflow.
Span clip_span(long long pos, long long len, int limit)
{
    const long long begin = std::max(pos, 0LL);
    const long long end = std::min(pos + len, static_cast<long long>(limit));
    if (begin >= end) return {0, 0};
    return {static_cast<int>(begin), static_cast<int>(end)};
}

void fill_row(Color* row, int begin, int end, Color color)
{
    if (begin < end) std::fill(row + begin, row + end, color);
}

// Stamps are handed out once in the life of the process, so a stamp never
// comes back for other content, whichever canvas it went to. Only the one
// thread that draws takes them.
uint64_t last_stamp = 0;

uint64_t new_stamp() { return ++last_stamp; }

int tiles_for(int extent, int tile) { return (extent + tile - 1) / tile; }

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

// The ellipse stepping of Canvas::ellipse, answered for any one row or column
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

}  // namespace

// One picture's memory and the stamps of its tiles. Canvases that hold the
// same content may hold the same buffer; it is never written while they do.
struct Canvas::Buffer {
    std::unique_ptr<PixelStore> store;
    Color* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::vector<TileState> state;
    uint64_t id = new_stamp();
    uint64_t writes = 0;
    // Memory of the same size and kind, parked here by a canvas that left
    // this buffer; the next canvas to leave it takes it over instead of
    // making new memory.
    std::shared_ptr<Buffer> spare;
    // For a parked buffer: the tiles where it differs from the buffer it was
    // parked at, true while that one has had no more writes.
    uint64_t differs_from = 0;
    uint64_t differs_from_writes = 0;
    std::vector<uint32_t> differing;

    // Memory with stamps that no content has.
    static std::shared_ptr<Buffer> make(std::unique_ptr<PixelStore> store, int width, int height, size_t tiles)
    {
        auto b = std::make_shared<Buffer>();
        b->store = std::move(store);
        b->width = width;
        b->height = height;
        b->pixels = width > 0 && height > 0 ? b->store->allocate(width, height) : nullptr;
        b->state.assign(tiles, TileState{b->id, b->id, TileBox{}});
        return b;
    }
    bool differences_known(const Buffer& other) const
    {
        return differs_from == other.id && differs_from_writes == other.writes;
    }
};

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

Canvas::Canvas(Color back, std::unique_ptr<PixelStore> store) : back_color(back), id_(new_stamp())
{
    attach(Buffer::make(store ? std::move(store) : std::make_unique<VectorStore>(), 0, 0, 0));
    log_.reset(0);
}

Canvas::~Canvas() = default;

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

void Canvas::changed(int left, int top, int right, int bottom)
{
    assert(left < right && top < bottom && left >= 0 && top >= 0 && right <= width_ && bottom <= height_);
    const uint64_t s = new_stamp();
    const int tx0 = left / kTileWidth, tx1 = (right - 1) / kTileWidth;
    for (int ty = top / kTileHeight; ty <= (bottom - 1) / kTileHeight; ++ty) {
        const auto first = static_cast<uint32_t>(ty * tiles_across_);
        const int y0 = ty * kTileHeight;
        const auto box_top = static_cast<uint8_t>(std::max(top - y0, 0));
        const auto box_bottom = static_cast<uint8_t>(std::min(bottom - y0, kTileHeight));
        for (int tx = tx0; tx <= tx1; ++tx) {
            const uint32_t t = first + static_cast<uint32_t>(tx);
            const int x0 = tx * kTileWidth;
            state_[t].stamp = s;
            state_[t].box.take_in(static_cast<uint8_t>(std::max(left - x0, 0)), box_top,
                              static_cast<uint8_t>(std::min(right - x0, kTileWidth)), box_bottom);
            log_.add(t);
        }
    }
}

void Canvas::changed_all()
{
    const uint64_t s = new_stamp();
    std::fill_n(state_, tiles(), TileState{s, s, TileBox{}});
    log_.add_all();
}

PixelRows Canvas::write_rows(int left, int top, int right, int bottom)
{
    const Span xs = clip_span(left, static_cast<long long>(right) - left, width_);
    const Span ys = clip_span(top, static_cast<long long>(bottom) - top, height_);
    if (xs.empty() || ys.empty()) return PixelRows(pixels_, width_, Rect{});
    prepare_write();
    changed(xs.begin, ys.begin, xs.end, ys.end);
    return PixelRows(pixels_, width_, Rect{xs.begin, ys.begin, xs.end, ys.end});
}

void Canvas::use_store(std::unique_ptr<PixelStore> store)
{
    const Image kept = image();
    attach(Buffer::make(store ? std::move(store) : std::make_unique<VectorStore>(), 0, 0, 0));
    width_ = height_ = tiles_across_ = tiles_down_ = 0;
    resize(kept.width, kept.height);
    draw_image(kept, 0, 0);
}

void Canvas::resize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_) return;

    // allocate() may move or reuse the old memory, so the part that stays is
    // copied aside first.
    const int keep_w = std::min(width, width_);
    const int keep_h = std::min(height, height_);
    std::vector<Color> kept;
    if (keep_w > 0 && keep_h > 0) {
        kept.resize(static_cast<size_t>(keep_w) * static_cast<size_t>(keep_h));
        for (int y = 0; y < keep_h; ++y)
            std::memcpy(kept.data() + static_cast<size_t>(y) * static_cast<size_t>(keep_w), row(y),
                        static_cast<size_t>(keep_w) * sizeof(Color));
    }

    tiles_across_ = tiles_for(width, kTileWidth);
    tiles_down_ = tiles_for(height, kTileHeight);
    if (buffer_.use_count() > 1) {
        // The other canvas keeps the old memory.
        attach(Buffer::make(buffer_->store->another(), 0, 0, 0));
    } else {
        buffer_->store->before_write();
    }
    Buffer& b = *buffer_;
    b.pixels = b.store->allocate(width, height);
    b.width = width;
    b.height = height;
    b.state.assign(tiles(), TileState{});
    b.spare.reset();
    ++b.writes;
    attach(buffer_);
    width_ = width;
    height_ = height;
    log_.reset(tiles());
    to_copy_.reset(tiles_across_, tiles_down_);
    sync_ = {};
    changed_all();
    for (int y = 0; y < height_; ++y) {
        Color* dst = row(y);
        int filled_from = 0;
        if (y < keep_h && keep_w > 0) {
            std::memcpy(dst, kept.data() + static_cast<size_t>(y) * static_cast<size_t>(keep_w),
                        static_cast<size_t>(keep_w) * sizeof(Color));
            filled_from = keep_w;
        }
        fill_row(dst, filled_from, width_, back_color);
    }
}

void Canvas::clear()
{
    if (width_ <= 0 || height_ <= 0) return;
    prepare_write(true);
    std::fill_n(pixels_, static_cast<size_t>(width_) * static_cast<size_t>(height_), back_color);
    changed_all();
}

void Canvas::fill_rect(int left, int top, int right, int bottom, Color color)
{
    const Span xs = clip_span(left, static_cast<long long>(right) - left, width_);
    const Span ys = clip_span(top, static_cast<long long>(bottom) - top, height_);
    if (xs.empty() || ys.empty()) return;
    prepare_write(xs.begin == 0 && ys.begin == 0 && xs.end == width_ && ys.end == height_);
    for (int y = ys.begin; y < ys.end; ++y) fill_row(row(y), xs.begin, xs.end, color);
    changed(xs.begin, ys.begin, xs.end, ys.end);
}

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
// integer ellipse algorithm, in the exact arithmetic of the GDI rasteriser.
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

    // Stepping starts at the right end of the middle row and walks down to
    // the bottom middle; u is the inset from the right edge, v the row.
    const long long asq = 8 * a * a;
    const long long bsq = 8 * b * b;
    long long dx = 4 * b * b * (1 - a);
    long long dy = 4 * a * a * (1 + b % 2);
    long long err = dx + dy + a * a * (b % 2);
    const long long last_u = a - w / 2;  // the outline stops at the middle column
    long long u = 0;
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
            emit(v, outer, inner);
            ++v;
            outer = u;
            // Rows below the surface and their mirrors above it: done.
            if (u > last_u || v > b || (top + v >= height_ && top + b - v < 0)) break;
        }
    }
    // In very slender boxes (height far above the square of the width) the
    // stepping reaches the middle column before the last row; the rows left
    // over stay empty.
}

void Canvas::blit(int dx, int dy, int w, int h, const Canvas& src, int sx, int sy)
{
    if (w <= 0 || h <= 0) return;
    long long x = dx, y = dy, sxx = sx, syy = sy, ww = w, hh = h;
    // Clip against the source, then the destination, shifting the other side
    // along.
    if (sxx < 0) { x -= sxx; ww += sxx; sxx = 0; }
    if (syy < 0) { y -= syy; hh += syy; syy = 0; }
    if (x < 0) { sxx -= x; ww += x; x = 0; }
    if (y < 0) { syy -= y; hh += y; y = 0; }
    ww = std::min({ww, src.width_ - sxx, width_ - x});
    hh = std::min({hh, src.height_ - syy, height_ - y});
    if (ww <= 0 || hh <= 0) return;

    const int cx = static_cast<int>(x), cy = static_cast<int>(y);
    const int csx = static_cast<int>(sxx), csy = static_cast<int>(syy);
    const int rows = static_cast<int>(hh);
    const size_t bytes = static_cast<size_t>(ww) * sizeof(Color);
    if (&src == this) {
        prepare_write();
        // Overlapping rows of one surface: walk away from the overlap.
        if (cy > csy) {
            for (int i = rows - 1; i >= 0; --i) std::memmove(row(cy + i) + cx, row(csy + i) + csx, bytes);
        } else {
            for (int i = 0; i < rows; ++i) std::memmove(row(cy + i) + cx, row(csy + i) + csx, bytes);
        }
        changed(cx, cy, cx + static_cast<int>(ww), cy + rows);
        return;
    }
    if (cx != csx || cy != csy) {
        prepare_write();
        for (int i = 0; i < rows; ++i) std::memcpy(row(cy + i) + cx, src.row(csy + i) + csx, bytes);
        changed(cx, cy, cx + static_cast<int>(ww), cy + rows);
        return;
    }

    if (cx == 0 && cy == 0 && ww == width_ && hh == height_ && src.width_ == width_ && src.height_ == height_) {
        if (!shows_copies_) {
            copy_whole(src);
        } else if (store().shows_like(src.store())) {
            share_whole(src);
        } else {
            copy_whole(src);
            // From now on the source lives in memory this canvas can show.
            src.attach(buffer_);
        }
        return;
    }

    // The same place of both: tile by tile. A tile the copy covers wholly
    // takes the source's stamp, and is skipped when it has it already; the
    // tiles it covers in part get a new one.
    prepare_write();
    const int right = cx + static_cast<int>(ww), bottom = cy + rows;
    const uint64_t partial_stamp = new_stamp();
    for (int ty = cy / kTileHeight; ty <= (bottom - 1) / kTileHeight; ++ty) {
        const int tile_top = ty * kTileHeight, tile_bottom = std::min(tile_top + kTileHeight, height_);
        const int y0 = std::max(tile_top, cy), y1 = std::min(tile_bottom, bottom);
        const bool rows_covered = y0 == tile_top && y1 == tile_bottom;
        // Neighbouring tiles to copy go as one run.
        int run_begin = 0, run_end = 0;
        auto flush = [&] {
            if (run_begin >= run_end) return;
            const size_t run_bytes = static_cast<size_t>(run_end - run_begin) * sizeof(Color);
            for (int r = y0; r < y1; ++r) std::memcpy(row(r) + run_begin, src.row(r) + run_begin, run_bytes);
            run_begin = run_end = 0;
        };
        for (int tx = cx / kTileWidth; tx <= (right - 1) / kTileWidth; ++tx) {
            const int tile_left = tx * kTileWidth, tile_right = std::min(tile_left + kTileWidth, width_);
            const int x0 = std::max(tile_left, cx), x1 = std::min(tile_right, right);
            const auto t = static_cast<uint32_t>(ty * tiles_across_ + tx);
            if (rows_covered && x0 == tile_left && x1 == tile_right) {
                const uint64_t theirs = src.tile_stamp(tx, ty);
                if (state_[t].stamp == theirs) {
                    flush();
                    continue;
                }
                state_[t] = TileState{theirs, theirs, TileBox{}};
            } else {
                state_[t].stamp = partial_stamp;
                state_[t].box.take_in(static_cast<uint8_t>(x0 - tile_left), static_cast<uint8_t>(y0 - tile_top),
                                  static_cast<uint8_t>(x1 - tile_left), static_cast<uint8_t>(y1 - tile_top));
            }
            log_.add(t);
            if (run_end != x0) flush();
            if (run_begin >= run_end) run_begin = x0;
            run_end = x1;
        }
        flush();
    }
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

void Canvas::stretch_draw(const Image& image, int dx, int dy, int dw, int dh)
{
    if (dw <= 0 || dh <= 0 || image.empty()) return;
    assert(image.pixels.size() >= static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
    const Span xs = clip_span(dx, dw, width_);
    const Span ys = clip_span(dy, dh, height_);
    if (xs.empty() || ys.empty()) return;
    if (dw == image.width && dh == image.height) {
        draw_image(image, dx, dy);
        return;
    }
    prepare_write(xs.begin == 0 && ys.begin == 0 && xs.end == width_ && ys.end == height_);

    // Each destination pixel takes the source pixel it maps back to:
    // floor(offset * source size / destination size).
    std::vector<int> src_x(static_cast<size_t>(xs.end - xs.begin));
    for (int x = xs.begin; x < xs.end; ++x)
        src_x[static_cast<size_t>(x - xs.begin)] =
            static_cast<int>((static_cast<long long>(x) - dx) * image.width / dw);
    for (int y = ys.begin; y < ys.end; ++y) {
        const long long sy = (static_cast<long long>(y) - dy) * image.height / dh;
        const Color* src = image.pixels.data() + static_cast<size_t>(sy) * static_cast<size_t>(image.width);
        Color* dst = row(y) + xs.begin;
        for (size_t i = 0; i < src_x.size(); ++i) dst[i] = src[src_x[i]];
    }
    changed(xs.begin, ys.begin, xs.end, ys.end);
}

void Canvas::draw_image(const Image& image, int dx, int dy)
{
    if (image.empty()) return;
    assert(image.pixels.size() >= static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
    const Span xs = clip_span(dx, image.width, width_);
    const Span ys = clip_span(dy, image.height, height_);
    if (xs.empty() || ys.empty()) return;
    prepare_write(xs.begin == 0 && ys.begin == 0 && xs.end == width_ && ys.end == height_);
    const size_t bytes = static_cast<size_t>(xs.end - xs.begin) * sizeof(Color);
    for (int y = ys.begin; y < ys.end; ++y) {
        const Color* src = image.pixels.data() +
                           (static_cast<size_t>(y - dy) * static_cast<size_t>(image.width) + static_cast<size_t>(xs.begin - dx));
        std::memcpy(row(y) + xs.begin, src, bytes);
    }
    changed(xs.begin, ys.begin, xs.end, ys.end);
}

Image Canvas::image() const
{
    Image out;
    out.width = width_;
    out.height = height_;
    if (width_ > 0 && height_ > 0) out.pixels.assign(pixels_, pixels_ + static_cast<ptrdiff_t>(width_) * height_);
    return out;
}

void Canvas::set_picture(const Image* image)
{
    clear();
    if (image) draw_image(*image, 0, 0);
}

}  // namespace fw
