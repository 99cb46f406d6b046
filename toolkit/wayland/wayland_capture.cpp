// The desktop snapshot on Wayland: a screen copy (wlr-screencopy) of each
// output into shared memory, read back as the scene's colours; black where
// the compositor offers none.
#include "toolkit/wayland/wayland_platform.h"

#include "toolkit/wayland/shm_memory.h"

#include "wlr-screencopy-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>

namespace fw {

namespace {

// One screen copy of an output into shared memory.
struct ScreenCopy {
    wl_shm* shm = nullptr;
    bool buffer_known = false, can_copy = false, copied = false, ready = false, failed = false, inverted = false;
    uint32_t format = 0, width = 0, height = 0, stride = 0;
    ShmMemory memory;
    wl_buffer* buffer = nullptr;
    zwlr_screencopy_frame_v1* frame = nullptr;

    void copy()
    {
        if (copied || !buffer_known) return;
        copied = true;
        if (!memory.create(static_cast<size_t>(stride) * height)) {
            failed = true;
            return;
        }
        wl_shm_pool* pool = wl_shm_create_pool(shm, memory.fd(), static_cast<int32_t>(memory.size()));
        buffer = wl_shm_pool_create_buffer(pool, 0, static_cast<int32_t>(width), static_cast<int32_t>(height),
                                           static_cast<int32_t>(stride), format);
        wl_shm_pool_destroy(pool);
        zwlr_screencopy_frame_v1_copy(frame, buffer);
    }
};

ScreenCopy& copy_of(void* data) { return *static_cast<ScreenCopy*>(data); }

bool readable_format(uint32_t format)
{
    return format == WL_SHM_FORMAT_XRGB8888 || format == WL_SHM_FORMAT_ARGB8888 || format == WL_SHM_FORMAT_XBGR8888 ||
           format == WL_SHM_FORMAT_ABGR8888;
}


void copy_buffer(void* data, zwlr_screencopy_frame_v1*, uint32_t format, uint32_t width, uint32_t height,
                 uint32_t stride)
{
    ScreenCopy& c = copy_of(data);
    // The first 32-bit format this program reads; version 3 lists others
    // (dma-buf among them) and says when the list is complete.
    if (c.buffer_known || !readable_format(format) || width == 0 || height == 0 || stride / 4 < width ||
        height > (1u << 15) || stride > (1u << 17))
        return;
    c.buffer_known = true;
    c.format = format, c.width = width, c.height = height, c.stride = stride;
}

void copy_flags(void* data, zwlr_screencopy_frame_v1*, uint32_t flags)
{
    copy_of(data).inverted = (flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT) != 0;
}

void copy_ready(void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) { copy_of(data).ready = true; }
void copy_failed(void* data, zwlr_screencopy_frame_v1*) { copy_of(data).failed = true; }
void copy_damage(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t) {}
void copy_linux_dmabuf(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {}
void copy_buffer_done(void* data, zwlr_screencopy_frame_v1*) { copy_of(data).can_copy = true; }

const zwlr_screencopy_frame_v1_listener screencopy_listener = {
    .buffer = copy_buffer,
    .flags = copy_flags,
    .ready = copy_ready,
    .failed = copy_failed,
    .damage = copy_damage,
    .linux_dmabuf = copy_linux_dmabuf,
    .buffer_done = copy_buffer_done,
};

}  // namespace

Image WaylandPlatform::capture_screen(int x, int y, int width, int height)
{
    Image shot = black_image(width, height);
    if (shot.empty() || !globals_.screencopy) return shot;
    const OutputLayout now = layout();
    size_t i = 0;
    for (const auto& o : outputs_) {
        if (!o->done) continue;
        const Rect area = now.area(i++);
        const Rect want{std::max(area.left, x), std::max(area.top, y), std::min(area.right, x + width),
                        std::min(area.bottom, y + height)};
        if (want.left >= want.right || want.top >= want.bottom) continue;

        ScreenCopy c;
        c.shm = globals_.shm;
        c.frame = zwlr_screencopy_manager_v1_capture_output(globals_.screencopy, 0, o->output);
        zwlr_screencopy_frame_v1_add_listener(c.frame, &screencopy_listener, &c);
        // Version 3 says when every kind of buffer has been offered; before
        // it, the one offer is all there is.
        while (!c.ready && !c.failed) {
            if ((c.can_copy || globals_.screencopy_version < 3) && c.buffer_known) c.copy();
            if (c.can_copy && !c.buffer_known) c.failed = true;
            if (!c.ready && !c.failed && wl_display_dispatch(display_) < 0) break;
        }
        if (c.ready && c.memory.data()) {
            const auto* bytes = static_cast<const uint8_t*>(c.memory.data());
            const bool swap = c.format == WL_SHM_FORMAT_XBGR8888 || c.format == WL_SHM_FORMAT_ABGR8888;
            const int w = std::min<int>(static_cast<int>(c.width), width_of(area));
            const int h = std::min<int>(static_cast<int>(c.height), height_of(area));
            for (int row = want.top; row < want.bottom && row - area.top < h; ++row) {
                const int source_row = c.inverted ? h - 1 - (row - area.top) : row - area.top;
                const auto* in = reinterpret_cast<const uint32_t*>(bytes + static_cast<size_t>(source_row) * c.stride);
                Color* out = shot.pixels.data() + static_cast<size_t>(row - y) * static_cast<size_t>(width);
                for (int col = want.left; col < want.right && col - area.left < w; ++col) {
                    const uint32_t p = in[col - area.left];
                    out[col - x] = swap ? rgb(static_cast<int>(p & 255), static_cast<int>((p >> 8) & 255),
                                              static_cast<int>((p >> 16) & 255))
                                        : (p & 0xFFFFFFu);
                }
            }
        }
        zwlr_screencopy_frame_v1_destroy(c.frame);
        if (c.buffer) wl_buffer_destroy(c.buffer);
        if (wl_display_get_error(display_)) connection_lost();
    }
    return shot;
}

}  // namespace fw
