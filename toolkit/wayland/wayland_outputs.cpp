// The compositor's outputs (wl_output, with xdg-output's logical geometry
// where the compositor has it) and the monitors they make: each output's
// description is gathered until its done event, and one change of the
// layout, however many events it takes, rebuilds the scenes once.
#include "toolkit/wayland/wayland_platform.h"

#include "xdg-output-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstdint>

namespace fw {

namespace {

WaylandOutput& output_of(void* data) { return *static_cast<WaylandOutput*>(data); }

// The output's events; each description ends with done.
void output_geometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*, const char*,
                     int32_t transform)
{
    WaylandOutput& o = output_of(data);
    o.x = x, o.y = y, o.transform = transform;
    o.changed = true;
}

void output_mode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t)
{
    if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
    WaylandOutput& o = output_of(data);
    o.mode_width = width, o.mode_height = height;
    o.changed = true;
}

void output_done(void* data, wl_output*)
{
    WaylandOutput& o = output_of(data);
    o.owner->output_done(o);
}

void output_scale(void* data, wl_output*, int32_t scale)
{
    WaylandOutput& o = output_of(data);
    o.scale = std::clamp(scale, 1, 16);
    o.changed = true;
}

void output_name(void*, wl_output*, const char*) {}
void output_description(void*, wl_output*, const char*) {}

const wl_output_listener output_listener = {
    .geometry = output_geometry,
    .mode = output_mode,
    .done = output_done,
    .scale = output_scale,
    .name = output_name,
    .description = output_description,
};

void logical_position(void* data, zxdg_output_v1*, int32_t x, int32_t y)
{
    WaylandOutput& o = output_of(data);
    o.has_logical = true;
    o.logical_x = x, o.logical_y = y;
    o.changed = true;
}

void logical_size(void* data, zxdg_output_v1*, int32_t width, int32_t height)
{
    WaylandOutput& o = output_of(data);
    o.logical_width = width, o.logical_height = height;
    o.changed = true;
}

// Before version 3 the logical geometry may come after the output's done.
void logical_done(void* data, zxdg_output_v1*)
{
    WaylandOutput& o = output_of(data);
    o.owner->output_done(o);
}

void logical_name(void*, zxdg_output_v1*, const char*) {}
void logical_description(void*, zxdg_output_v1*, const char*) {}

const zxdg_output_v1_listener xdg_output_listener = {
    .logical_position = logical_position,
    .logical_size = logical_size,
    .done = logical_done,
    .name = logical_name,
    .description = logical_description,
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

void WaylandPlatform::output_added(uint32_t name, wl_output* output)
{
    auto o = std::make_unique<WaylandOutput>();
    o->name = name;
    o->owner = this;
    o->output = output;
    wl_output_add_listener(o->output, &output_listener, o.get());
    if (globals_.xdg_outputs) describe_logically(*o);
    outputs_.push_back(std::move(o));
}

void WaylandPlatform::describe_logically(WaylandOutput& o)
{
    o.xdg = zxdg_output_manager_v1_get_xdg_output(globals_.xdg_outputs, o.output);
    zxdg_output_v1_add_listener(o.xdg, &xdg_output_listener, &o);
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

}  // namespace fw
