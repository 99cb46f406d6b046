// A colour as a packed 24-bit RGB value in a 32-bit word (0x00RRGGBB), the
// pixel format of every surface and picture of the program.
#pragma once

#include <cstdint>

namespace fw {

using Color = uint32_t;
constexpr Color rgb(int r, int g, int b)
{
    return (static_cast<Color>(r & 255) << 16) | (static_cast<Color>(g & 255) << 8) | static_cast<Color>(b & 255);
}
constexpr int red(Color c) { return static_cast<int>((c >> 16) & 255); }
constexpr int green(Color c) { return static_cast<int>((c >> 8) & 255); }
constexpr int blue(Color c) { return static_cast<int>(c & 255); }

}  // namespace fw
