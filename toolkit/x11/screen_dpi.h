// The display's resolution as desktops set it: the Xft.dpi resource.
#pragma once

#include <optional>

namespace fw {

// The value of "Xft.dpi" in a resource-manager text ("Xft.dpi:\t120\n...");
// nothing when it is missing or no positive number.
std::optional<double> xft_dpi(const char* resources);

// Twips (1/1440 inch) per pixel at a resolution, to the nearest whole twip.
int twips_per_pixel_for(double dpi);

}  // namespace fw
