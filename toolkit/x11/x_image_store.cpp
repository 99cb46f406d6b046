#include "toolkit/x11/x_image_store.h"

#include "toolkit/x11/x_error_trap.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <bit>
#include <cstdlib>

namespace fw {

XImageStore::XImageStore(Display* display, Visual* visual, int depth)
    : display_(display),
      visual_(visual),
      depth_(depth),
      format_(PixelFormat::from_masks(visual->red_mask, visual->green_mask, visual->blue_mask)),
      opaque_bits_((depth >= 32 ? 0xFFFFFFFFul : (1ul << depth) - 1) &
                   ~(visual->red_mask | visual->green_mask | visual->blue_mask)),
      shm_usable_(XShmQueryExtension(display) == True)
{
}

XImageStore::~XImageStore() { release(); }

std::unique_ptr<PixelStore> XImageStore::another() const
{
    auto store = std::make_unique<XImageStore>(display_, visual_, depth_);
    store->shm_usable_ = shm_usable_;
    return store;
}

bool XImageStore::shows_like(const PixelStore& other) const
{
    const auto* x = dynamic_cast<const XImageStore*>(&other);
    return x && x->display_ == display_ && x->visual_ == visual_ && x->depth_ == depth_;
}

void XImageStore::before_write()
{
    if (!put_pending_) return;
    put_pending_ = false;
    // The event loop has read the server's report of that put (or anything
    // later) unless the server is behind; then wait for it.
    if (static_cast<long>(LastKnownRequestProcessed(display_) - last_put_) >= 0) return;
    ++waits_;
    XSync(display_, False);
}

Color* XImageStore::allocate(int width, int height)
{
    release();
    converted_.clear();
    if (width <= 0 || height <= 0) return nullptr;
    if (!(shm_usable_ && create_shared(width, height)) && !create_plain(width, height)) {
        direct_ = false;
        converted_.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
        return converted_.data();
    }
    // The canvas writes 0x00RRGGBB words, rows width pixels apart; a 32-bit
    // deep visual would read the zero byte as transparency.
    constexpr int native_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    direct_ = format_.is_xrgb8888() && depth_ == 24 && image_->bits_per_pixel == 32 &&
              image_->byte_order == native_order && image_->bytes_per_line == width * 4;
    if (direct_) return reinterpret_cast<Color*>(image_->data);
    converted_.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    return converted_.data();
}

bool XImageStore::create_shared(int width, int height)
{
    image_ = XShmCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, nullptr, &shm_,
                             static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (!image_) return false;
    const size_t bytes = static_cast<size_t>(image_->bytes_per_line) * static_cast<size_t>(height);
    shm_.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (shm_.shmid >= 0) {
        shm_.shmaddr = static_cast<char*>(shmat(shm_.shmid, nullptr, 0));
        if (shm_.shmaddr != reinterpret_cast<char*>(-1)) {
            image_->data = shm_.shmaddr;
            shm_.readOnly = False;
            XErrorTrap trap(display_);
            XShmAttach(display_, &shm_);
            const bool refused = trap.failed();
            // Marked for removal now: the segment goes when both sides detach,
            // however the process ends.
            shmctl(shm_.shmid, IPC_RMID, nullptr);
            if (!refused) {
                shm_attached_ = true;
                return true;
            }
            shmdt(shm_.shmaddr);
        } else {
            shmctl(shm_.shmid, IPC_RMID, nullptr);
        }
    }
    // The server cannot reach our memory (a remote display): plain images from now on.
    shm_usable_ = false;
    image_->data = nullptr;
    XDestroyImage(image_);
    image_ = nullptr;
    shm_ = {};
    return false;
}

bool XImageStore::create_plain(int width, int height)
{
    image_ = XCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, nullptr,
                          static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (!image_) return false;
    image_->data = static_cast<char*>(std::calloc(static_cast<size_t>(image_->bytes_per_line), static_cast<size_t>(height)));
    if (!image_->data) {
        XDestroyImage(image_);
        image_ = nullptr;
        return false;
    }
    return true;
}

void XImageStore::release()
{
    put_pending_ = false;
    if (!image_) return;
    if (shm_attached_) {
        XShmDetach(display_, &shm_);
        XSync(display_, False);
        shmdt(shm_.shmaddr);
        image_->data = nullptr;
        shm_attached_ = false;
        shm_ = {};
    }
    XDestroyImage(image_);  // frees a plain image's data
    image_ = nullptr;
    direct_ = false;
}

void XImageStore::put(Drawable drawable, GC gc, int x, int y, int width, int height)
{
    const Rect part{x, y, x + width, y + height};
    put(drawable, gc, std::span<const Rect>(&part, 1));
}

void XImageStore::put(Drawable drawable, GC gc, std::span<const Rect> parts)
{
    if (!image_) return;
    clip_.clear();
    Rect box{image_->width, image_->height, 0, 0};
    bool banded = true;
    for (const Rect& part : parts) {
        const Rect r{std::max(part.left, 0), std::max(part.top, 0), std::min(part.right, image_->width),
                     std::min(part.bottom, image_->height)};
        if (r.left >= r.right || r.top >= r.bottom) continue;
        if (!clip_.empty()) {
            // Bands: top to bottom, in each the same top and bottom, left to right.
            const XRectangle& p = clip_.back();
            const int p_bottom = p.y + p.height, p_right = p.x + p.width;
            banded = banded && (r.top == p.y ? r.bottom == p_bottom && r.left >= p_right : r.top >= p_bottom);
        }
        clip_.push_back(XRectangle{static_cast<short>(r.left), static_cast<short>(r.top),
                                   static_cast<unsigned short>(r.right - r.left), static_cast<unsigned short>(r.bottom - r.top)});
        box = Rect{std::min(box.left, r.left), std::min(box.top, r.top), std::max(box.right, r.right),
                   std::max(box.bottom, r.bottom)};
    }
    if (clip_.empty()) return;
    // All parts are converted before the first is sent: the image is not
    // written while the server may be reading it.
    if (!direct_) {
        const Color* pixels = converted_.data();
        const auto stride = static_cast<size_t>(image_->width);
        for (const XRectangle& r : clip_)
            for (int row = r.y; row < r.y + r.height; ++row)
                for (int col = r.x; col < r.x + r.width; ++col)
                    XPutPixel(image_, col, row, format_.to_pixel(pixels[static_cast<size_t>(row) * stride + static_cast<size_t>(col)]) | opaque_bits_);
    }
    if (shm_attached_) {
        // The server reads only the clipped parts of the enclosing box, and
        // reports when it has.
        if (clip_.size() == 1) XSetClipMask(display_, gc, None);
        else XSetClipRectangles(display_, gc, 0, 0, clip_.data(), static_cast<int>(clip_.size()), banded ? YXBanded : Unsorted);
        XShmPutImage(display_, drawable, gc, image_, box.left, box.top, box.left, box.top,
                     static_cast<unsigned>(box.right - box.left), static_cast<unsigned>(box.bottom - box.top), True);
        last_put_ = NextRequest(display_) - 1;
        put_pending_ = true;
    } else {
        // Over the connection every pixel of a put travels: one per part.
        XSetClipMask(display_, gc, None);
        for (const XRectangle& r : clip_) XPutImage(display_, drawable, gc, image_, r.x, r.y, r.x, r.y, r.width, r.height);
    }
    XFlush(display_);
}

}  // namespace fw
