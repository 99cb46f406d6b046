// PNG files, for the off-screen renderer and the tests.
#pragma once

#include "toolkit/canvas.h"

#include <filesystem>
#include <span>

namespace fw {

// Writes image as an 8-bit RGB PNG; false when the file cannot be written.
[[nodiscard]] bool write_png(const std::filesystem::path& path, const Image& image);
// Reads a PNG of any colour type as RGB; an empty image when it cannot be read.
Image read_png(const std::filesystem::path& path);
// The same for PNG bytes in memory. Pictures above 32767 pixels on a side or
// 2^25 pixels in all, and oversized ancillary chunks, are refused.
Image decode_png(std::span<const unsigned char> bytes);

}  // namespace fw
