#include "toolkit/wayland/wayland_platform.h"

#include "toolkit/form.h"
#include "toolkit/freetype/freetype_text.h"
#include "toolkit/linux/compositor_socket.h"
#include "toolkit/linux/screen_dpi.h"
#include "toolkit/wayland/wayland_window.h"

#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>

#if defined(FROSTWISP_GTK_DIALOGS) && __has_include("toolkit/gtk/gtk_backend.h")
#include "toolkit/dialog_form.h"
#include "toolkit/gtk/gtk_backend.h"
#else
#undef FROSTWISP_GTK_DIALOGS
#endif

namespace fw {

namespace {

WaylandPlatform& self(void* data) { return *static_cast<WaylandPlatform*>(data); }

void registry_global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    self(data).global_added(registry, name, interface, version);
}

void registry_global_remove(void* data, wl_registry*, uint32_t name) { self(data).global_removed(name); }

const wl_registry_listener registry_listener = {
    .global = registry_global,
    .global_remove = registry_global_remove,
};

void wm_base_ping(void*, xdg_wm_base* base, uint32_t serial) { xdg_wm_base_pong(base, serial); }

const xdg_wm_base_listener wm_base_listener = {
    .ping = wm_base_ping,
};

template <class T> T* bind(wl_registry* registry, uint32_t name, const wl_interface* interface, uint32_t offered,
                           uint32_t wanted)
{
    return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

}  // namespace

std::unique_ptr<WaylandPlatform> WaylandPlatform::connect(std::vector<std::string> arguments,
                                                          SettingsStore& settings, std::string* failure)
{
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        if (failure) *failure = no_compositor_reason(errno);
        return nullptr;
    }
    std::unique_ptr<WaylandPlatform> platform(new WaylandPlatform(display, std::move(arguments), settings));
    // The globals, then what the outputs and the seat tell about themselves.
    if (wl_display_roundtrip(display) < 0 || wl_display_roundtrip(display) < 0) {
        if (failure) *failure = no_compositor_reason(0);
        return nullptr;
    }
    if (!platform->globals_.compositor || !platform->globals_.shm) {
        if (failure) *failure = compositor_socket_path() + ": the compositor offers no surfaces or shared memory";
        return nullptr;
    }
    platform->monitors_dirty_ = false;
    return platform;
}

WaylandPlatform::WaylandPlatform(wl_display* display, std::vector<std::string> arguments, SettingsStore& settings)
    : LinuxPlatform(std::move(arguments), settings),
      display_(display)
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
        seat_added();
    } else if (is == zxdg_output_manager_v1_interface.name) {
        g.xdg_outputs = bind<zxdg_output_manager_v1>(registry, name, &zxdg_output_manager_v1_interface, version, 3);
        for (auto& o : outputs_) describe_logically(*o);
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
        output_added(name, bind<wl_output>(registry, name, &wl_output_interface, version, 4));
    }
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

}  // namespace fw
