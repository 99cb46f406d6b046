// The off-screen renderer's parts: its arguments, the headless screen they
// describe and the picture of it as a PNG. The entry point runs the
// full-screen saver on that screen for a number of ticks in between.
//
//   frostwisp --render OUT.png [--size WxH | --monitors WxH+X+Y[,WxH+X+Y...]]
//             [--ticks N] [--clock YYYY-MM-DDTHH:MM:SS] [--desktop IMAGE]
//
// With --monitors the screen has those monitors, one scene on each, and the
// picture is their bounding box, black where no monitor is; --desktop is then
// a picture of that box.
#pragma once

#include "toolkit/canvas.h"
#include "toolkit/headless/headless_platform.h"
#include "toolkit/settings_store.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace fw {

struct RenderServices {
    // Where the settings come from (the user's store, as in every mode).
    std::unique_ptr<SettingsStore> settings;
    std::filesystem::path program_file;
    std::filesystem::path user_state_dir;
    // The system's way of appending to the error protocol (Platform::append_log).
    std::function<bool(const std::filesystem::path&, std::string_view, uintmax_t)> append_log;
};

// One render: the headless screen to run the saver on, how many ticks, and
// where its picture goes.
struct RenderJob {
    std::filesystem::path out;
    int width = 0;
    int height = 0;
    int ticks = 0;
    HeadlessOptions options;
};

// arguments: everything after "--render". A bad argument, or a --desktop
// picture that cannot be used, prints a one-line usage error to standard
// error and gives nothing.
std::optional<RenderJob> prepare_render(const std::vector<std::string>& arguments, RenderServices services);
// What the screen shows now (every scene at its place, black elsewhere),
// written as a PNG; false, with a line on standard error, when it cannot be.
bool write_render_picture(const RenderJob& job);

// The picture that --desktop names: a regular file (links followed) of at
// most max_desktop_file_size bytes that holds a PNG or a BMP picture. Returns
// what is wrong with it in a few words, or an empty text and the picture.
inline constexpr uintmax_t max_desktop_file_size = uintmax_t{64} << 20;
std::string read_desktop_picture(const std::filesystem::path& path, Image& picture);
// PNG or BMP bytes, told apart by their first bytes; empty when they are
// neither or cannot be decoded.
Image decode_desktop_picture(std::span<const unsigned char> bytes);

}  // namespace fw
