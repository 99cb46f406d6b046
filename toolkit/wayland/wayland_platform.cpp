#include "toolkit/wayland/wayland_platform.h"

#include "host/saver.h"
#include "toolkit/form.h"
#include "toolkit/idle/session_bus.h"
#include "toolkit/freetype/freetype_text.h"
#include "toolkit/runtime_error.h"
#include "toolkit/wayland/shm_memory.h"
#include "toolkit/wayland/wayland_window.h"
#include "toolkit/linux/screen_dpi.h"

#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <linux/input-event-codes.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#if defined(FROSTWISP_GTK_DIALOGS) && __has_include("toolkit/gtk/gtk_backend.h")
#include "toolkit/dialog_form.h"
#include "toolkit/gtk/gtk_backend.h"
#else
#undef FROSTWISP_GTK_DIALOGS
#endif

namespace fw {

namespace {

WaylandPlatform& self(void* data) { return *static_cast<WaylandPlatform*>(data); }
WaylandOutput& output_of(void* data) { return *static_cast<WaylandOutput*>(data); }

// The output's events. Each description ends with done.
const wl_output_listener output_listener = {
    [](void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*, const char*,
       int32_t transform) {
        WaylandOutput& o = output_of(data);
        o.x = x, o.y = y, o.transform = transform;
        o.changed = true;
    },
    [](void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
        if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
        WaylandOutput& o = output_of(data);
        o.mode_width = width, o.mode_height = height;
        o.changed = true;
    },
    [](void* data, wl_output*) {
        WaylandOutput& o = output_of(data);
        o.owner->output_done(o);
    },
    [](void* data, wl_output*, int32_t scale) {
        WaylandOutput& o = output_of(data);
        o.scale = std::clamp(scale, 1, 16);
        o.changed = true;
    },
    [](void*, wl_output*, const char*) {},
    [](void*, wl_output*, const char*) {},
};

const zxdg_output_v1_listener xdg_output_listener = {
    [](void* data, zxdg_output_v1*, int32_t x, int32_t y) {
        WaylandOutput& o = output_of(data);
        o.has_logical = true;
        o.logical_x = x, o.logical_y = y;
        o.changed = true;
    },
    [](void* data, zxdg_output_v1*, int32_t width, int32_t height) {
        WaylandOutput& o = output_of(data);
        o.logical_width = width, o.logical_height = height;
        o.changed = true;
    },
    // Before version 3 the logical geometry may come after the output's done.
    [](void* data, zxdg_output_v1*) {
        WaylandOutput& o = output_of(data);
        o.owner->output_done(o);
    },
    [](void*, zxdg_output_v1*, const char*) {},
    [](void*, zxdg_output_v1*, const char*) {},
};

const xdg_wm_base_listener wm_base_listener = {
    [](void*, xdg_wm_base* base, uint32_t serial) { xdg_wm_base_pong(base, serial); },
};

const wl_seat_listener seat_listener = {
    [](void* data, wl_seat*, uint32_t caps) { self(data).seat_capabilities(caps); },
    [](void*, wl_seat*, const char*) {},
};

const wl_pointer_listener pointer_listener = {
    [](void* data, wl_pointer*, uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
        self(data).pointer_entered(serial, surface, wl_fixed_to_double(x), wl_fixed_to_double(y));
    },
    [](void* data, wl_pointer*, uint32_t, wl_surface* surface) { self(data).pointer_left(surface); },
    [](void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
        self(data).pointer_moved(wl_fixed_to_double(x), wl_fixed_to_double(y));
    },
    [](void* data, wl_pointer*, uint32_t, uint32_t, uint32_t button, uint32_t state) {
        self(data).pointer_button(button, state == WL_POINTER_BUTTON_STATE_PRESSED);
    },
    [](void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {},
    [](void*, wl_pointer*) {},
    [](void*, wl_pointer*, uint32_t) {},
    [](void*, wl_pointer*, uint32_t, uint32_t) {},
    [](void*, wl_pointer*, uint32_t, int32_t) {},
    [](void*, wl_pointer*, uint32_t, int32_t) {},
};

const wl_keyboard_listener keyboard_listener = {
    // The key names do not matter: any key ends the saver.
    [](void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { close(fd); },
    [](void* data, wl_keyboard*, uint32_t, wl_surface* surface, wl_array*) { self(data).keyboard_entered(surface); },
    [](void* data, wl_keyboard*, uint32_t, wl_surface* surface) { self(data).keyboard_left(surface); },
    [](void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t state) {
        if (state == WL_KEYBOARD_KEY_STATE_PRESSED) self(data).key_pressed();
    },
    [](void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {},
    [](void*, wl_keyboard*, int32_t, int32_t) {},
};

const wl_registry_listener registry_listener = {
    [](void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
        self(data).global_added(registry, name, interface, version);
    },
    [](void* data, wl_registry*, uint32_t name) { self(data).global_removed(name); },
};

template <class T> T* bind(wl_registry* registry, uint32_t name, const wl_interface* interface, uint32_t offered,
                           uint32_t wanted)
{
    return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

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

const zwlr_screencopy_frame_v1_listener screencopy_listener = {
    [](void* data, zwlr_screencopy_frame_v1*, uint32_t format, uint32_t width, uint32_t height, uint32_t stride) {
        ScreenCopy& c = copy_of(data);
        // The first 32-bit format this program reads; version 3 lists others
        // (dma-buf among them) and says when the list is complete.
        if (c.buffer_known || !readable_format(format) || width == 0 || height == 0 ||
            stride / 4 < width || height > (1u << 15) || stride > (1u << 17))
            return;
        c.buffer_known = true;
        c.format = format, c.width = width, c.height = height, c.stride = stride;
    },
    [](void* data, zwlr_screencopy_frame_v1*, uint32_t flags) {
        copy_of(data).inverted = (flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT) != 0;
    },
    [](void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) { copy_of(data).ready = true; },
    [](void* data, zwlr_screencopy_frame_v1*) { copy_of(data).failed = true; },
    [](void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t) {},
    [](void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {},
    [](void* data, zwlr_screencopy_frame_v1*) { copy_of(data).can_copy = true; },
};

}  // namespace

OutputGeometry WaylandOutput::geometry() const
{
    OutputGeometry g;
    // Rotated a quarter turn, the mode's width runs down the output.
    const bool turned = transform % 2 == 1;
    g.device_width = turned ? mode_height : mode_width;
    g.device_height = turned ? mode_width : mode_height;
    if (has_logical && logical_width > 0 && logical_height > 0) {
        g.x = logical_x, g.y = logical_y, g.width = logical_width, g.height = logical_height;
    } else {
        g.x = x, g.y = y;
        g.width = static_cast<double>(g.device_width) / scale;
        g.height = static_cast<double>(g.device_height) / scale;
    }
    return g;
}

std::unique_ptr<WaylandPlatform> WaylandPlatform::connect(std::vector<std::string> arguments,
                                                          SettingOverrides overrides)
{
    wl_display* display = wl_display_connect(nullptr);
    if (!display) return nullptr;
    std::unique_ptr<WaylandPlatform> platform(new WaylandPlatform(display, std::move(arguments), overrides));
    // The globals, then what the outputs and the seat tell about themselves.
    if (wl_display_roundtrip(display) < 0 || wl_display_roundtrip(display) < 0 || !platform->globals_.compositor ||
        !platform->globals_.shm)
        return nullptr;
    platform->monitors_dirty_ = false;
    return platform;
}

WaylandPlatform::WaylandPlatform(wl_display* display, std::vector<std::string> arguments, SettingOverrides overrides)
    : LinuxPlatform(std::move(arguments)),
      display_(display),
      settings_(LinuxPlatform::settings(), overrides, std::string(Saver::app_name), std::string(Saver::section_name))
{
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &registry_listener, this);
}

WaylandPlatform::~WaylandPlatform()
{
    for (auto& o : outputs_) {
        if (o->xdg) zxdg_output_v1_destroy(o->xdg);
        wl_output_destroy(o->output);
    }
    if (pointer_) wl_pointer_destroy(pointer_);
    if (keyboard_) wl_keyboard_destroy(keyboard_);
    WaylandGlobals& g = globals_;
    if (g.seat) wl_seat_destroy(g.seat);
    if (g.fractional_scale) wp_fractional_scale_manager_v1_destroy(g.fractional_scale);
    if (g.viewporter) wp_viewporter_destroy(g.viewporter);
    if (g.wm_base) xdg_wm_base_destroy(g.wm_base);
    if (g.screencopy) zwlr_screencopy_manager_v1_destroy(g.screencopy);
    // The layer shell has a destroy request from version 3 on.
    if (g.layer_shell && wl_proxy_get_version(reinterpret_cast<wl_proxy*>(g.layer_shell)) >= 3)
        zwlr_layer_shell_v1_destroy(g.layer_shell);
    else if (g.layer_shell)
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(g.layer_shell));
    if (g.xdg_outputs) zxdg_output_manager_v1_destroy(g.xdg_outputs);
    if (g.shm) wl_shm_destroy(g.shm);
    if (g.compositor) wl_compositor_destroy(g.compositor);
    wl_registry_destroy(registry_);
    wl_display_disconnect(display_);
}

void WaylandPlatform::global_added(wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    WaylandGlobals& g = globals_;
    const std::string_view is(interface);
    if (is == wl_compositor_interface.name) {
        g.compositor = bind<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
        g.compositor_version = std::min(version, 4u);
    } else if (is == wl_shm_interface.name) {
        g.shm = bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    } else if (is == wl_seat_interface.name && !g.seat) {
        g.seat = bind<wl_seat>(registry, name, &wl_seat_interface, version, 5);
        wl_seat_add_listener(g.seat, &seat_listener, this);
    } else if (is == zxdg_output_manager_v1_interface.name) {
        g.xdg_outputs = bind<zxdg_output_manager_v1>(registry, name, &zxdg_output_manager_v1_interface, version, 3);
        for (auto& o : outputs_) {
            o->xdg = zxdg_output_manager_v1_get_xdg_output(g.xdg_outputs, o->output);
            zxdg_output_v1_add_listener(o->xdg, &xdg_output_listener, o.get());
        }
    } else if (is == zwlr_layer_shell_v1_interface.name) {
        g.layer_shell = bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version, 3);
    } else if (is == zwlr_screencopy_manager_v1_interface.name) {
        g.screencopy = bind<zwlr_screencopy_manager_v1>(registry, name, &zwlr_screencopy_manager_v1_interface, version, 3);
        g.screencopy_version = std::min(version, 3u);
    } else if (is == xdg_wm_base_interface.name) {
        // Version 6 reports a window the compositor hides (suspended), where
        // the protocol's files at build time know it.
#ifdef XDG_TOPLEVEL_STATE_SUSPENDED_SINCE_VERSION
        g.wm_base = bind<xdg_wm_base>(registry, name, &xdg_wm_base_interface, version, 6);
#else
        g.wm_base = bind<xdg_wm_base>(registry, name, &xdg_wm_base_interface, version, 5);
#endif
        xdg_wm_base_add_listener(g.wm_base, &wm_base_listener, this);
    } else if (is == wp_viewporter_interface.name) {
        g.viewporter = bind<wp_viewporter>(registry, name, &wp_viewporter_interface, version, 1);
    } else if (is == wp_fractional_scale_manager_v1_interface.name) {
        g.fractional_scale = bind<wp_fractional_scale_manager_v1>(registry, name,
                                                                   &wp_fractional_scale_manager_v1_interface, version, 1);
    } else if (is == wl_output_interface.name && version >= 2) {
        auto o = std::make_unique<WaylandOutput>();
        o->name = name;
        o->owner = this;
        o->output = bind<wl_output>(registry, name, &wl_output_interface, version, 4);
        wl_output_add_listener(o->output, &output_listener, o.get());
        if (g.xdg_outputs) {
            o->xdg = zxdg_output_manager_v1_get_xdg_output(g.xdg_outputs, o->output);
            zxdg_output_v1_add_listener(o->xdg, &xdg_output_listener, o.get());
        }
        outputs_.push_back(std::move(o));
    }
}

void WaylandPlatform::global_removed(uint32_t name)
{
    const auto gone = std::find_if(outputs_.begin(), outputs_.end(), [&](const auto& o) { return o->name == name; });
    if (gone == outputs_.end()) return;
    if ((*gone)->xdg) zxdg_output_v1_destroy((*gone)->xdg);
    wl_output_destroy((*gone)->output);
    outputs_.erase(gone);
    monitors_dirty_ = true;
}

void WaylandPlatform::output_done(WaylandOutput& output)
{
    if (output.changed) monitors_dirty_ = true;
    output.done = true;
    output.changed = false;
}

void WaylandPlatform::seat_capabilities(uint32_t caps)
{
    const bool pointer = caps & WL_SEAT_CAPABILITY_POINTER, keyboard = caps & WL_SEAT_CAPABILITY_KEYBOARD;
    if (pointer && !pointer_) {
        pointer_ = wl_seat_get_pointer(globals_.seat);
        wl_pointer_add_listener(pointer_, &pointer_listener, this);
    } else if (!pointer && pointer_) {
        wl_pointer_destroy(pointer_);
        pointer_ = nullptr;
        pointer_surface_ = nullptr;
    }
    if (keyboard && !keyboard_) {
        keyboard_ = wl_seat_get_keyboard(globals_.seat);
        wl_keyboard_add_listener(keyboard_, &keyboard_listener, this);
    } else if (!keyboard && keyboard_) {
        wl_keyboard_destroy(keyboard_);
        keyboard_ = nullptr;
        keyboard_surface_ = nullptr;
    }
}

void WaylandPlatform::pointer_entered(uint32_t serial, wl_surface* surface, double x, double y)
{
    enter_serial_ = serial;
    pointer_surface_ = surface;
    if (pointer_hidden_) hide_pointer();
    input_.push_back({Input::Kind::enter, surface, x, y});
}

void WaylandPlatform::pointer_left(wl_surface* surface)
{
    if (pointer_surface_ == surface) pointer_surface_ = nullptr;
}

void WaylandPlatform::pointer_moved(double x, double y)
{
    if (pointer_surface_) input_.push_back({Input::Kind::motion, pointer_surface_, x, y});
}

void WaylandPlatform::pointer_button(uint32_t button, bool pressed)
{
    if (!pressed || !pointer_surface_) return;
    const int which = button == BTN_LEFT ? 1 : button == BTN_RIGHT ? 2 : button == BTN_MIDDLE ? 4 : 0;
    input_.push_back({Input::Kind::button, pointer_surface_, 0, 0, which});
}

void WaylandPlatform::keyboard_entered(wl_surface* surface)
{
    keyboard_surface_ = surface;
    had_keyboard_ = had_keyboard_ || window_of(surface);
}

void WaylandPlatform::keyboard_left(wl_surface* surface)
{
    if (keyboard_surface_ == surface) keyboard_surface_ = nullptr;
}

void WaylandPlatform::leave_overview()
{
    if (std::exchange(overview_left_, true)) return;
    if (const auto bus = SessionBus::connect()) bus->close_overview();
}

void WaylandPlatform::key_pressed() { input_.push_back({Input::Kind::key, keyboard_surface_}); }

void WaylandPlatform::hide_pointer()
{
    if (pointer_ && pointer_surface_ && window_of(pointer_surface_))
        wl_pointer_set_cursor(pointer_, enter_serial_, nullptr, 0, 0);
}

void WaylandPlatform::show_cursor(bool show)
{
    pointer_hidden_ = !show;
    if (!show) hide_pointer();
    wl_display_flush(display_);
}

OutputLayout WaylandPlatform::layout() const
{
    std::vector<OutputGeometry> geometries;
    for (const auto& o : outputs_)
        if (o->done) geometries.push_back(o->geometry());
    return OutputLayout(geometries);
}

size_t WaylandPlatform::output_index(uint32_t name) const
{
    size_t i = 0;
    for (const auto& o : outputs_) {
        if (!o->done) continue;
        if (o->name == name) return i;
        ++i;
    }
    return SIZE_MAX;
}

std::vector<Monitor> WaylandPlatform::listed_monitors()
{
    std::vector<Monitor> monitors;
    const OutputLayout now = layout();
    for (const Rect& area : now.areas()) monitors.push_back({area, false});
    return monitors;
}

const WaylandOutput* WaylandPlatform::output_at(const Rect& area) const
{
    const OutputLayout now = layout();
    size_t i = 0;
    for (const auto& o : outputs_) {
        if (!o->done) continue;
        if (now.area(i++) == area) return o.get();
    }
    return nullptr;
}

const WaylandOutput* WaylandPlatform::output_named(uint32_t name) const
{
    for (const auto& o : outputs_)
        if (o->name == name) return o.get();
    return nullptr;
}

double WaylandPlatform::to_area_x(uint32_t output, double x) const
{
    const size_t i = output_index(output);
    return i == SIZE_MAX ? x : layout().to_area_x(i, x);
}

double WaylandPlatform::to_area_y(uint32_t output, double y) const
{
    const size_t i = output_index(output);
    return i == SIZE_MAX ? y : layout().to_area_y(i, y);
}

int WaylandPlatform::screen_width_px() const
{
    int right = 0;
    const OutputLayout now = layout();
    for (const Rect& r : now.areas()) right = std::max(right, r.right);
    return right;
}

int WaylandPlatform::screen_height_px() const
{
    int bottom = 0;
    const OutputLayout now = layout();
    for (const Rect& r : now.areas()) bottom = std::max(bottom, r.bottom);
    return bottom;
}

double WaylandPlatform::twips_per_pixel() const
{
#ifdef FROSTWISP_GTK_DIALOGS
    if (const auto gtk = dialogs_ready_ ? gtk_scaling() : std::nullopt)
        return twips_per_pixel_for(display_dpi(gtk->scale, gtk->resolution, std::nullopt));
#endif
    return twips_per_pixel_for(96.0 * layout().factor());
}

std::unique_ptr<TextRenderer> WaylandPlatform::create_text_renderer(const FontSpec& desc)
{
    // Scenes are drawn at device pixels: at scale 2 the text has twice the pixels.
    return make_freetype_renderer(desc, 96.0 * layout().factor());
}

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

std::unique_ptr<NativeWindow> WaylandPlatform::create_window(Form& form)
{
#ifdef FROSTWISP_GTK_DIALOGS
    if (dynamic_cast<DialogForm*>(&form)) {
        // GTK opens a connection of its own, on the same compositor; it
        // falls back to X where the session has that too.
        if (!dialogs_ready_) dialogs_ready_ = gtk_backend_init("wayland,x11");
        if (dialogs_ready_) {
            loop_.pump_dialogs_with(gtk_backend_pump);
            return create_gtk_window(form);
        }
    }
#endif
    return std::make_unique<WaylandWindow>(*this, form);
}

void WaylandPlatform::surface_gone(wl_surface* surface)
{
    if (pointer_surface_ == surface) pointer_surface_ = nullptr;
    if (keyboard_surface_ == surface) keyboard_surface_ = nullptr;
    std::erase_if(input_, [&](const Input& i) { return i.surface == surface; });
}

std::vector<WaylandWindow*> WaylandPlatform::windows() const
{
    std::vector<WaylandWindow*> all;
    for (LoopWindow* window : loop_.windows()) all.push_back(static_cast<WaylandWindow*>(window));
    return all;
}

WaylandWindow* WaylandPlatform::window_of(wl_surface* surface) const
{
    for (WaylandWindow* window : windows())
        if (surface && window->surface() == surface) return window;
    return nullptr;
}

void WaylandPlatform::connection_lost()
{
    const int error = wl_display_get_error(display_);
    std::fprintf(stderr, "frostwisp: the Wayland compositor went away (%s)\n",
                 error ? std::strerror(error) : "connection closed");
    throw ProgramEnd{1};
}

void WaylandPlatform::deliver_input()
{
    // Every handler may unload forms: the queue is read afresh each time.
    while (!input_.empty()) {
        const Input event = input_.front();
        input_.erase(input_.begin());
        WaylandWindow* window = window_of(event.surface);
        if (!window && event.kind == Input::Kind::key && !loop_.windows().empty())
            window = static_cast<WaylandWindow*>(loop_.windows().front());
        if (!window) continue;
        switch (event.kind) {
        case Input::Kind::enter: window->deliver_enter(event.x, event.y); break;
        case Input::Kind::motion: window->deliver_motion(event.x, event.y); break;
        case Input::Kind::button: window->deliver_button(event.button); break;
        case Input::Kind::key: window->deliver_key(); break;
        }
    }
}

SteadyTime WaylandPlatform::watch_focus(SteadyTime now)
{
    // Focus moves between the scenes' own surfaces as leave and enter, one
    // after the other: a loss counts only once it has lasted a moment.
    constexpr auto kSettle = std::chrono::milliseconds(150);
    constexpr auto kGiveUp = std::chrono::seconds(1);
    constexpr SteadyTime kNever = SteadyTime::max();
    bool placed = false, any_toplevel = false, active = false;
    const std::vector<WaylandWindow*> scenes = windows();
    for (WaylandWindow* w : scenes) {
        if (!w->surface()) continue;
        placed = true;
        any_toplevel = any_toplevel || w->is_toplevel();
        active = active || w->active();
    }
    had_focus_ = had_focus_ || active;
    const bool keyboard_held = keyboard_ && window_of(keyboard_surface_);
    const bool lost = any_toplevel ? had_focus_ && !active : had_keyboard_ && keyboard_ && !keyboard_held;
    if (!lost || !placed) {
        focus_lost_ = SteadyTime{};
        reclaimed_ = false;
        return kNever;
    }
    if (focus_lost_ == SteadyTime{}) focus_lost_ = now;
    if (!any_toplevel && !reclaimed_ && now - focus_lost_ >= kSettle) {
        reclaimed_ = true;
        for (WaylandWindow* w : scenes) w->reclaim_keyboard();
        wl_display_flush(display_);
    }
    if (now - focus_lost_ >= kGiveUp) {
        scenes.front()->lost_to_system();
        return kNever;
    }
    return focus_lost_ + (reclaimed_ || any_toplevel ? kGiveUp : kSettle);
}

void WaylandPlatform::dispatch()
{
    // One change of the outputs comes as several events: the scenes are
    // rebuilt once, after all of them.
    if (monitors_dirty_) {
        monitors_dirty_ = false;
        monitors_changed();
        // Placing a surface runs no handler: the windows stay as they are.
        for (WaylandWindow* w : windows()) w->outputs_changed();
    }
    loop_.each_window([](LoopWindow& w) { static_cast<WaylandWindow&>(w).update(); });
    deliver_input();
    focus_due_ = watch_focus(EventLoop::now());
}

int WaylandPlatform::prepare_wait()
{
    while (wl_display_prepare_read(display_) != 0)
        if (wl_display_dispatch_pending(display_) < 0) connection_lost();
    // A full socket is flushed after the wait, when the compositor has read.
    if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(display_);
        connection_lost();
    }
    return wl_display_get_fd(display_);
}

void WaylandPlatform::finish_wait(bool readable)
{
    if (readable) {
        if (wl_display_read_events(display_) < 0) connection_lost();
    } else {
        wl_display_cancel_read(display_);
    }
    if (wl_display_dispatch_pending(display_) < 0) connection_lost();
}

void WaylandPlatform::set_screensaver_running(bool running)
{
    if (running && !claim_compositor()) {
        // A second saver would cover the first, and a key would end only one.
        std::fprintf(stderr, "frostwisp: the saver already runs on this compositor\n");
        end_program();
    }
}

bool WaylandPlatform::claim_compositor()
{
    if (claim_fd_ >= 0) return true;
    // A lock beside the compositor's socket, held as long as the process
    // lives: a saver that dies leaves no claim behind. Without a name for
    // the compositor (a socket handed over) there is nothing to share it by.
    if (std::getenv("WAYLAND_SOCKET")) return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const char* socket = std::getenv("WAYLAND_DISPLAY");
    std::string path = socket && *socket ? socket : "wayland-0";
    if (!path.starts_with('/')) {
        if (!runtime || !*runtime) return true;
        path = std::string(runtime) + "/" + path;
    }
    path += ".frostwisp-saver";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) return true;  // nowhere to keep the lock: run rather than refuse
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool taken = errno == EWOULDBLOCK;
        ::close(fd);
        return !taken;
    }
    claim_fd_ = fd;
    return true;
}

}  // namespace fw
