// Canvas memory that GDI can draw from: a top-down 32-bit DIB section, whose
// pixels are laid out exactly as a canvas keeps them (0x00RRGGBB, rows width
// pixels apart), selected into a memory device context.
#pragma once

#include "toolkit/canvas.h"

#include <windows.h>

#include <memory>

namespace fw {

class DibStore final : public PixelStore {
public:
    DibStore();
    DibStore(const DibStore&) = delete;
    DibStore& operator=(const DibStore&) = delete;
    ~DibStore() override;

    // An empty size gives no memory (nullptr); a failing allocation throws
    // std::bad_alloc, which the error trap reports as out of memory.
    Color* allocate(int width, int height) override;
    std::unique_ptr<PixelStore> another() const override { return std::make_unique<DibStore>(); }

    // The memory device context with the bitmap selected; a source for BitBlt.
    HDC dc() const { return dc_; }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    void release();
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ original_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// A fresh top-down 32-bit DIB section of the given size; bits receives its memory.
HBITMAP create_dib(HDC dc, int width, int height, void** bits);

}  // namespace fw
