#include "toolkit/win32/dib_store.h"

#include <new>

namespace fw {

HBITMAP create_dib(HDC dc, int width, int height, void** bits)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // negative: the first row is the top one
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

DibStore::DibStore() : dc_(CreateCompatibleDC(nullptr)) {}

DibStore::~DibStore()
{
    release();
    if (dc_) DeleteDC(dc_);
}

void DibStore::release()
{
    if (bitmap_) {
        SelectObject(dc_, original_);
        DeleteObject(bitmap_);
    }
    bitmap_ = nullptr;
    original_ = nullptr;
    width_ = height_ = 0;
}

Color* DibStore::allocate(int width, int height)
{
    release();
    if (width <= 0 || height <= 0) return nullptr;
    void* bits = nullptr;
    bitmap_ = create_dib(dc_, width, height, &bits);
    if (!bitmap_ || !bits) {
        bitmap_ = nullptr;
        throw std::bad_alloc();
    }
    original_ = SelectObject(dc_, bitmap_);
    width_ = width;
    height_ = height;
    return static_cast<Color*>(bits);
}

}  // namespace fw
