// The off-screen renderer: runs the full-screen scene on the headless backend
// for a number of ticks and writes the window's picture as a PNG.
//
//   frostwisp --render OUT.png [--size WxH | --monitors WxH+X+Y[,WxH+X+Y...]]
//             [--ticks N] [--clock YYYY-MM-DDTHH:MM:SS] [--desktop IMAGE]
//
// With --monitors the screen has those monitors, one scene on each, and the
// picture is their bounding box, black where no monitor is; --desktop is then
// a picture of that box.
#pragma once

#include "toolkit/canvas.h"
#include "toolkit/settings_store.h"

#include <filesystem>
#include <functional>
#include <memory>
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

// arguments: everything after "--render". Returns the process exit status; a
// bad argument prints a one-line usage error to standard error and gives 2.
int run_render(const std::vector<std::string>& arguments, RenderServices services);

// The picture that --desktop names: a regular file (links followed) of at
// most max_desktop_file_size bytes that holds a PNG or a BMP picture. Returns
// what is wrong with it in a few words, or an empty text and the picture.
inline constexpr uintmax_t max_desktop_file_size = uintmax_t{64} << 20;
std::string read_desktop_picture(const std::filesystem::path& path, Image& picture);
// PNG or BMP bytes, told apart by their first bytes; empty when they are
// neither or cannot be decoded.
Image decode_desktop_picture(std::span<const unsigned char> bytes);

}  // namespace fw
