// The display's resolution: the Xft.dpi resource that desktops set, and what
// the dialogs' toolkit makes of it together with its own scaling.
#pragma once

#include <optional>

namespace fw {

// The value of "Xft.dpi" in a resource-manager text ("Xft.dpi:\t120\n...");
// nothing when it is missing or no positive number.
std::optional<double> xft_dpi(const char* resources);

// The display's resolution in device pixels per inch, from a toolkit that
// scales its windows by a whole factor and measures fonts at a resolution of
// its own scaled pixels: the product of the two. GTK on X takes Xft.dpi
// unchanged as that resolution even while it scales by GDK_SCALE; an Xft.dpi
// that already holds the scale is then the display's resolution as it stands.
double display_dpi(int toolkit_scale, double toolkit_resolution, std::optional<double> xft);

// Twips (1/1440 inch) per pixel at a resolution; 15 for none.
double twips_per_pixel_for(double dpi);

}  // namespace fw
