#include "toolkit/monitors.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace fw {

namespace {

bool empty(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }

bool overlap(const Rect& a, const Rect& b)
{
    return std::max(a.left, b.left) < std::min(a.right, b.right) && std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

Rect united(const Rect& a, const Rect& b)
{
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

// A decimal number at the start of text, with an optional sign; the rest of
// the text is left in text.
template <class T> bool take_number(std::string_view& text, T& value)
{
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end == first) return false;
    text.remove_prefix(static_cast<size_t>(end - first));
    return true;
}

// "+X", "+-X" or "-X".
bool take_offset(std::string_view& text, int& value)
{
    if (text.empty() || (text[0] != '+' && text[0] != '-')) return false;
    if (text[0] == '+') text.remove_prefix(1);
    return take_number(text, value);
}

}  // namespace

int width_of(const Rect& r) { return r.right - r.left; }
int height_of(const Rect& r) { return r.bottom - r.top; }
bool contains(const Rect& r, Point p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

std::vector<Monitor> arrange_monitors(const std::vector<Monitor>& listed, const Rect& whole_screen)
{
    std::vector<Monitor> kept;
    for (const Monitor& m : listed)
        if (!empty(m.area)) kept.push_back(m);
    // A merged box may reach a monitor that neither of its parts touched, so
    // merge until no two overlap.
    for (bool merged = true; merged;) {
        merged = false;
        for (size_t i = 0; i < kept.size() && !merged; ++i)
            for (size_t j = i + 1; j < kept.size() && !merged; ++j)
                if (overlap(kept[i].area, kept[j].area)) {
                    kept[i].area = united(kept[i].area, kept[j].area);
                    kept[i].primary = kept[i].primary || kept[j].primary;
                    kept.erase(kept.begin() + static_cast<ptrdiff_t>(j));
                    merged = true;
                }
    }
    if (kept.empty()) kept.push_back({whole_screen, true});
    return kept;
}

Rect bounding_box(const std::vector<Monitor>& monitors)
{
    if (monitors.empty()) return {};
    Rect box = monitors.front().area;
    for (const Monitor& m : monitors) box = united(box, m.area);
    return box;
}

Rect dialog_monitor(const std::vector<Monitor>& monitors, std::optional<Point> pointer, const Rect& fallback)
{
    for (const Monitor& m : monitors)
        if (m.primary) return m.area;
    if (pointer)
        for (const Monitor& m : monitors)
            if (contains(m.area, *pointer)) return m.area;
    return monitors.empty() ? fallback : monitors.front().area;
}

std::optional<std::vector<Monitor>> parse_monitor_list(std::string_view text)
{
    std::vector<Monitor> list;
    while (true) {
        int width = 0, height = 0, x = 0, y = 0;
        if (!take_number(text, width) || text.empty() || (text[0] != 'x' && text[0] != 'X')) return std::nullopt;
        text.remove_prefix(1);
        if (!take_number(text, height) || !take_offset(text, x) || !take_offset(text, y)) return std::nullopt;
        // Bounds far beyond any display, so that no sum below overflows.
        constexpr int most = 1 << 20;
        if (width < 1 || height < 1 || width > most || height > most || std::abs(x) > most || std::abs(y) > most)
            return std::nullopt;
        list.push_back({{x, y, x + width, y + height}, list.empty()});
        if (text.empty()) return list;
        if (text[0] != ',') return std::nullopt;
        text.remove_prefix(1);
    }
}

}  // namespace fw
