// A small Wayland client for the end-to-end scripts: the input a person gives
// through a pointer, a known picture on the desktop, and readings of the
// screenshots grim takes.
//
//   wayland_test_helper pointer
//       one virtual pointer for the whole run; reads lines from stdin and
//       answers each with "ok" once the compositor has it:
//         move DX DY       relative motion
//         abs X Y W H      absolute motion to (X, Y) in a W x H extent
//         click            the left button pressed and released
//         sleep MS
//   wayland_test_helper picture RRGGBB [RRGGBB] [--output NAME]
//       a surface on the background layer of every output (or of the one
//       named), its left half in the first colour and its right half in the
//       second (the first again if none); prints "ready" once every surface
//       has been shown and lives until killed.
//   wayland_test_helper pixels FILE X Y [X Y ...]
//       prints "R G B" for each pixel of the PNG file.
//   wayland_test_helper count FILE WxH+X+Y RRGGBB
//       prints how many pixels of the rectangle have the colour.
//   wayland_test_helper blocks FILE WxH+X+Y
//       prints how many of the rectangle's 2x2 blocks (at even coordinates)
//       are not one colour, and how many blocks there are.
#include <png.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fake-input-client-protocol.h"
#include "idle-inhibit-unstable-v1-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace {

int fail(const std::string& message)
{
    std::fprintf(stderr, "wayland_test_helper: %s\n", message.c_str());
    return 2;
}

// ---- PNG readings

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0xRRGGBB

    uint32_t at(int x, int y) const
    {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

bool load_png(const char* path, Image& image)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path)) return false;
    png.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, rgb.data(), 0, nullptr)) return false;
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    image.pixels.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
    for (size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = static_cast<uint32_t>(rgb[3 * i] << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2]);
    return true;
}

struct Box {
    int x = 0, y = 0, w = 0, h = 0;
};

// "WxH+X+Y", clipped to the image.
bool parse_box(const char* text, const Image& image, Box& box)
{
    if (std::sscanf(text, "%dx%d+%d+%d", &box.w, &box.h, &box.x, &box.y) != 4) return false;
    const int right = std::min(box.x + box.w, image.width), bottom = std::min(box.y + box.h, image.height);
    box.x = std::max(box.x, 0);
    box.y = std::max(box.y, 0);
    box.w = std::max(right - box.x, 0);
    box.h = std::max(bottom - box.y, 0);
    return true;
}

int png_command(int argc, char** argv)
{
    const std::string command = argv[1];
    if (argc < 3) return fail(command + ": no file");
    Image image;
    if (!load_png(argv[2], image)) return fail(std::string("cannot read ") + argv[2]);
    if (command == "pixels") {
        if (argc < 5 || (argc - 3) % 2 != 0) return fail("pixels FILE X Y [X Y ...]");
        for (int i = 3; i + 1 < argc; i += 2) {
            const int x = std::atoi(argv[i]), y = std::atoi(argv[i + 1]);
            if (x < 0 || y < 0 || x >= image.width || y >= image.height) return fail("pixel outside the picture");
            const uint32_t p = image.at(x, y);
            std::printf("%u %u %u\n", p >> 16, (p >> 8) & 0xFF, p & 0xFF);
        }
        return 0;
    }
    Box box;
    if (argc < 4 || !parse_box(argv[3], image, box)) return fail(command + " FILE WxH+X+Y ...");
    if (command == "count") {
        if (argc < 5) return fail("count FILE WxH+X+Y RRGGBB");
        const auto colour = static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 16));
        long n = 0;
        for (int y = box.y; y < box.y + box.h; ++y)
            for (int x = box.x; x < box.x + box.w; ++x)
                if (image.at(x, y) == colour) ++n;
        std::printf("%ld\n", n);
        return 0;
    }
    long mixed = 0, blocks = 0;
    for (int y = box.y + (box.y & 1); y + 1 < box.y + box.h; y += 2)
        for (int x = box.x + (box.x & 1); x + 1 < box.x + box.w; x += 2) {
            const uint32_t p = image.at(x, y);
            ++blocks;
            if (image.at(x + 1, y) != p || image.at(x, y + 1) != p || image.at(x + 1, y + 1) != p) ++mixed;
        }
    std::printf("%ld %ld\n", mixed, blocks);
    return 0;
}

// ---- the connection

struct Output;

struct Client {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    wl_seat* seat = nullptr;
    zwlr_layer_shell_v1* layer_shell = nullptr;
    zwlr_virtual_pointer_manager_v1* pointer_manager = nullptr;
    zwp_idle_inhibit_manager_v1* inhibit_manager = nullptr;
    org_kde_kwin_fake_input* fake_input = nullptr;
    std::vector<std::unique_ptr<Output>> outputs;
};

struct Output {
    Client* client = nullptr;
    wl_output* output = nullptr;
    std::string name;
    int32_t scale = 1;
    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* layer_surface = nullptr;
    wl_buffer* buffer = nullptr;
    bool shown = false;
};

void output_geometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*, int32_t) {}
void output_mode(void*, wl_output*, uint32_t, int32_t, int32_t, int32_t) {}
void output_done(void*, wl_output*) {}
void output_scale(void* data, wl_output*, int32_t factor) { static_cast<Output*>(data)->scale = factor; }
void output_name(void* data, wl_output*, const char* name) { static_cast<Output*>(data)->name = name; }
void output_description(void*, wl_output*, const char*) {}
const wl_output_listener output_listener{output_geometry, output_mode,  output_done,
                                         output_scale,    output_name,  output_description};

void registry_global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    auto* c = static_cast<Client*>(data);
    const std::string i = interface;
    if (i == wl_compositor_interface.name) {
        c->compositor = static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, 4));
    } else if (i == wl_shm_interface.name) {
        c->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (i == wl_seat_interface.name && !c->seat) {
        c->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (i == zwlr_layer_shell_v1_interface.name) {
        c->layer_shell = static_cast<zwlr_layer_shell_v1*>(wl_registry_bind(registry, name, &zwlr_layer_shell_v1_interface, 1));
    } else if (i == zwlr_virtual_pointer_manager_v1_interface.name) {
        c->pointer_manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    } else if (i == org_kde_kwin_fake_input_interface.name) {
        c->fake_input = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, std::min(version, 4u)));
    } else if (i == zwp_idle_inhibit_manager_v1_interface.name) {
        c->inhibit_manager = static_cast<zwp_idle_inhibit_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_idle_inhibit_manager_v1_interface, 1));
    } else if (i == wl_output_interface.name) {
        auto o = std::make_unique<Output>();
        o->client = c;
        o->output = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, std::min(version, 4u)));
        wl_output_add_listener(o->output, &output_listener, o.get());
        c->outputs.push_back(std::move(o));
    }
}

void registry_global_remove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registry_listener{registry_global, registry_global_remove};

bool connect(Client& c)
{
    c.display = wl_display_connect(nullptr);
    if (!c.display) return false;
    c.registry = wl_display_get_registry(c.display);
    wl_registry_add_listener(c.registry, &registry_listener, &c);
    wl_display_roundtrip(c.display);
    wl_display_roundtrip(c.display);  // the outputs' names and scales
    return true;
}

// ---- pointer

uint32_t now_ms()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

int run_pointer()
{
    Client c;
    if (!connect(c)) return fail("no Wayland display");
    if (!c.pointer_manager) return fail("the compositor offers no virtual pointer");
    zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(c.pointer_manager, c.seat);
    wl_display_roundtrip(c.display);
    constexpr uint32_t left_button = 0x110;  // BTN_LEFT
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream words(line);
        std::string verb;
        words >> verb;
        if (verb == "move") {
            double dx = 0, dy = 0;
            words >> dx >> dy;
            zwlr_virtual_pointer_v1_motion(pointer, now_ms(), wl_fixed_from_double(dx), wl_fixed_from_double(dy));
            zwlr_virtual_pointer_v1_frame(pointer);
        } else if (verb == "abs") {
            uint32_t x = 0, y = 0, w = 0, h = 0;
            words >> x >> y >> w >> h;
            zwlr_virtual_pointer_v1_motion_absolute(pointer, now_ms(), x, y, w, h);
            zwlr_virtual_pointer_v1_frame(pointer);
        } else if (verb == "click") {
            zwlr_virtual_pointer_v1_button(pointer, now_ms(), left_button, WL_POINTER_BUTTON_STATE_PRESSED);
            zwlr_virtual_pointer_v1_frame(pointer);
            wl_display_roundtrip(c.display);
            zwlr_virtual_pointer_v1_button(pointer, now_ms(), left_button, WL_POINTER_BUTTON_STATE_RELEASED);
            zwlr_virtual_pointer_v1_frame(pointer);
        } else if (verb == "sleep") {
            int ms = 0;
            words >> ms;
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        } else if (!verb.empty()) {
            return fail("unknown pointer command: " + line);
        }
        if (wl_display_roundtrip(c.display) < 0) return fail("the compositor went away");
        std::printf("ok\n");
        std::fflush(stdout);
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    wl_display_roundtrip(c.display);
    wl_display_disconnect(c.display);
    return 0;
}

// ---- KWin's fake input: "ready", then "move DX DY", "click", "key CODE" (evdev), "sleep MS"

int run_fake_input()
{
    Client c;
    if (!connect(c)) return fail("no Wayland display");
    if (!c.fake_input) return fail("the compositor offers no org_kde_kwin_fake_input");
    org_kde_kwin_fake_input_authenticate(c.fake_input, "wayland_test_helper", "end-to-end tests");
    if (wl_display_roundtrip(c.display) < 0) return fail("the compositor went away");
    std::printf("ready\n");
    std::fflush(stdout);
    constexpr uint32_t left_button = 0x110;  // BTN_LEFT
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream words(line);
        std::string verb;
        words >> verb;
        if (verb == "move") {
            double dx = 0, dy = 0;
            words >> dx >> dy;
            org_kde_kwin_fake_input_pointer_motion(c.fake_input, wl_fixed_from_double(dx), wl_fixed_from_double(dy));
        } else if (verb == "click") {
            org_kde_kwin_fake_input_button(c.fake_input, left_button, WL_POINTER_BUTTON_STATE_PRESSED);
            wl_display_roundtrip(c.display);
            org_kde_kwin_fake_input_button(c.fake_input, left_button, WL_POINTER_BUTTON_STATE_RELEASED);
        } else if (verb == "key") {
            uint32_t code = 0;
            words >> code;
            org_kde_kwin_fake_input_keyboard_key(c.fake_input, code, WL_KEYBOARD_KEY_STATE_PRESSED);
            wl_display_roundtrip(c.display);
            org_kde_kwin_fake_input_keyboard_key(c.fake_input, code, WL_KEYBOARD_KEY_STATE_RELEASED);
        } else if (verb == "sleep") {
            int ms = 0;
            words >> ms;
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        } else if (!verb.empty()) {
            return fail("unknown fake input command: " + line);
        }
        if (wl_display_roundtrip(c.display) < 0) return fail("the compositor went away");
        std::printf("ok\n");
        std::fflush(stdout);
    }
    wl_display_disconnect(c.display);
    return 0;
}

// ---- picture

uint32_t left_colour = 0, right_colour = 0;

wl_buffer* make_buffer(wl_shm* shm, int width, int height)
{
    const int stride = width * 4, size = stride * height;
    const int fd = memfd_create("wayland_test_helper", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, size) < 0) return nullptr;
    void* data = mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    auto* pixels = static_cast<uint32_t*>(data);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[y * width + x] = 0xFF000000u | (2 * x < width ? left_colour : right_colour);
    munmap(data, static_cast<size_t>(size));
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, size);
    wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return buffer;
}

void frame_done(void* data, wl_callback* callback, uint32_t)
{
    static_cast<Output*>(data)->shown = true;
    wl_callback_destroy(callback);
}
const wl_callback_listener frame_listener{frame_done};

void layer_configure(void* data, zwlr_layer_surface_v1* layer_surface, uint32_t serial, uint32_t width, uint32_t height)
{
    auto* o = static_cast<Output*>(data);
    zwlr_layer_surface_v1_ack_configure(layer_surface, serial);
    if (o->buffer) wl_buffer_destroy(o->buffer);
    o->buffer = make_buffer(o->client->shm, static_cast<int>(width) * o->scale, static_cast<int>(height) * o->scale);
    if (!o->buffer) {
        std::fprintf(stderr, "wayland_test_helper: no buffer\n");
        std::exit(2);
    }
    wl_surface_set_buffer_scale(o->surface, o->scale);
    wl_surface_attach(o->surface, o->buffer, 0, 0);
    wl_surface_damage_buffer(o->surface, 0, 0, INT32_MAX, INT32_MAX);
    wl_callback_add_listener(wl_surface_frame(o->surface), &frame_listener, o);
    wl_surface_commit(o->surface);
}

void layer_closed(void*, zwlr_layer_surface_v1*) { std::exit(0); }
const zwlr_layer_surface_v1_listener layer_listener{layer_configure, layer_closed};

int run_picture(int argc, char** argv)
{
    if (argc < 3) return fail("picture RRGGBB [RRGGBB] [--output NAME] [--inhibit-idle]");
    left_colour = right_colour = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 16));
    std::string only;
    bool inhibit_idle = false;  // as a video player does while it plays
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--output") == 0 && i + 1 < argc)
            only = argv[++i];
        else if (std::strcmp(argv[i], "--inhibit-idle") == 0)
            inhibit_idle = true;
        else
            right_colour = static_cast<uint32_t>(std::strtoul(argv[i], nullptr, 16));
    }
    Client c;
    if (!connect(c)) return fail("no Wayland display");
    if (!c.layer_shell || !c.compositor || !c.shm) return fail("the compositor offers no layer shell");
    if (inhibit_idle && !c.inhibit_manager) return fail("the compositor offers no idle inhibitor");
    int surfaces = 0;
    for (auto& o : c.outputs) {
        if (!only.empty() && o->name != only) continue;
        o->surface = wl_compositor_create_surface(c.compositor);
        o->layer_surface = zwlr_layer_shell_v1_get_layer_surface(c.layer_shell, o->surface, o->output,
                                                                 ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND, "frostwisp-test");
        zwlr_layer_surface_v1_set_anchor(o->layer_surface,
                                         ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                             ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_exclusive_zone(o->layer_surface, -1);
        zwlr_layer_surface_v1_add_listener(o->layer_surface, &layer_listener, o.get());
        if (inhibit_idle) zwp_idle_inhibit_manager_v1_create_inhibitor(c.inhibit_manager, o->surface);
        wl_surface_commit(o->surface);
        ++surfaces;
    }
    if (surfaces == 0) return fail("no such output");
    auto all_shown = [&] {
        for (auto& o : c.outputs)
            if (o->surface && !o->shown) return false;
        return true;
    };
    while (!all_shown())
        if (wl_display_dispatch(c.display) < 0) return fail("the compositor went away");
    std::printf("ready\n");
    std::fflush(stdout);
    while (wl_display_dispatch(c.display) >= 0) {
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return fail("pointer | fake | picture | pixels | count | blocks");
    const std::string command = argv[1];
    if (command == "pointer") return run_pointer();
    if (command == "fake") return run_fake_input();
    if (command == "picture") return run_picture(argc, argv);
    if (command == "pixels" || command == "count" || command == "blocks") return png_command(argc, argv);
    return fail("unknown command " + command);
}
