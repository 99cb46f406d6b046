// A 32-bit pixel surface with the drawing operations the program uses, in the
// conventions of the platform's GDI: rectangles are half-open (right and bottom
// exclusive), every primitive clips to the surface first.
//
// A canvas is cut into tiles, and each tile carries a stamp that changes
// whenever anything is written into it. Two tiles at the same place of two
// canvases with the same stamp hold the same pixels, so a copy may skip them
// and a window may send only the tiles whose stamp it has not shown yet.
#pragma once

#include <cassert>
#include <cstdint>
#include <memory>
#include <span>
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

// Where a canvas keeps its pixels. The default owns a vector; a backend may
// hand out memory it can show directly (a shared-memory image, a DIB section).
class PixelStore {
public:
    virtual ~PixelStore() = default;
    // Makes room for width x height pixels and returns the first row; the
    // content is unspecified. Rows are width pixels apart.
    virtual Color* allocate(int width, int height) = 0;
};

// A half-open rectangle of a canvas.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const Rect&) const = default;
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
    // The content stamp of tile (tx, ty).
    uint64_t tile_stamp(int tx, int ty) const
    {
        return stamps_[static_cast<size_t>(ty) * static_cast<size_t>(tiles_across_) + static_cast<size_t>(tx)];
    }

    Color back_color = 0;
    Color fore_color = rgb(255, 255, 255);
    Color fill_color = rgb(255, 255, 255);

    // Moves the pixels into memory from store (a backend's presentable
    // memory); the content stays.
    void use_store(std::unique_ptr<PixelStore> store);

    // New size; the content that still fits stays where it was, new area is
    // filled with the back colour.
    void resize(int width, int height);
    // Fills the whole surface with the back colour.
    void clear();
    void fill_rect(int left, int top, int right, int bottom, Color color);

    // GDI Ellipse: the ellipse inscribed in (left, top)-(right, bottom), right
    // and bottom exclusive, filled with fill_color and outlined one pixel wide
    // in fore_color. An empty box draws nothing.
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
    Color* row(int y) { return pixels_ + static_cast<ptrdiff_t>(y) * width_; }
    uint64_t& stamp(int tx, int ty)
    {
        return stamps_[static_cast<size_t>(ty) * static_cast<size_t>(tiles_across_) + static_cast<size_t>(tx)];
    }
    // Gives the tiles under (left, top)-(right, bottom), already clipped and
    // not empty, a new stamp.
    void changed(int left, int top, int right, int bottom);
    void changed_all();

    std::unique_ptr<PixelStore> store_;
    Color* pixels_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int tiles_across_ = 0;
    int tiles_down_ = 0;
    std::vector<uint64_t> stamps_;
};

// What a window last showed of a canvas, tile by tile.
class ShownTiles {
public:
    // Nothing counts as shown any more: the next changes cover everything.
    void forget() { stamps_.clear(); }
    // The parts of canvas that changed since it was last shown, as few
    // rectangles: changed tiles next to each other in a row of tiles make
    // one run, and equal runs of consecutive rows one rectangle. From now on
    // the current content counts as shown.
    std::vector<Rect> take_changes(const Canvas& canvas);

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint64_t> stamps_;
};

}  // namespace fw
