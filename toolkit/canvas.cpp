// The software canvas: a 32-bit pixel surface and the few GDI-style primitives
// the program draws with. Every primitive clips its rectangle to the surface
// (and, for copies, to the source) first, returns when nothing is left, and
// then runs plain row loops over the surviving pixels, and gives the tiles it
// wrote a new stamp.
#include "toolkit/canvas.h"

#include <algorithm>
#include <atomic>
#include <cassert>
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
// comes back for other content, whichever canvas it went to.
std::atomic<uint64_t> last_stamp{0};

uint64_t new_stamp() { return last_stamp.fetch_add(1, std::memory_order_relaxed) + 1; }

int tiles_for(int extent, int tile) { return (extent + tile - 1) / tile; }

// Beyond this width or height the error terms of the ellipse stepping no
// longer fit in 64 bits; such boxes draw nothing.
constexpr long long kMaxEllipseExtent = 1LL << 19;

}  // namespace

Canvas::Canvas(Color back, std::unique_ptr<PixelStore> store) : back_color(back), store_(std::move(store))
{
    if (!store_) store_ = std::make_unique<VectorStore>();
}

Canvas::~Canvas() = default;

void Canvas::changed(int left, int top, int right, int bottom)
{
    assert(left < right && top < bottom && left >= 0 && top >= 0 && right <= width_ && bottom <= height_);
    const uint64_t s = new_stamp();
    const int tx0 = left / kTileWidth, tx1 = (right - 1) / kTileWidth;
    for (int ty = top / kTileHeight; ty <= (bottom - 1) / kTileHeight; ++ty)
        for (int tx = tx0; tx <= tx1; ++tx) stamp(tx, ty) = s;
}

void Canvas::changed_all()
{
    std::fill(stamps_.begin(), stamps_.end(), new_stamp());
}

PixelRows Canvas::write_rows(int left, int top, int right, int bottom)
{
    const Span xs = clip_span(left, static_cast<long long>(right) - left, width_);
    const Span ys = clip_span(top, static_cast<long long>(bottom) - top, height_);
    if (xs.empty() || ys.empty()) return PixelRows(pixels_, width_, Rect{});
    changed(xs.begin, ys.begin, xs.end, ys.end);
    return PixelRows(pixels_, width_, Rect{xs.begin, ys.begin, xs.end, ys.end});
}

void Canvas::use_store(std::unique_ptr<PixelStore> store)
{
    const Image kept = image();
    store_ = store ? std::move(store) : std::make_unique<VectorStore>();
    width_ = height_ = 0;
    pixels_ = nullptr;
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

    pixels_ = store_->allocate(width, height);
    width_ = width;
    height_ = height;
    tiles_across_ = tiles_for(width, kTileWidth);
    tiles_down_ = tiles_for(height, kTileHeight);
    stamps_.assign(static_cast<size_t>(tiles_across_) * static_cast<size_t>(tiles_down_), 0);
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
    std::fill_n(pixels_, static_cast<size_t>(width_) * static_cast<size_t>(height_), back_color);
    changed_all();
}

void Canvas::fill_rect(int left, int top, int right, int bottom, Color color)
{
    const Span xs = clip_span(left, static_cast<long long>(right) - left, width_);
    const Span ys = clip_span(top, static_cast<long long>(bottom) - top, height_);
    if (xs.empty() || ys.empty()) return;
    for (int y = ys.begin; y < ys.end; ++y) fill_row(row(y), xs.begin, xs.end, color);
    changed(xs.begin, ys.begin, xs.end, ys.end);
}

// The ellipse is stepped out once, a quarter at a time, with Alois Zingl's
// integer ellipse algorithm, in the exact arithmetic of the GDI rasteriser.
// Each row of the box gets an outer inset (where the outline starts, also the
// edge of the fill) and an inner inset (where the outline ends); the outline
// pixels are [outer, inner] from each side and the fill is what lies between.
// Both the fill and the outline are drawn from these two numbers, so they
// cannot disagree.
void Canvas::ellipse(int left, int top, int right, int bottom)
{
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    const long long w = static_cast<long long>(right) - left;
    const long long h = static_cast<long long>(bottom) - top;
    // A 1x1 box has an outline of length zero and no interior.
    if (w == 0 || h == 0 || (w == 1 && h == 1)) return;
    if (clip_span(left, w, width_).empty() || clip_span(top, h, height_).empty()) return;
    if (w > kMaxEllipseExtent || h > kMaxEllipseExtent) return;
    if (w <= 2 || h <= 2) {
        // Too narrow to curve: the outline covers the whole box.
        fill_rect(left, top, right, bottom, fore_color);
        return;
    }

    {
        const Span xs = clip_span(left, w, width_);
        const Span ys = clip_span(top, h, height_);
        changed(xs.begin, ys.begin, xs.end, ys.end);
    }

    const Color fore = fore_color;
    const Color fill = fill_color;
    const long long a = w - 1;  // the last column and row of the box, relative
    const long long b = h - 1;

    // Draws relative row v (and its mirror b - v) with the given insets.
    auto emit = [&](long long v, long long outer, long long inner) {
        const long long first = left + outer;  // left run [first, first_end)
        const long long first_end = left + inner + 1;
        const long long last = static_cast<long long>(left) + a - inner;  // right run [last, last_end)
        const long long last_end = static_cast<long long>(left) + a - outer + 1;
        auto to_col = [&](long long x) { return static_cast<int>(std::clamp(x, 0LL, static_cast<long long>(width_))); };
        const int x0 = to_col(first), x1 = to_col(first_end), x2 = to_col(last), x3 = to_col(last_end);
        const long long ys[2] = {top + v, top + b - v};
        for (int i = 0; i < (ys[0] == ys[1] ? 1 : 2); ++i) {
            if (ys[i] < 0 || ys[i] >= height_) continue;
            Color* r = row(static_cast<int>(ys[i]));
            fill_row(r, x1, x2, fill);
            fill_row(r, x0, x1, fore);
            fill_row(r, x2, x3, fore);
        }
    };

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
        for (int i = 0; i < rows; ++i) std::memcpy(row(cy + i) + cx, src.row(csy + i) + csx, bytes);
        changed(cx, cy, cx + static_cast<int>(ww), cy + rows);
        return;
    }

    // The same place of both: tile by tile. A tile the copy covers wholly
    // takes the source's stamp, and is skipped when it has it already; the
    // tiles it covers in part get a new one.
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
            uint64_t& mine = stamp(tx, ty);
            if (rows_covered && x0 == tile_left && x1 == tile_right) {
                const uint64_t theirs = src.tile_stamp(tx, ty);
                if (mine == theirs) {
                    flush();
                    continue;
                }
                mine = theirs;
            } else {
                mine = partial_stamp;
            }
            if (run_end != x0) flush();
            if (run_begin >= run_end) run_begin = x0;
            run_end = x1;
        }
        flush();
    }
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

std::vector<Rect> ShownTiles::take_changes(const Canvas& canvas)
{
    std::vector<Rect> out;
    const int across = canvas.tiles_across(), down = canvas.tiles_down();
    const size_t count = static_cast<size_t>(across) * static_cast<size_t>(down);
    if (canvas.width() != width_ || canvas.height() != height_ || stamps_.size() != count) {
        width_ = canvas.width();
        height_ = canvas.height();
        stamps_.resize(count);
        for (int ty = 0; ty < down; ++ty)
            for (int tx = 0; tx < across; ++tx) stamps_[static_cast<size_t>(ty * across + tx)] = canvas.tile_stamp(tx, ty);
        if (width_ > 0 && height_ > 0) out.push_back(Rect{0, 0, width_, height_});
        return out;
    }

    // The rectangles that reach down to the row of tiles before, by column:
    // a run of the same columns in this row makes them one row longer.
    std::vector<size_t> open, still_open;
    for (int ty = 0; ty < down; ++ty) {
        const int top = ty * Canvas::kTileHeight, bottom = std::min(top + Canvas::kTileHeight, height_);
        uint64_t* shown = stamps_.data() + static_cast<size_t>(ty) * static_cast<size_t>(across);
        size_t above = 0;
        still_open.clear();
        for (int tx = 0; tx < across;) {
            if (shown[tx] == canvas.tile_stamp(tx, ty)) {
                ++tx;
                continue;
            }
            const int first = tx;
            for (; tx < across && shown[tx] != canvas.tile_stamp(tx, ty); ++tx) shown[tx] = canvas.tile_stamp(tx, ty);
            const int left = first * Canvas::kTileWidth, right = std::min(tx * Canvas::kTileWidth, width_);
            while (above < open.size() && out[open[above]].left < left) ++above;
            if (above < open.size() && out[open[above]].left == left && out[open[above]].right == right) {
                out[open[above]].bottom = bottom;
                still_open.push_back(open[above]);
            } else {
                still_open.push_back(out.size());
                out.push_back(Rect{left, top, right, bottom});
            }
        }
        open.swap(still_open);
    }
    return out;
}

}  // namespace fw
