// One full-screen scene on a Wayland output. Its form's surface stays in the
// program's memory; a refresh copies what changed into one of a few
// shared-memory buffers and hands that to the compositor, naming only the
// changed rectangles as damage. Each buffer remembers what it was last given,
// so it takes only the tiles that changed since. A new buffer goes out only
// after the compositor has shown the last one (its frame callback): while it
// holds that back, for an output that is off or hidden, the scene goes on
// and nothing is sent.
#pragma once

#include "toolkit/form.h"
#include "toolkit/linux/event_loop.h"
#include "toolkit/linux/input_mapping.h"
#include "toolkit/shown_tiles.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct wl_surface;
struct wl_buffer;
struct wl_callback;
struct wl_output;
struct zwlr_layer_surface_v1;
struct xdg_surface;
struct xdg_toplevel;
struct wp_viewport;
struct wp_fractional_scale_v1;

namespace fw {

class WaylandPlatform;

class WaylandWindow : public LoopWindow {
public:
    WaylandWindow(WaylandPlatform& owner, Form& form);
    ~WaylandWindow() override;

    NativeHandle handle() const override { return reinterpret_cast<NativeHandle>(surface_); }
    void show(ShowMode mode) override;
    void set_window_state(WindowState state) override;
    // The overlay layer is above everything else already.
    bool set_topmost(bool, bool) override { return true; }
    void refresh() override;
    // Embedding and placing are X's; the compositor places what it shows.
    void embed(NativeHandle, int, int) override {}
    void move(int, int, int, int) override {}
    void destroy() override;

    // For the event loop. The handlers may unload the form, which destroys
    // this object: callers ask watch() after each.
    void update();
    // The outputs changed: a scene whose surface the compositor closed
    // (its output was switched off) is shown again where its output is back.
    void outputs_changed();
    // Input, in the form's handlers (see Form); x and y surface-local.
    void deliver_motion(double x, double y, int buttons, int shift);
    // The compositor put the pointer here, not the user.
    void deliver_placed(double x, double y);
    double pointer_unit() const override;
    void deliver_button(bool down, unsigned x_button, uint32_t time, double x, double y, int shift);
    void deliver_key(int key_code, int shift, int character);

    wl_surface* surface() const { return surface_; }

    // For the listeners, which only note what came.
    void configured(uint32_t serial, int width, int height);
    void toplevel_configured(int width, int height, bool activated, bool suspended);
    void toplevel_acked(uint32_t serial);
    void closed() { closed_ = true; }
    void frame_done();
    void scale_preferred(uint32_t scale120) { fractional_ = scale120; pending_resize_ = true; }

    // Focus. A fullscreen window is active while it has the keyboard; a
    // layer surface that lost the keyboard asks for it once more.
    bool is_toplevel() const { return toplevel_ != nullptr; }
    bool active() const { return active_; }
    void reclaim_keyboard();
    // The compositor took the scene from the user: the saver ends as if
    // its window had been closed.
    void lost_to_system();

    struct Buffer;

private:
    // The output the form's screen area names.
    void place();
    void unplace();
    void present();
    // The size the buffers have for the configured size at the output's scale.
    void device_size(int& width, int& height) const;
    Buffer* free_buffer();

    WaylandPlatform& owner_;
    wl_surface* surface_ = nullptr;
    wp_viewport* viewport_ = nullptr;
    wp_fractional_scale_v1* fraction_ = nullptr;
    zwlr_layer_surface_v1* layer_ = nullptr;
    xdg_surface* xdg_surface_ = nullptr;
    xdg_toplevel* toplevel_ = nullptr;
    uint32_t output_ = 0;  // the registry name of the output it covers
    wl_output* placed_on_ = nullptr;
    bool visible_ = false;
    bool destroyed_ = false;
    WindowState state_ = WindowState::normal;

    // Configuration: what the compositor asked for and the program has not
    // acted on yet.
    bool configured_ = false;
    bool pending_configure_ = false;
    bool pending_resize_ = false;
    bool closed_ = false;
    uint32_t configure_serial_ = 0;
    int width_ = 0, height_ = 0;  // surface-local (logical) units
    int toplevel_width_ = 0, toplevel_height_ = 0;
    bool toplevel_active_ = false, toplevel_suspended_ = false;
    bool active_ = false;
    bool suspended_ = false;
    uint32_t fractional_ = 0;     // preferred scale in 120ths, 0 for none
    int32_t buffer_scale_ = 1;

    std::vector<std::unique_ptr<Buffer>> buffers_;
    wl_callback* frame_ = nullptr;
    bool wanted_ = false;  // a refresh waits for the frame callback
    bool no_memory_ = false;  // no buffer could be made for the surface
    // What the surface on the screen shows, for the damage of the next frame.
    ShownTiles shown_;
    ClickTracker clicks_;
};

}  // namespace fw
