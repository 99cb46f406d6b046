// Any bytes as the off-screen renderer's desktop picture (PNG or BMP, as
// --desktop reads them): decoding never crashes or reads past the input, and
// a picture that comes out has exactly its width times height pixels.
#include "toolkit/headless/render.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fw::Image image = fw::decode_desktop_picture({data, size});
    if (!image.empty() && (image.width <= 0 || image.height <= 0 ||
                           image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height)))
        std::abort();
    return 0;
}
