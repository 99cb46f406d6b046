// A 32-bit pixel surface with the drawing operations the program uses, in the
// conventions of the platform's GDI: rectangles are half-open (right and bottom
// exclusive), every primitive clips to the surface first.
//
// A canvas is cut into tiles, and each tile carries a stamp that changes
// whenever anything is written into it. Two tiles at the same place of two
// canvases with the same stamp hold the same pixels, so a copy may skip them
// and a window may send only the tiles whose stamp it has not shown yet. A
// canvas also lists its changed tiles as they change, so that neither needs
// to look at every tile to find them.
//
// Canvases are drawn on one thread.
#pragma once

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstdint>
#include <memory>
#include <span>
#include <typeinfo>
#include <utility>
#include <vector>

namespace fw {

// 0x00RRGGBB.
using Color = uint32_t;
constexpr Color rgb(int r, int g, int b)
{
    return (static_cast<Color>(r & 255) << 16) | (static_cast<Color>(g & 255) << 8) | static_cast<Color>(b & 255);
}
constexpr int red(Color c) { return static_cast<int>((c >> 16) & 255); }
constexpr int green(Color c) { return static_cast<int>((c >> 8) & 255); }
constexpr int blue(Color c) { return static_cast<int>(c & 255); }

// A still picture: what a surface's content is read out as, what a bitmap
// resource or a snapshot is loaded as.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<Color> pixels;  // row-major, width * height

    Color at(int x, int y) const { return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)]; }
    bool empty() const { return width <= 0 || height <= 0; }
};

// A black picture of width x height (none of a size below zero): what a
// screen capture starts from, and gives where the screen cannot be read.
inline Image black_image(int width, int height)
{
    Image shot;
    shot.width = std::max(width, 0);
    shot.height = std::max(height, 0);
    shot.pixels.assign(static_cast<size_t>(shot.width) * static_cast<size_t>(shot.height), 0);
    return shot;
}

// Where a canvas keeps its pixels. The default owns a vector; a backend may
// hand out memory it can show directly (a shared-memory image, a DIB section).
class PixelStore {
public:
    virtual ~PixelStore() = default;
    // Makes room for width x height pixels and returns the first row; the
    // content is unspecified. Rows are width pixels apart.
    virtual Color* allocate(int width, int height) = 0;
    // A new, empty store of the same kind: room for a second picture that
    // can be shown the same way.
    virtual std::unique_ptr<PixelStore> another() const = 0;
    // Whether what shows pixels from this store can show them from other too.
    virtual bool shows_like(const PixelStore& other) const { return typeid(*this) == typeid(other); }
    // Called before the pixels are written; a store that is still being read
    // (by a display server) waits here until it no longer is.
    virtual void before_write() {}
};

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

// A half-open rectangle of a canvas.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const Rect&) const = default;
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

class Canvas;

// Rows of a canvas opened for code that sets pixels itself: only the
// rectangle it was opened for may be written, and that counts as changed.
class PixelRows {
public:
    Color* row(int y) const
    {
        assert(y >= area_.top && y < area_.bottom);
        return first_ + static_cast<ptrdiff_t>(y) * stride_;
    }
    // The rectangle, clipped to the canvas; may be empty.
    const Rect& area() const { return area_; }

private:
    friend class Canvas;
    PixelRows(Color* first, int stride, Rect area) : first_(first), stride_(stride), area_(area) {}
    Color* first_;
    int stride_;
    Rect area_;
};

class Canvas {
public:
    static constexpr int kTileWidth = 16;
    static constexpr int kTileHeight = 8;

    explicit Canvas(Color back_color = 0, std::unique_ptr<PixelStore> store = nullptr);
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas();

    int width() const { return width_; }
    int height() const { return height_; }
    const Color* row(int y) const { return pixels_ + static_cast<ptrdiff_t>(y) * width_; }
    Color pixel(int x, int y) const { return row(y)[x]; }
    // For writing pixels directly into (left, top)-(right, bottom), clipped
    // to the surface; the whole rectangle counts as changed.
    PixelRows write_rows(int left, int top, int right, int bottom);

    int tiles_across() const { return tiles_across_; }
    int tiles_down() const { return tiles_down_; }
    // The content stamp of tile (tx, ty), and of the tile with index
    // ty * tiles_across() + tx.
    uint64_t tile_stamp(int tx, int ty) const { return tile_stamp(static_cast<uint32_t>(ty * tiles_across_ + tx)); }
    uint64_t tile_stamp(uint32_t index) const { return state_[index].stamp; }

    // Never the same for two canvases of the process.
    uint64_t id() const { return id_; }
    // The position in the list of changed tiles now, and the tiles (by
    // index) changed after such a position; false when the list no longer
    // reaches back that far: then any tile may have changed.
    uint64_t mark_changes() const { return log_.mark(); }
    bool changes_since(uint64_t from, std::vector<uint32_t>& out) const { return log_.since(from, out); }

    Color back_color = 0;
    Color fore_color = rgb(255, 255, 255);
    Color fill_color = rgb(255, 255, 255);

    // Moves the pixels into memory from store (a backend's presentable
    // memory); the content stays.
    void use_store(std::unique_ptr<PixelStore> store);
    // Where the pixels are now; it changes when the canvas shows another's.
    PixelStore& store() const;
    // A window's surface: a copy of the whole of a canvas of the same size
    // shows that canvas' memory instead of copying it, until one of the two
    // is written again; the copy moves the source into memory of this
    // canvas' kind first where it is not.
    void show_copies() { shows_copies_ = true; }

    // New size; the content that still fits stays where it was, new area is
    // filled with the back colour.
    void resize(int width, int height);
    // Fills the whole surface with the back colour.
    void clear();
    void fill_rect(int left, int top, int right, int bottom, Color color);

    // GDI Ellipse: the ellipse inscribed in (left, top)-(right, bottom), right
    // and bottom exclusive, filled with fill_color and outlined one pixel wide
    // in fore_color. An empty box draws nothing, and so does one more than
    // 2^31 wide or tall. Its cost follows the rows that show, not the box.
    void ellipse(int left, int top, int right, int bottom);

    // BitBlt SRCCOPY of src's (sx, sy, w, h) to (dx, dy), clipped to both.
    // From the same place of another canvas, tiles that already hold the
    // source's content are not copied again.
    void blit(int dx, int dy, int w, int h, const Canvas& src, int sx, int sy);
    // Draws image scaled into (dx, dy, dw, dh), clipped; each destination pixel
    // takes the source pixel it maps back to.
    void stretch_draw(const Image& image, int dx, int dy, int dw, int dh);
    // Draws image at (dx, dy) unscaled, clipped.
    void draw_image(const Image& image, int dx, int dy);

    // The current content as a picture.
    Image image() const;
    // Replaces the content: cleared to the back colour, then image drawn at
    // (0, 0) unscaled. Without an image only the clear happens.
    void set_picture(const Image* image);

private:
    struct Buffer;
    // What a tile holds: the stamp of its content; the stamp of a content
    // it still has outside its box; and the box (within the tile) where it
    // may differ from that content. Kept together, since a copy reads all
    // three of a tile at once and tiles are visited far apart.
    struct alignas(32) TileState {
        uint64_t stamp = 0;
        uint64_t base = 0;
        TileBox box;
    };
    // What the canvas was last made equal to as a whole: the other canvas and
    // the positions of both lists of changes at that moment.
    struct Sync {
        uint64_t other = 0;
        uint64_t other_mark = 0;
        uint64_t own_mark = 0;
    };

    Color* row(int y) { return pixels_ + static_cast<ptrdiff_t>(y) * width_; }
    uint32_t tiles() const { return static_cast<uint32_t>(tiles_across_ * tiles_down_); }
    // Before every write: a canvas that shares its memory with another gets
    // its own, with the content (unless it is all to be overwritten anyway).
    void prepare_write(bool whole = false);
    void separate(bool whole);
    std::shared_ptr<Buffer> spare_for(Buffer& shared) const;
    void attach(std::shared_ptr<Buffer> buffer) const;
    // Gives the tiles under (left, top)-(right, bottom), already clipped and
    // not empty, a new stamp.
    void changed(int left, int top, int right, int bottom);
    void changed_all();
    // The tiles that may differ from src, which has the same size, from what
    // both lists say since the two were last equal; false: any of them may.
    bool candidates(const Canvas& src, std::vector<uint32_t>& out) const;
    void copy_whole(const Canvas& src);
    void share_whole(const Canvas& src);
    // Copies the tiles in to_copy_ from src_pixels, of the same size, and
    // empties it.
    void copy_runs(const Color* src_pixels);
    // Copies what the box of tile holds in src_pixels, of the same size.
    void copy_box(uint32_t tile, const Color* src_pixels);
    // The rows of the ellipse in a box at (left, top) of w x h pixels that
    // show, each drawn with emit(row, outer inset, inner inset).
    template <class Emit> void ellipse_rows(int left, int top, long long w, long long h, Emit& emit);

    const uint64_t id_;
    bool shows_copies_ = false;
    // The memory: where it is and what it holds may change under a const
    // canvas (it moves into a window's memory, see show_copies), the content
    // does not.
    mutable std::shared_ptr<Buffer> buffer_;
    mutable Color* pixels_ = nullptr;
    mutable TileState* state_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int tiles_across_ = 0;
    int tiles_down_ = 0;
    mutable ChangeLog log_;
    Sync sync_;
    std::vector<uint32_t> scratch_;
    TileSet to_copy_;
    std::vector<std::pair<size_t, size_t>> runs_;  // of one row of tiles: first pixel, pixels
};

}  // namespace fw
