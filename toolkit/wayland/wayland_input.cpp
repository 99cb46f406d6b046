// The seat's pointer and keyboard: the protocol's events become a queue of
// input, which the loop delivers to the window under the pointer or with the
// keyboard focus as the form's events (see Form); and the pointer hidden
// over the program's surfaces.
#include "toolkit/wayland/wayland_platform.h"

#include "toolkit/linux/input_mapping.h"
#include "toolkit/wayland/wayland_window.h"

#include <linux/input-event-codes.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>

namespace fw {

namespace {

WaylandPlatform& self(void* data) { return *static_cast<WaylandPlatform*>(data); }

void seat_capabilities(void* data, wl_seat*, uint32_t caps) { self(data).seat_capabilities(caps); }
void seat_name(void*, wl_seat*, const char*) {}

const wl_seat_listener seat_listener = {
    .capabilities = seat_capabilities,
    .name = seat_name,
};

void pointer_enter(void* data, wl_pointer*, uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y)
{
    self(data).pointer_entered(serial, surface, wl_fixed_to_double(x), wl_fixed_to_double(y));
}
void pointer_leave(void* data, wl_pointer*, uint32_t, wl_surface* surface) { self(data).pointer_left(surface); }
void pointer_motion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y)
{
    self(data).pointer_moved(wl_fixed_to_double(x), wl_fixed_to_double(y));
}
void pointer_button(void* data, wl_pointer*, uint32_t, uint32_t time, uint32_t button, uint32_t state)
{
    self(data).pointer_button(time, button, state == WL_POINTER_BUTTON_STATE_PRESSED);
}
// The wheel means nothing to the forms; it only makes its frame no empty one.
void pointer_axis(void* data, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) { self(data).pointer_scrolled(); }
void pointer_frame(void* data, wl_pointer*) { self(data).pointer_framed(); }
void pointer_axis_source(void* data, wl_pointer*, uint32_t) { self(data).pointer_scrolled(); }
void pointer_axis_stop(void* data, wl_pointer*, uint32_t, uint32_t) { self(data).pointer_scrolled(); }
void pointer_axis_discrete(void* data, wl_pointer*, uint32_t, int32_t) { self(data).pointer_scrolled(); }
void pointer_axis_value120(void* data, wl_pointer*, uint32_t, int32_t) { self(data).pointer_scrolled(); }
#ifdef WL_POINTER_AXIS_RELATIVE_DIRECTION_SINCE_VERSION
void pointer_axis_relative_direction(void* data, wl_pointer*, uint32_t, uint32_t) { self(data).pointer_scrolled(); }
#endif

// libwayland 1.22 added a member; its headers say so with the version macro.
const wl_pointer_listener pointer_listener = {
    .enter = pointer_enter,
    .leave = pointer_leave,
    .motion = pointer_motion,
    .button = pointer_button,
    .axis = pointer_axis,
    .frame = pointer_frame,
    .axis_source = pointer_axis_source,
    .axis_stop = pointer_axis_stop,
    .axis_discrete = pointer_axis_discrete,
    .axis_value120 = pointer_axis_value120,
#ifdef WL_POINTER_AXIS_RELATIVE_DIRECTION_SINCE_VERSION
    .axis_relative_direction = pointer_axis_relative_direction,
#endif
};

void keyboard_keymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size)
{
    self(data).keymap(format, fd, size);
    close(fd);
}
void keyboard_enter(void* data, wl_keyboard*, uint32_t, wl_surface* surface, wl_array*)
{
    self(data).keyboard_entered(surface);
}
void keyboard_leave(void* data, wl_keyboard*, uint32_t, wl_surface* surface) { self(data).keyboard_left(surface); }
void keyboard_key(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state)
{
    if (state == WL_KEYBOARD_KEY_STATE_PRESSED) self(data).key_pressed(key);
}
void keyboard_modifiers(void* data, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched, uint32_t locked,
                        uint32_t group)
{
    self(data).modifiers(depressed, latched, locked, group);
}
// Keys are not repeated: any first press is the saver's end.
void keyboard_repeat_info(void*, wl_keyboard*, int32_t, int32_t) {}

const wl_keyboard_listener keyboard_listener = {
    .keymap = keyboard_keymap,
    .enter = keyboard_enter,
    .leave = keyboard_leave,
    .key = keyboard_key,
    .modifiers = keyboard_modifiers,
    .repeat_info = keyboard_repeat_info,
};

}  // namespace

void WaylandPlatform::seat_added() { wl_seat_add_listener(globals_.seat, &seat_listener, this); }

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
    pointer_event_in_frame_ = true;
    enter_serial_ = serial;
    pointer_surface_ = surface;
    pointer_x_ = x, pointer_y_ = y;
    if (pointer_hidden_) hide_pointer();
    // The compositor puts the resting pointer somewhere else as it
    // rearranges the outputs (their events come around the enter, and their
    // done may come after it): that enter only tells where the pointer is.
    // Any other enter is the user's crossing from another output.
    const bool moved = outputs_moved_ || std::any_of(outputs_.begin(), outputs_.end(), [](const auto& o) {
                           return o->changed;
                       });
    outputs_moved_ = false;
    // Where the pointer was is not known (the run's first enter, or one
    // that only places it): whether the user did it shows in the frames.
    if (moved || !pointer_entered_before_) placing_enter_frames_ = 2;
    pointer_entered_before_ = true;
    input_.push_back(
        {moved ? Input::Kind::placed : Input::Kind::enter, surface, x, y, 0, 0, buttons_held_, keys_.shift()});
}

void WaylandPlatform::pointer_left(wl_surface* surface)
{
    pointer_event_in_frame_ = true;
    if (pointer_surface_ == surface) pointer_surface_ = nullptr;
    buttons_held_ = 0;
}

void WaylandPlatform::pointer_moved(double x, double y)
{
    pointer_event_in_frame_ = true;
    pointer_x_ = x, pointer_y_ = y;
    outputs_moved_ = false;
    if (pointer_surface_)
        input_.push_back({Input::Kind::motion, pointer_surface_, x, y, 0, 0, buttons_held_, keys_.shift()});
}

void WaylandPlatform::pointer_button(uint32_t time, uint32_t button, bool pressed)
{
    pointer_event_in_frame_ = true;
    // In X's numbering, which the click sequence counts in.
    const unsigned x_button = button == BTN_LEFT ? 1 : button == BTN_MIDDLE ? 2 : button == BTN_RIGHT ? 3 : 0;
    const int held = button_for(x_button);
    buttons_held_ = pressed ? buttons_held_ | held : buttons_held_ & ~held;
    if (!pointer_surface_ || !x_button) return;
    input_.push_back({pressed ? Input::Kind::button_down : Input::Kind::button_up, pointer_surface_, pointer_x_,
                      pointer_y_, x_button, time, buttons_held_, keys_.shift()});
}

void WaylandPlatform::pointer_framed()
{
    // A compositor may keep the enter from a scene that maps under the
    // resting pointer, or from one whose output moved, until the seat's next
    // input (sway 1.10 does), and then send the enter with its frame and an
    // empty frame for the input itself: a move that the enter already told,
    // or a press that goes to nobody. So an empty frame right after an enter
    // that only places the pointer is the user's doing, and ends the saver
    // as a press would. (After any other enter it is motion that the enter
    // told, as when the pointer crosses from one scene to the next, and the
    // enter's position is measured as a move.)
    const bool empty = !pointer_event_in_frame_;
    pointer_event_in_frame_ = false;
    if (placing_enter_frames_ > 0 && --placing_enter_frames_ == 0 && empty && pointer_surface_)
        input_.push_back({Input::Kind::button_down, pointer_surface_, pointer_x_, pointer_y_, 1, 0, buttons_held_,
                          keys_.shift()});
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

void WaylandPlatform::keymap(uint32_t format, int fd, uint32_t size)
{
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) keys_.load(fd, size);
}

void WaylandPlatform::modifiers(uint32_t depressed, uint32_t latched, uint32_t locked, uint32_t group)
{
    keys_.set_modifiers(depressed, latched, locked, group);
}

void WaylandPlatform::key_pressed(uint32_t key)
{
    Input input{Input::Kind::key, keyboard_surface_};
    input.shift = keys_.shift();
    input.key_code = keys_.key_code(key);
    input.character = keys_.character(key);
    input_.push_back(input);
}

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

void WaylandPlatform::surface_gone(wl_surface* surface)
{
    if (pointer_surface_ == surface) pointer_surface_ = nullptr;
    if (keyboard_surface_ == surface) keyboard_surface_ = nullptr;
    std::erase_if(input_, [&](const Input& i) { return i.surface == surface; });
}

WaylandWindow* WaylandPlatform::window_of(wl_surface* surface) const
{
    for (WaylandWindow* window : windows())
        if (surface && window->surface() == surface) return window;
    return nullptr;
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
        case Input::Kind::placed: window->deliver_placed(event.x, event.y); break;
        case Input::Kind::enter:
        case Input::Kind::motion: window->deliver_motion(event.x, event.y, event.buttons, event.shift); break;
        case Input::Kind::button_down:
        case Input::Kind::button_up:
            window->deliver_button(event.kind == Input::Kind::button_down, event.button, event.time, event.x, event.y,
                                   event.shift);
            break;
        case Input::Kind::key: window->deliver_key(event.key_code, event.shift, event.character); break;
        }
    }
}

}  // namespace fw
