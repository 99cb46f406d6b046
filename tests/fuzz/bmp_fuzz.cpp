// Feeds arbitrary bytes to the BMP reader; the sanitizers catch any read past
// the input or any misuse of the decoded picture.
#include "toolkit/bitmap.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fw::Image image = fw::decode_bmp({data, size});
    if (!image.empty() && image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height))
        std::abort();
    return 0;
}
