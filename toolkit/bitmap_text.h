// A small 5 x 7 pixel font compiled into the program, scaled by whole
// pixels, for systems where no font file can be loaded: text still shows.
#pragma once

#include "toolkit/font.h"

#include <memory>

namespace fw {

// Printable ASCII and the German letters; anything else shows as '?'. The
// face name is ignored; size, weight and underline are honoured roughly.
std::unique_ptr<TextRenderer> make_bitmap_renderer(const FontSpec& font, double dpi);

}  // namespace fw
