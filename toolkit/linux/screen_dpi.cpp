#include "toolkit/linux/screen_dpi.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace fw {

std::optional<double> xft_dpi(const char* resources)
{
    if (!resources) return std::nullopt;
    std::string_view text(resources);
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        constexpr std::string_view name = "Xft.dpi";
        if (!line.starts_with(name)) continue;
        line.remove_prefix(name.size());
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        if (line.empty() || line.front() != ':') continue;
        line.remove_prefix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.remove_suffix(1);
        double dpi = 0;
        const auto [after, error] = std::from_chars(line.data(), line.data() + line.size(), dpi);
        if (error != std::errc() || after != line.data() + line.size() || !(dpi > 0) || !std::isfinite(dpi))
            return std::nullopt;
        return dpi;
    }
    return std::nullopt;
}

double display_dpi(int toolkit_scale, double toolkit_resolution, std::optional<double> xft)
{
    const int scale = toolkit_scale > 1 ? toolkit_scale : 1;
    const double resolution = toolkit_resolution > 0 ? toolkit_resolution : 96.0;
    if (scale > 1 && xft && std::abs(resolution - *xft) < 0.5 && *xft >= 96.0 * scale) return *xft;
    return scale * resolution;
}

double twips_per_pixel_for(double dpi) { return dpi > 0 ? 1440.0 / dpi : 15.0; }

}  // namespace fw
