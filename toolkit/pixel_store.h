// The framebuffer memory behind a canvas, as a strategy object: the default
// owns a vector; a backend may hand out memory it can show directly (a
// shared-memory image, a DIB section).
#pragma once

#include "toolkit/color.h"

#include <memory>
#include <typeinfo>

namespace fw {

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

// Plain process memory, for a canvas that no backend shows directly.
std::unique_ptr<PixelStore> vector_store();

}  // namespace fw
