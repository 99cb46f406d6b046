// A canvas' pixels kept in an X image, so that showing the canvas is one
// image transfer and no copy: in a shared-memory segment the X server reads
// directly (MIT-SHM), or, where the server cannot share memory with us (a
// remote display), in an ordinary image sent over the connection. A visual
// whose pixels are not 0x00RRGGBB gets its own image, converted at each put.
//
// Puts from shared memory are not waited for: the server reports each one
// done with an event, and only writing into the image again waits until the
// last put from it is done. A window that alternates between two images
// therefore has at most one frame on its way to the server while it draws
// the next.
#pragma once

#include "toolkit/canvas.h"
#include "toolkit/x11/pixel_format.h"

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <span>
#include <vector>

namespace fw {

class XImageStore : public PixelStore {
public:
    XImageStore(Display* display, Visual* visual, int depth);
    ~XImageStore() override;
    XImageStore(const XImageStore&) = delete;
    XImageStore& operator=(const XImageStore&) = delete;

    Color* allocate(int width, int height) override;
    std::unique_ptr<PixelStore> another() const override;
    bool shows_like(const PixelStore& other) const override;
    void before_write() override;

    // Shows the pixels of (x, y, width, height) at the same place of drawable.
    void put(Drawable drawable, GC gc, int x, int y, int width, int height);
    // Shows the pixels of each part at the same place of drawable. From
    // shared memory that is two requests, whatever the number of parts: the
    // parts as the clip of gc, then one put of what encloses them.
    void put(Drawable drawable, GC gc, std::span<const Rect> parts);
    // The times before_write() had to wait for the server.
    unsigned long waits() const { return waits_; }

    bool shared_memory() const { return shm_attached_; }
    // The canvas draws straight into the image.
    bool direct() const { return direct_; }

private:
    bool create_shared(int width, int height);
    bool create_plain(int width, int height);
    void release();

    Display* display_;
    Visual* visual_;
    int depth_;
    PixelFormat format_;
    unsigned long opaque_bits_;  // the alpha bits of a 32-bit deep visual
    bool shm_usable_;
    XImage* image_ = nullptr;
    XShmSegmentInfo shm_{};
    bool shm_attached_ = false;
    bool direct_ = false;
    bool put_pending_ = false;       // a put from shared memory the server may not have done
    unsigned long last_put_ = 0;     // its request number
    unsigned long waits_ = 0;
    std::vector<XRectangle> clip_;
    std::vector<Color> converted_;  // the canvas' pixels when not direct
};

}  // namespace fw
