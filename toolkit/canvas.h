// A software canvas: a 32-bit framebuffer with the drawing operations the
// program uses, in the conventions of the platform's GDI: rectangles are
// half-open (right and bottom exclusive), every primitive clips to the
// surface first.
//
// A canvas is cut into tiles and keeps track of its dirty tiles (see
// dirty_tiles.h), so that a copy or a window's damage covers only what
// changed. A window's surface may share a canvas' memory copy-on-write
// instead of copying it (see show_copies).
//
// Canvases are drawn on one thread.
#pragma once

#include "toolkit/color.h"
#include "toolkit/dirty_tiles.h"
#include "toolkit/image.h"
#include "toolkit/pixel_store.h"
#include "toolkit/rect.h"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace fw {

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
