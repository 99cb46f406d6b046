// Text renderer for systems with fontconfig and FreeType: finds a face by
// name (or one that draws like it), rasterises anti-aliased glyphs and keeps
// them for the renderer's lifetime. Characters the face lacks are drawn from
// the font fontconfig finds for them.
#pragma once

#include "toolkit/font.h"

#include <memory>

namespace fw {

// Pixel size = points x dpi / 72, rounded. Never fails: without any loadable
// font file the result draws with the built-in bitmap font.
std::unique_ptr<TextRenderer> make_freetype_renderer(const FontSpec& font, double dpi);

}  // namespace fw
