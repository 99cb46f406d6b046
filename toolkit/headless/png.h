// PNG files, for the off-screen renderer and the tests.
#pragma once

#include "toolkit/canvas.h"

#include <filesystem>

namespace fw {

// Writes image as an 8-bit RGB PNG; false when the file cannot be written.
[[nodiscard]] bool write_png(const std::filesystem::path& path, const Image& image);
// Reads a PNG of any colour type as RGB; an empty image when it cannot be read.
Image read_png(const std::filesystem::path& path);

}  // namespace fw
