// The software canvas: a 32-bit framebuffer and the few GDI-style raster
// primitives the program draws with (rectangle fills, scanline ellipses,
// BitBlt and StretchBlt copies). Every primitive clips its rectangle to the
// surface (and, for copies, to the source) first, returns when nothing is
// left, then runs plain scanline loops over the surviving pixels, and marks
// the tiles it wrote dirty with a new stamp.
#include "toolkit/canvas.h"

#include "toolkit/canvas_buffer.h"
#include "toolkit/clip.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstring>

namespace fw {

namespace {

int tiles_for(int extent, int tile) { return (extent + tile - 1) / tile; }

}  // namespace

Canvas::Canvas(Color back, std::unique_ptr<PixelStore> store) : back_color(back), id_(new_stamp())
{
    attach(Buffer::make(store ? std::move(store) : vector_store(), 0, 0, 0));
    log_.reset(0);
}

Canvas::~Canvas() = default;

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
    attach(Buffer::make(store ? std::move(store) : vector_store(), 0, 0, 0));
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