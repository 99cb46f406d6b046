#include "toolkit/freetype/freetype_text.h"

#include "toolkit/bitmap_text.h"
#include "toolkit/glyph.h"
#include "toolkit/utf8.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace fw {

namespace {

struct FontFile {
    std::string path;
    int index = 0;
    int weight = FC_WEIGHT_REGULAR;
    bool embolden = false;  // fontconfig's advice for a bold request without a bold file
};

bool same_name(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// Freely available families drawn to the same metrics, for systems that lack
// the face a window asks for.
std::vector<std::string> stand_ins_for(std::string_view face)
{
    if (same_name(face, "Comic Sans MS"))
        return {"Comic Neue", "Comic Relief"};
    if (same_name(face, "MS Sans Serif") || same_name(face, "Microsoft Sans Serif"))
        return {"Microsoft Sans Serif", "Liberation Sans", "Arimo", "Arial", "DejaVu Sans"};
    if (same_name(face, "Arial"))
        return {"Liberation Sans", "Arimo"};
    return {};
}

struct PatternDeleter {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

struct FontSetDeleter {
    void operator()(FcFontSet* set) const { FcFontSetDestroy(set); }
};

Pattern request(const std::string& family, int weight)
{
    Pattern pattern(FcPatternCreate());
    if (!pattern)
        return nullptr;
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, weight);
    FcPatternAddInteger(pattern.get(), FC_SLANT, FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    return pattern;
}

std::optional<FontFile> file_of(const FcPattern* found)
{
    FcChar8* path = nullptr;
    if (FcPatternGetString(found, FC_FILE, 0, &path) != FcResultMatch || !path)
        return std::nullopt;
    FontFile file;
    file.path = reinterpret_cast<const char*>(path);
    FcPatternGetInteger(found, FC_INDEX, 0, &file.index);
    FcPatternGetInteger(found, FC_WEIGHT, 0, &file.weight);
    FcBool embolden = FcFalse;
    if (FcPatternGetBool(found, FC_EMBOLDEN, 0, &embolden) == FcResultMatch)
        file.embolden = embolden != FcFalse;
    return file;
}

bool has_family(const FcPattern* found, std::string_view family)
{
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(found, FC_FAMILY, i, &name) == FcResultMatch; ++i)
        if (same_name(reinterpret_cast<const char*>(name), family))
            return true;
    return false;
}

// fontconfig always answers with some font; only an answer of the asked
// family counts here, so that the stand-ins get their turn.
std::optional<FontFile> match_family(const std::string& family, int weight)
{
    Pattern pattern = request(family, weight);
    if (!pattern)
        return std::nullopt;
    FcResult result = FcResultNoMatch;
    Pattern found(FcFontMatch(nullptr, pattern.get(), &result));
    if (!found || !has_family(found.get(), family))
        return std::nullopt;
    return file_of(found.get());
}

int fc_weight(const FontSpec& font) { return font.weight == FontWeight::bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR; }

// The sans-serif faces the system prefers, best first; sorting every font
// costs more than the rest of the lookup, so this list is made only when needed.
std::vector<FontFile> fallback_files(const FontSpec& font)
{
    std::vector<FontFile> files;
    Pattern pattern = request("sans-serif", fc_weight(font));
    if (!pattern)
        return files;
    FcResult result = FcResultNoMatch;
    std::unique_ptr<FcFontSet, FontSetDeleter> sorted(FcFontSort(nullptr, pattern.get(), FcFalse, nullptr, &result));
    constexpr int most = 8;
    for (int i = 0; sorted && i < sorted->nfont && i < most; ++i)
        if (std::optional<FontFile> file = file_of(sorted->fonts[i]))
            files.push_back(std::move(*file));
    return files;
}

struct LibraryDeleter {
    void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
using Library = std::unique_ptr<std::remove_pointer_t<FT_Library>, LibraryDeleter>;

struct FaceDeleter {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
using Face = std::unique_ptr<std::remove_pointer_t<FT_Face>, FaceDeleter>;

int round_26_6(FT_Pos value) { return static_cast<int>((value + 32) >> 6); }

bool set_pixel_size(FT_Face face, int pixels)
{
    if (FT_IS_SCALABLE(face))
        return FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels)) == 0;
    if (face->num_fixed_sizes <= 0)
        return false;
    // A bitmap-only face: the strike nearest in height.
    int best = 0;
    for (int i = 1; i < face->num_fixed_sizes; ++i)
        if (std::abs(face->available_sizes[i].height - pixels) < std::abs(face->available_sizes[best].height - pixels))
            best = i;
    return FT_Select_Size(face, best) == 0;
}

Face load_face(FT_Library library, const FontFile& file, int pixels)
{
    FT_Face raw_face = nullptr;
    if (FT_New_Face(library, file.path.c_str(), file.index, &raw_face) != 0)
        return nullptr;
    Face face(raw_face);
    if (!set_pixel_size(face.get(), pixels))
        return nullptr;
    FT_Select_Charmap(face.get(), FT_ENCODING_UNICODE);
    return face;
}

// Bold from a regular file is drawn thicker, as the system's own renderer
// does for a face without a bold variant.
bool needs_embolden(const FontSpec& font, const FontFile& file)
{
    return font.weight == FontWeight::bold && (file.embolden || file.weight < FC_WEIGHT_DEMIBOLD);
}

class FreeTypeTextRenderer final : public TextRenderer {
public:
    // Characters the face lacks are looked for under the family it was found by.
    FreeTypeTextRenderer(Library library, Face face, const FontSpec& font, bool embolden, std::string family, int pixels)
        : library_(std::move(library)), face_(std::move(face)), font_(font), embolden_(embolden),
          family_(std::move(family)), pixels_(pixels)
    {
        measure_line();
    }

    int text_height(std::string_view) const override { return ascent_ + descent_; }

    int text_width(std::string_view utf8) const override
    {
        std::lock_guard lock(mutex_);
        long long width = 0;
        for (size_t pos = 0; pos < utf8.size();)
            width += glyph(next_code_point(utf8, pos)).advance;
        return static_cast<int>(std::clamp<long long>(width, INT_MIN, INT_MAX));
    }

    void draw(Canvas& canvas, int x, int y, std::string_view utf8, Color color) const override
    {
        std::lock_guard lock(mutex_);
        const long long baseline = static_cast<long long>(y) + ascent_;
        long long pen = x;
        for (size_t pos = 0; pos < utf8.size();) {
            const GlyphBitmap& g = glyph(next_code_point(utf8, pos));
            blend_glyph(canvas, pen + g.left, baseline - g.top, g, color);
            pen += g.advance;
        }
        if (font_.underline)
            fill_span(canvas, x, baseline + underline_offset_, pen, baseline + underline_offset_ + underline_thickness_, color);
    }

private:
    // Ascent and descent as the Windows metrics of the font give them, each
    // rounded on its own, so line heights come out as the system's own
    // renderer makes them; the typographic ones where those are missing.
    void measure_line()
    {
        FT_Face face = face_.get();
        const FT_Size_Metrics& size = face->size->metrics;
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        if (FT_IS_SCALABLE(face) && os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
            ascent_ = round_26_6(FT_MulFix(os2->usWinAscent, size.y_scale));
            descent_ = round_26_6(FT_MulFix(os2->usWinDescent, size.y_scale));
        } else if (FT_IS_SCALABLE(face)) {
            ascent_ = round_26_6(FT_MulFix(face->ascender, size.y_scale));
            descent_ = round_26_6(FT_MulFix(-face->descender, size.y_scale));
        } else {
            ascent_ = round_26_6(size.ascender);
            descent_ = round_26_6(-size.descender);
        }
        if (ascent_ + descent_ <= 0) {
            ascent_ = std::max(1, round_26_6(size.height));
            descent_ = 0;
        }

        // The underline sits below the baseline and inside the line box.
        int offset = 1;
        int thickness = 1;
        if (FT_IS_SCALABLE(face)) {
            thickness = std::max(1, round_26_6(FT_MulFix(face->underline_thickness, size.y_scale)));
            offset = round_26_6(FT_MulFix(-face->underline_position, size.y_scale)) - thickness / 2;
        }
        underline_thickness_ = thickness;
        underline_offset_ = std::max(1, std::min(offset, descent_ - thickness));
    }

    const GlyphBitmap& glyph(char32_t code) const
    {
        if (code < ascii_.size() && ascii_[code])
            return *ascii_[code];
        auto found = glyphs_.find(code);
        if (found == glyphs_.end())
            found = glyphs_.emplace(code, rasterise(code)).first;
        if (code < ascii_.size())
            ascii_[code] = &found->second;
        return found->second;
    }

    GlyphBitmap rasterise(char32_t code) const
    {
        GlyphBitmap out;
        // Control characters take no room, as in the system's own renderer.
        if (code < 0x20 || code == 0x7F)
            return out;
        FT_Face face = face_.get();
        bool embolden = embolden_;
        FT_UInt index = FT_Get_Char_Index(face, code);
        if (index == 0) {
            if (const Fallback* fallback = fallback_for(code)) {
                face = fallback->face.get();
                embolden = fallback->embolden;
                index = FT_Get_Char_Index(face, code);
            }
        }
        if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) != 0)
            return out;
        FT_GlyphSlot slot = face->glyph;
        if (embolden)
            FT_GlyphSlot_Embolden(slot);
        out.advance = round_26_6(slot->advance.x);
        if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
            return out;

        const FT_Bitmap& bitmap = slot->bitmap;
        out.left = slot->bitmap_left;
        out.top = slot->bitmap_top;
        out.width = static_cast<int>(bitmap.width);
        out.rows = static_cast<int>(bitmap.rows);
        out.coverage.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.rows), 0);
        for (int r = 0; r < out.rows; ++r) {
            const unsigned char* in = bitmap.buffer + static_cast<ptrdiff_t>(r) * bitmap.pitch;
            uint8_t* mask = out.coverage.data() + static_cast<size_t>(r) * static_cast<size_t>(out.width);
            for (int c = 0; c < out.width; ++c) {
                switch (bitmap.pixel_mode) {
                case FT_PIXEL_MODE_MONO:
                    mask[c] = (in[c >> 3] >> (7 - (c & 7))) & 1 ? 255 : 0;
                    break;
                case FT_PIXEL_MODE_GRAY:
                    mask[c] = bitmap.num_grays == 256 ? in[c]
                                                      : static_cast<uint8_t>(in[c] * 255 / std::max(1, bitmap.num_grays - 1));
                    break;
                case FT_PIXEL_MODE_BGRA:
                    mask[c] = in[4 * c + 3];
                    break;
                default:
                    break;
                }
            }
        }
        return out;
    }

    // A character the face lacks is drawn from the first face, in
    // fontconfig's order for the same request, whose character set has it:
    // at the same pixel size and weight, on the same baseline. The order is
    // asked for once, when the first such character turns up, and each face
    // is opened once; a character that no face has keeps the missing glyph.
    struct Fallback {
        FcPattern* font = nullptr;  // owned by sorted_
        bool opened = false;
        Face face;
        bool embolden = false;
    };

    const Fallback* fallback_for(char32_t code) const
    {
        if (!sorted_)
            sort_fallbacks();
        for (Fallback& fallback : fallbacks_) {
            FcCharSet* chars = nullptr;
            if (FcPatternGetCharSet(fallback.font, FC_CHARSET, 0, &chars) != FcResultMatch ||
                !FcCharSetHasChar(chars, code))
                continue;
            if (!fallback.opened)
                open(fallback);
            if (fallback.face && FT_Get_Char_Index(fallback.face.get(), code) != 0)
                return &fallback;
        }
        return nullptr;
    }

    void sort_fallbacks() const
    {
        request_ = request(family_, fc_weight(font_));
        FcResult result = FcResultNoMatch;
        // Trimmed, the order keeps only faces that add characters to those
        // before them, and the first face with a character is among them.
        if (request_)
            sorted_.reset(FcFontSort(nullptr, request_.get(), FcTrue, nullptr, &result));
        if (!sorted_)
            sorted_.reset(FcFontSetCreate());
        constexpr int most = 32;
        for (int i = 0; sorted_ && i < sorted_->nfont && i < most; ++i)
            fallbacks_.push_back(Fallback{sorted_->fonts[i], false, nullptr, false});
    }

    void open(Fallback& fallback) const
    {
        fallback.opened = true;
        // Preparing the face for the request brings fontconfig's advice to
        // thicken it.
        Pattern prepared(request_ ? FcFontRenderPrepare(nullptr, request_.get(), fallback.font) : nullptr);
        const std::optional<FontFile> file = file_of(prepared ? prepared.get() : fallback.font);
        if (!file)
            return;
        fallback.face = load_face(library_.get(), *file, pixels_);
        // A bitmap face far from the size would stand out of the line.
        if (fallback.face && !FT_IS_SCALABLE(fallback.face.get()) &&
            std::abs(fallback.face->size->metrics.y_ppem - pixels_) > pixels_ / 2)
            fallback.face.reset();
        fallback.embolden = needs_embolden(font_, *file);
    }

    Library library_;
    Face face_;
    FontSpec font_;
    bool embolden_;
    std::string family_;
    int pixels_;
    int ascent_ = 0;
    int descent_ = 0;
    int underline_offset_ = 1;
    int underline_thickness_ = 1;

    // Glyphs are rasterised once; the map's nodes stay where they are, so the
    // ASCII shortcuts into it stay valid.
    mutable std::mutex mutex_;
    mutable std::unordered_map<char32_t, GlyphBitmap> glyphs_;
    mutable std::array<const GlyphBitmap*, 128> ascii_{};
    mutable Pattern request_;
    mutable std::unique_ptr<FcFontSet, FontSetDeleter> sorted_;
    mutable std::vector<Fallback> fallbacks_;
};

}  // namespace

std::unique_ptr<TextRenderer> make_freetype_renderer(const FontSpec& font, double dpi)
{
    const double size = font.points * dpi / 72.0;
    const int pixels = size >= 1.0 ? static_cast<int>(std::lround(std::min(size, 1000.0))) : 1;
    FT_Library raw_library = nullptr;
    if (!FcInit() || FT_Init_FreeType(&raw_library) != 0)
        return make_bitmap_renderer(font, dpi);
    Library library(raw_library);

    const auto renderer = [&](const std::string& family, const FontFile& file, Face face) -> std::unique_ptr<TextRenderer> {
        return std::make_unique<FreeTypeTextRenderer>(std::move(library), std::move(face), font, needs_embolden(font, file),
                                                      family, pixels);
    };

    std::vector<std::string> families{font.face};
    for (std::string& stand_in : stand_ins_for(font.face))
        families.push_back(std::move(stand_in));
    for (const std::string& family : families)
        if (const std::optional<FontFile> file = match_family(family, fc_weight(font)))
            if (Face face = load_face(library.get(), *file, pixels))
                return renderer(family, *file, std::move(face));
    for (const FontFile& file : fallback_files(font))
        if (Face face = load_face(library.get(), file, pixels))
            return renderer("sans-serif", file, std::move(face));
    return make_bitmap_renderer(font, dpi);
}

}  // namespace fw
