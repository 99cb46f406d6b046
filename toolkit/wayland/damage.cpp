#include "toolkit/wayland/damage.h"

#include <algorithm>

namespace fw {

namespace {

long area_of(const std::vector<Rect>& rects)
{
    long area = 0;
    for (const Rect& r : rects) area += static_cast<long>(r.right - r.left) * (r.bottom - r.top);
    return area;
}

long cost_of(const std::vector<Rect>& rects) { return static_cast<long>(rects.size()) * kDamageRectCost + area_of(rects); }

// The cells of size cell that parts touch, as runs along each row of cells.
std::vector<Rect> cover(const std::vector<Rect>& parts, int width, int height, int cell)
{
    const int across = (width + cell - 1) / cell, down = (height + cell - 1) / cell;
    std::vector<char> marked(static_cast<size_t>(across) * static_cast<size_t>(down), 0);
    for (const Rect& r : parts)
        for (int cy = r.top / cell; cy <= (r.bottom - 1) / cell; ++cy)
            std::fill_n(marked.begin() + cy * across + r.left / cell, (r.right - 1) / cell - r.left / cell + 1, 1);
    std::vector<Rect> runs;
    for (int cy = 0; cy < down; ++cy) {
        const char* row = marked.data() + static_cast<ptrdiff_t>(cy) * across;
        for (int cx = 0; cx < across;) {
            if (!row[cx]) {
                ++cx;
                continue;
            }
            const int first = cx;
            while (cx < across && row[cx]) ++cx;
            runs.push_back(Rect{first * cell, cy * cell, std::min(cx * cell, width), std::min((cy + 1) * cell, height)});
        }
    }
    return runs;
}

}  // namespace

std::vector<Rect> cheapest_damage(const std::vector<Rect>& parts, int width, int height)
{
    if (parts.empty() || width <= 0 || height <= 0) return parts;
    std::vector<Rect> best = parts;
    long best_cost = cost_of(parts);
    for (const int cell : {32, 64, 128, 256}) {
        std::vector<Rect> coarse = cover(parts, width, height, cell);
        if (const long cost = cost_of(coarse); cost < best_cost) {
            best = std::move(coarse);
            best_cost = cost;
        }
    }
    const std::vector<Rect> whole{Rect{0, 0, width, height}};
    if (cost_of(whole) < best_cost) return whole;
    return best;
}

}  // namespace fw
