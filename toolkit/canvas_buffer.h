// The copy-on-write buffer behind a canvas: one picture's memory and the
// stamps of its tiles, which canvases that hold the same content share until
// one of them writes. Only the canvas' own source files see it.
#pragma once

#include "toolkit/canvas.h"

#include <memory>
#include <vector>

namespace fw {

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

}  // namespace fw
