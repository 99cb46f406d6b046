// Text through GDI: the font is a real GDI font at the system's DPI, and each
// text is drawn with TextOut onto a copy of the canvas pixels beneath it, so it
// looks exactly as GDI draws it on that background (transparent, smoothed as
// the user's settings say).
//
// A character the font has no glyph for (a Japanese or Arabic date in a Latin
// font) comes from the first fallback that has one: the fonts the system links
// to the font's face (FontLink\SystemLink), then Microsoft Sans Serif and Segoe
// UI with theirs, then the font GDI picks for the character's script. Each
// run is drawn in its own font on the font's baseline; every character the
// font has is drawn as before. Invisible format characters (direction marks)
// no font draws are left out.
#pragma once

#include "toolkit/font.h"

#include <windows.h>

#include <string>
#include <unordered_map>
#include <vector>

namespace fw {

class GdiText final : public TextRenderer {
public:
    // dpi: pixels per inch the point size is scaled by.
    GdiText(const FontSpec& desc, int dpi);
    GdiText(const GdiText&) = delete;
    GdiText& operator=(const GdiText&) = delete;
    ~GdiText() override;

    // GetTextExtentPoint32 of each run; the height is the font's cell.
    int text_height(std::string_view utf8) const override;
    int text_width(std::string_view utf8) const override;
    void draw(Canvas& canvas, int x, int y, std::string_view utf8, Color color) const override;

    // The face GDI chose for the requested name (another one when the system
    // does not have it).
    std::string face_name() const;
    // The face that draws the first character of utf8: the font's own, a
    // fallback's, or empty for a character that is left out.
    std::string face_drawing(std::string_view utf8) const;

private:
    struct Fallback {
        std::wstring face;
        BYTE charset = DEFAULT_CHARSET;
        bool made = false;
        HFONT font = nullptr;  // nullptr: no outline font came of it
        int ascent = 0;
        int height = 0;
    };
    // A stretch of the text in one font; fallback -1 is the font itself, -2
    // characters left out.
    struct Run {
        size_t start = 0;
        size_t length = 0;
        int fallback = -1;
    };
    static constexpr int own_font = -1;
    static constexpr int left_out = -2;

    std::vector<Run> runs_of(const std::wstring& text) const;
    int fallback_for(wchar_t c) const;
    bool has_glyph(Fallback& candidate, wchar_t c) const;
    // The run's advance, and its cell's top relative to the font's cell.
    int run_width(const std::wstring& text, const Run& run) const;
    SIZE extent(const std::wstring& text, const std::vector<Run>& runs) const;
    // Room for at least width x height pixels in the scratch bitmap; false
    // when there is none.
    bool reserve(int width, int height) const;
    HDC dc_ = nullptr;
    HFONT font_ = nullptr;
    HGDIOBJ original_font_ = nullptr;
    TEXTMETRICW metrics_{};
    LOGFONTW logfont_{};
    // The candidates in the order they are tried, made when first needed; the
    // fallback found for each character the font lacks (-1 when none has it).
    mutable std::vector<Fallback> fallbacks_;
    mutable bool linked_listed_ = false;
    mutable std::unordered_map<wchar_t, int> fallback_of_;
    // The scratch bitmap draw() renders into, kept from one text to the next:
    // every frame draws the same few texts.
    mutable HBITMAP scratch_ = nullptr;
    mutable Color* scratch_bits_ = nullptr;
    mutable int scratch_width_ = 0;
    mutable int scratch_height_ = 0;
    mutable HGDIOBJ original_bitmap_ = nullptr;
};

}  // namespace fw
