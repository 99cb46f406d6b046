#include "toolkit/wayland/wayland_window.h"

#include "toolkit/runtime_error.h"
#include "toolkit/wayland/damage.h"
#include "toolkit/wayland/shm_memory.h"
#include "toolkit/wayland/wayland_platform.h"

#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

namespace fw {

namespace {

// Two buffers let the program draw the next frame while the compositor
// still reads the last; a third covers a compositor that keeps one longer.
constexpr size_t kMostBuffers = 3;

WaylandWindow& window_of(void* data) { return *static_cast<WaylandWindow*>(data); }

void layer_configure(void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t width, uint32_t height)
{
    window_of(data).configured(serial, static_cast<int>(width), static_cast<int>(height));
}

void layer_closed(void* data, zwlr_layer_surface_v1*) { window_of(data).closed(); }

const zwlr_layer_surface_v1_listener layer_listener = {
    .configure = layer_configure,
    .closed = layer_closed,
};

void surface_configure(void* data, xdg_surface*, uint32_t serial) { window_of(data).toplevel_acked(serial); }

const xdg_surface_listener xdg_surface_listener_ = {
    .configure = surface_configure,
};

void toplevel_configure(void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array* states)
{
    bool activated = false, suspended = false;
    const auto* state = static_cast<const uint32_t*>(states->data);
    for (size_t i = 0; i < states->size / sizeof(uint32_t); ++i) {
        activated = activated || state[i] == XDG_TOPLEVEL_STATE_ACTIVATED;
#ifdef XDG_TOPLEVEL_STATE_SUSPENDED_SINCE_VERSION
        suspended = suspended || state[i] == XDG_TOPLEVEL_STATE_SUSPENDED;
#endif
    }
    window_of(data).toplevel_configured(width, height, activated, suspended);
}

void toplevel_close(void* data, xdg_toplevel*) { window_of(data).closed(); }
void toplevel_configure_bounds(void*, xdg_toplevel*, int32_t, int32_t) {}
void toplevel_wm_capabilities(void*, xdg_toplevel*, wl_array*) {}

const xdg_toplevel_listener toplevel_listener = {
    .configure = toplevel_configure,
    .close = toplevel_close,
    .configure_bounds = toplevel_configure_bounds,
    .wm_capabilities = toplevel_wm_capabilities,
};

void fraction_preferred(void* data, wp_fractional_scale_v1*, uint32_t scale) { window_of(data).scale_preferred(scale); }

const wp_fractional_scale_v1_listener fraction_listener = {
    .preferred_scale = fraction_preferred,
};

void frame_done(void* data, wl_callback*, uint32_t) { window_of(data).frame_done(); }

const wl_callback_listener frame_listener = {
    .done = frame_done,
};

}  // namespace

// One shared-memory picture of the surface's size, and what of the form's
// surface it holds.
struct WaylandWindow::Buffer {
    ShmMemory memory;
    wl_buffer* buffer = nullptr;
    int width = 0, height = 0;
    bool busy = false;  // the compositor has it
    ShownTiles shown;

    ~Buffer()
    {
        if (buffer) wl_buffer_destroy(buffer);
    }
};

namespace {

void buffer_release(void* data, wl_buffer*) { static_cast<WaylandWindow::Buffer*>(data)->busy = false; }

const wl_buffer_listener buffer_listener = {
    .release = buffer_release,
};

}  // namespace

WaylandWindow::WaylandWindow(WaylandPlatform& owner, Form& form) : LoopWindow(owner.loop(), form), owner_(owner) {}

WaylandWindow::~WaylandWindow()
{
    if (!destroyed_) destroy();
}

void WaylandWindow::show(ShowMode mode)
{
    Form& form = form_;
    EventLoop& loop = loop_;
    const Lifetime::Watch self = watch();
    visible_ = true;
    // The form draws at its monitor's size before anything covers the
    // output, so that a desktop snapshot it takes shows the desktop.
    const Rect area = form.screen_area().value_or(Rect{0, 0, owner_.screen_width_px(), owner_.screen_height_px()});
    form.client_resized(std::max(width_of(area), 1), std::max(height_of(area), 1));
    if (!self.alive()) return;
    place();
    if (mode == ShowMode::modal && self.alive()) loop.run_until_unloaded(form);
}

void WaylandWindow::set_window_state(WindowState state)
{
    state_ = state;
    if (!visible_ || destroyed_) return;
    // The form's monitor changed: the scene follows it to its output.
    const Rect area = form_.screen_area().value_or(Rect{0, 0, owner_.screen_width_px(), owner_.screen_height_px()});
    const WaylandOutput* output = owner_.output_at(area);
    if (!output || output->name != output_ || output->output != placed_on_) {
        unplace();
        place();
    }
    // The scene takes its new monitor's size at once; the compositor's
    // answer may still change it.
    if (width_of(area) != form_.ScaleWidth() || height_of(area) != form_.ScaleHeight()) {
        shown_.forget();
        form_.client_resized(std::max(width_of(area), 1), std::max(height_of(area), 1));
    }
    pending_resize_ = true;
}

void WaylandWindow::place()
{
    if (surface_ || destroyed_) return;
    const WaylandGlobals& g = owner_.globals();
    const Rect area = form_.screen_area().value_or(Rect{0, 0, owner_.screen_width_px(), owner_.screen_height_px()});
    const WaylandOutput* output = owner_.output_at(area);
    // A monitor that is gone by now: the change that follows places it anew.
    if (!output) return;
    output_ = output->name;
    placed_on_ = output->output;

    surface_ = wl_compositor_create_surface(g.compositor);
    if (g.fractional_scale && g.viewporter) {
        viewport_ = wp_viewporter_get_viewport(g.viewporter, surface_);
        fraction_ = wp_fractional_scale_manager_v1_get_fractional_scale(g.fractional_scale, surface_);
        wp_fractional_scale_v1_add_listener(fraction_, &fraction_listener, this);
    }
    if (g.layer_shell) {
        layer_ = zwlr_layer_shell_v1_get_layer_surface(g.layer_shell, surface_, placed_on_,
                                                       ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "frostwisp");
        zwlr_layer_surface_v1_add_listener(layer_, &layer_listener, this);
        zwlr_layer_surface_v1_set_size(layer_, 0, 0);
        zwlr_layer_surface_v1_set_anchor(layer_, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                     ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                     ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_exclusive_zone(layer_, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(layer_,
                                                         ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
    } else if (g.wm_base) {
        // Without a layer shell: a fullscreen window on the output, which
        // the compositor may let other windows cover.
        owner_.leave_overview();
        xdg_surface_ = xdg_wm_base_get_xdg_surface(g.wm_base, surface_);
        xdg_surface_add_listener(xdg_surface_, &xdg_surface_listener_, this);
        toplevel_ = xdg_surface_get_toplevel(xdg_surface_);
        xdg_toplevel_add_listener(toplevel_, &toplevel_listener, this);
        xdg_toplevel_set_title(toplevel_, form_.design().caption.c_str());
        xdg_toplevel_set_app_id(toplevel_, "frostwisp");
        xdg_toplevel_set_fullscreen(toplevel_, placed_on_);
    } else {
        std::fprintf(stderr, "frostwisp: the Wayland compositor offers no way to show a full-screen surface\n");
        throw ProgramEnd{1};
    }
    // The first commit carries no buffer; the compositor answers with the size.
    wl_surface_commit(surface_);
}

void WaylandWindow::unplace()
{
    if (!surface_) return;
    owner_.surface_gone(surface_);
    if (frame_) wl_callback_destroy(frame_);
    frame_ = nullptr;
    if (layer_) zwlr_layer_surface_v1_destroy(layer_);
    if (toplevel_) xdg_toplevel_destroy(toplevel_);
    if (xdg_surface_) xdg_surface_destroy(xdg_surface_);
    if (fraction_) wp_fractional_scale_v1_destroy(fraction_);
    if (viewport_) wp_viewport_destroy(viewport_);
    wl_surface_destroy(surface_);
    layer_ = nullptr;
    toplevel_ = nullptr;
    xdg_surface_ = nullptr;
    fraction_ = nullptr;
    viewport_ = nullptr;
    surface_ = nullptr;
    placed_on_ = nullptr;
    buffers_.clear();
    configured_ = pending_configure_ = pending_resize_ = closed_ = false;
    active_ = suspended_ = toplevel_active_ = toplevel_suspended_ = false;
    fractional_ = 0;
    width_ = height_ = toplevel_width_ = toplevel_height_ = 0;
    buffer_scale_ = 1;
    shown_.forget();
}

void WaylandWindow::configured(uint32_t serial, int width, int height)
{
    configure_serial_ = serial;
    width_ = std::clamp(width, 0, 1 << 15);
    height_ = std::clamp(height, 0, 1 << 15);
    pending_configure_ = true;
}

void WaylandWindow::toplevel_configured(int width, int height, bool activated, bool suspended)
{
    toplevel_width_ = width, toplevel_height_ = height;
    toplevel_active_ = activated, toplevel_suspended_ = suspended;
}

void WaylandWindow::toplevel_acked(uint32_t serial)
{
    configure_serial_ = serial;
    active_ = toplevel_active_;
    suspended_ = toplevel_suspended_;
    width_ = std::clamp(toplevel_width_, 0, 1 << 15);
    height_ = std::clamp(toplevel_height_, 0, 1 << 15);
    pending_configure_ = true;
}

void WaylandWindow::frame_done()
{
    if (frame_) wl_callback_destroy(frame_);
    frame_ = nullptr;
}

void WaylandWindow::device_size(int& width, int& height) const
{
    // No output is larger than this: a bigger answer is no size to draw at.
    constexpr double kLargest = 16384;
    const WaylandOutput* output = owner_.output_named(output_);
    double w = width_, h = height_;
    if (w <= 0 || h <= 0) {
        // The compositor left the size to the program: the output's.
        const OutputGeometry g = output ? output->geometry() : OutputGeometry{};
        w = g.device_width;
        h = g.device_height;
    } else if (fractional_ && viewport_) {
        w *= fractional_ / 120.0;
        h *= fractional_ / 120.0;
    } else if (output) {
        w *= output->scale;
        h *= output->scale;
    }
    width = static_cast<int>(std::lround(std::clamp(w, 1.0, kLargest)));
    height = static_cast<int>(std::lround(std::clamp(h, 1.0, kLargest)));
}

void WaylandWindow::update()
{
    if (destroyed_ || !surface_) return;
    Form& form = form_;
    const Lifetime::Watch self = watch();
    if (closed_) {
        closed_ = false;
        // A layer surface closes when its output goes; the change of the
        // outputs that follows decides what becomes of the scene. A window
        // closed by the compositor ends the saver, as on other systems.
        if (layer_) unplace();
        else form.destroyed_by_system();
        return;
    }
    if (pending_configure_) {
        pending_configure_ = false;
        if (layer_) zwlr_layer_surface_v1_ack_configure(layer_, configure_serial_);
        else if (xdg_surface_) xdg_surface_ack_configure(xdg_surface_, configure_serial_);
        pending_resize_ = pending_resize_ || !configured_;
        configured_ = true;
        // Hidden under another window, or on no output at all: the saver
        // does not go on unseen.
        if (suspended_) {
            form.destroyed_by_system();
            return;
        }
    }
    if (pending_resize_ && configured_) {
        pending_resize_ = false;
        int width = 0, height = 0;
        device_size(width, height);
        if (width != form.ScaleWidth() || height != form.ScaleHeight()) {
            buffers_.clear();
            shown_.forget();
            form.client_resized(width, height);
            if (!self.alive() || !surface_) return;
        }
        // A configured surface needs a buffer before it shows anything.
        wanted_ = true;
        if (frame_) {
            wl_callback_destroy(frame_);
            frame_ = nullptr;
        }
    }
    // A refresh that waited for the last frame's callback goes out now.
    if (wanted_) present();
}

void WaylandWindow::outputs_changed()
{
    if (visible_ && !destroyed_ && !surface_) place();
}

WaylandWindow::Buffer* WaylandWindow::free_buffer()
{
    const Canvas& canvas = form_.surface();
    std::erase_if(buffers_, [&](const auto& b) {
        return !b->busy && (b->width != canvas.width() || b->height != canvas.height());
    });
    for (auto& b : buffers_)
        if (!b->busy && b->width == canvas.width() && b->height == canvas.height()) return b.get();
    if (buffers_.size() >= kMostBuffers) return nullptr;
    auto b = std::make_unique<Buffer>();
    const int stride = canvas.width() * 4;
    if (!b->memory.create(static_cast<size_t>(stride) * static_cast<size_t>(canvas.height()))) {
        // Without any buffer the surface can show nothing at all.
        no_memory_ = buffers_.empty();
        return nullptr;
    }
    wl_shm_pool* pool = wl_shm_create_pool(owner_.globals().shm, b->memory.fd(), static_cast<int32_t>(b->memory.size()));
    b->buffer = wl_shm_pool_create_buffer(pool, 0, canvas.width(), canvas.height(), stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    b->width = canvas.width();
    b->height = canvas.height();
    wl_buffer_add_listener(b->buffer, &buffer_listener, b.get());
    buffers_.push_back(std::move(b));
    return buffers_.back().get();
}

void WaylandWindow::refresh()
{
    wanted_ = true;
    present();
    // Raised here, where the form's handler that asked for the frame reports
    // it, rather than inside the compositor's callbacks.
    if (std::exchange(no_memory_, false)) raise_error(err::out_of_memory);
}

void WaylandWindow::present()
{
    if (!surface_ || !configured_ || frame_ || destroyed_) return;
    const Canvas& canvas = form_.surface();
    if (canvas.width() <= 0 || canvas.height() <= 0) return;
    Buffer* b = free_buffer();
    if (!b) return;  // the next tick tries again

    // The buffer takes what changed since it was last given the surface. In
    // a fullscreen window the pixels' unused byte is set as well: weston,
    // one of the compositors without a layer shell, takes it for alpha in
    // its screenshots. It costs a second pass, which the layer shell's
    // compositors are spared.
    auto* pixels = static_cast<Color*>(b->memory.data());
    const bool opaque = toplevel_ != nullptr;
    for (const Rect& r : b->shown.take_changes(canvas)) {
        const int count = r.right - r.left;
        for (int y = r.top; y < r.bottom; ++y) {
            Color* to = pixels + static_cast<ptrdiff_t>(y) * canvas.width() + r.left;
            std::memcpy(to, canvas.row(y) + r.left, static_cast<size_t>(count) * sizeof(Color));
            if (opaque)
                for (int x = 0; x < count; ++x) to[x] |= 0xFF000000u;
        }
    }

    int32_t scale = 1;
    if (fractional_ && viewport_) {
        wp_viewport_set_destination(viewport_, std::max(width_, 1), std::max(height_, 1));
    } else if (const WaylandOutput* output = owner_.output_named(output_); output && width_ > 0 &&
                                                                           canvas.width() == width_ * output->scale) {
        scale = output->scale;
    }
    if (scale != buffer_scale_) {
        wl_surface_set_buffer_scale(surface_, scale);
        buffer_scale_ = scale;
        shown_.forget();
    }

    wl_surface_attach(surface_, b->buffer, 0, 0);
    // The compositor repaints only what changed since the frame it shows.
    const bool in_buffer = owner_.globals().compositor_version >= 4;
    for (const Rect& r : cheapest_damage(shown_.take_changes(canvas), canvas.width(), canvas.height())) {
        if (in_buffer) {
            wl_surface_damage_buffer(surface_, r.left, r.top, r.right - r.left, r.bottom - r.top);
        } else {
            wl_surface_damage(surface_, 0, 0, INT32_MAX, INT32_MAX);
            break;
        }
    }
    frame_ = wl_surface_frame(surface_);
    wl_callback_add_listener(frame_, &frame_listener, this);
    wl_surface_commit(surface_);
    b->busy = true;
    wanted_ = false;
}

void WaylandWindow::reclaim_keyboard()
{
    if (!layer_) return;
    // A compositor may let a new window take the keyboard from an exclusive
    // layer surface (KWin 6 does) and does not look again at the same value
    // committed once more; a change from none to exclusive it does honour.
    zwlr_layer_surface_v1_set_keyboard_interactivity(layer_, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    wl_surface_commit(surface_);
    zwlr_layer_surface_v1_set_keyboard_interactivity(layer_, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
    wl_surface_commit(surface_);
}

void WaylandWindow::lost_to_system() { form_.destroyed_by_system(); }

void WaylandWindow::deliver_motion(double x, double y, int buttons, int shift)
{
    form_.Form_MouseMove(buttons, shift, static_cast<float>(owner_.to_area_x(output_, x)),
                         static_cast<float>(owner_.to_area_y(output_, y)));
}

void WaylandWindow::deliver_placed(double x, double y)
{
    form_.pointer_placed(static_cast<float>(owner_.to_area_x(output_, x)),
                         static_cast<float>(owner_.to_area_y(output_, y)));
}

double WaylandWindow::pointer_unit() const { return owner_.logical_factor(); }

void WaylandWindow::deliver_button(bool down, unsigned x_button, uint32_t time, double x, double y, int shift)
{
    // The click sequence counts in the form's pixels, as X's does.
    const auto px = static_cast<float>(owner_.to_area_x(output_, x));
    const auto py = static_cast<float>(owner_.to_area_y(output_, y));
    if (!down) {
        if (clicks_.release(x_button) == ClickEvent::click) form_.Form_Click();
    } else if (clicks_.press(x_button, time, static_cast<int>(px), static_cast<int>(py)) == ClickEvent::dbl_click) {
        form_.Form_DblClick();
    } else {
        form_.Form_MouseDown(button_for(x_button), shift, px, py);
    }
}

void WaylandWindow::deliver_key(int key_code, int shift, int character)
{
    Form& form = form_;
    const Lifetime::Watch self = watch();
    form.Form_KeyDown(key_code, shift);
    if (character && self.alive()) form.Form_KeyPress(character);
}

void WaylandWindow::destroy()
{
    if (destroyed_) return;
    destroyed_ = true;
    stop_timer();
    unplace();
    wl_display_flush(owner_.display());
}

}  // namespace fw
