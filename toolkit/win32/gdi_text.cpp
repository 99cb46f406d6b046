#include "toolkit/win32/gdi_text.h"

#include "toolkit/win32/dib_store.h"
#include "toolkit/win32/wide_text.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <utility>

namespace fw {

namespace {

constexpr WORD no_glyph = 0xFFFF;  // what GGI_MARK_NONEXISTING_GLYPHS marks
constexpr wchar_t system_link_key[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink";
// Fonts every Windows has for the scripts a Latin font lacks, each linked to
// the CJK fonts.
constexpr const wchar_t* interface_faces[] = {L"Microsoft Sans Serif", L"Segoe UI"};

// Direction marks and other characters that shape the text without ink of
// their own.
bool invisible_format(wchar_t c)
{
    return c == 0x061C || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x2064) ||
           (c >= 0x2066 && c <= 0x206F) || c == 0xFEFF;
}

// Han ideographs are in the fonts of four charsets; the user's code page says
// which of them the user reads.
BYTE han_charset()
{
    switch (GetACP()) {
    case 936: return GB2312_CHARSET;
    case 949: return HANGUL_CHARSET;
    case 950: return CHINESEBIG5_CHARSET;
    default: return SHIFTJIS_CHARSET;
    }
}

// The charset whose fonts have the character's script.
BYTE script_charset(wchar_t c)
{
    if (c >= 0x0370 && c < 0x0400) return GREEK_CHARSET;
    if (c >= 0x0400 && c < 0x0530) return RUSSIAN_CHARSET;
    if (c >= 0x0590 && c < 0x0600) return HEBREW_CHARSET;
    if ((c >= 0x0600 && c < 0x0780) || (c >= 0x08A0 && c < 0x0900) || (c >= 0xFB50 && c < 0xFE00) ||
        (c >= 0xFE70 && c < 0xFF00))
        return ARABIC_CHARSET;
    if (c >= 0x0E00 && c < 0x0E80) return THAI_CHARSET;
    if ((c >= 0x1100 && c < 0x1200) || (c >= 0x3130 && c < 0x3190) || (c >= 0xAC00 && c < 0xD7B0)) return HANGUL_CHARSET;
    if ((c >= 0x3040 && c < 0x3100) || (c >= 0x31F0 && c < 0x3200) || (c >= 0xFF61 && c < 0xFFA0)) return SHIFTJIS_CHARSET;
    if ((c >= 0x2E80 && c < 0xA000) || (c >= 0xF900 && c < 0xFB00) || (c >= 0xFF00 && c < 0xFFF0)) return han_charset();
    return DEFAULT_CHARSET;
}

// The faces SystemLink links to face: entries "FILE,Face[,scaling]"; one
// without a face names only a file, which GDI cannot make a font from.
std::vector<std::wstring> linked_faces(const std::wstring& face)
{
    std::vector<std::wstring> faces;
    DWORD bytes = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, system_link_key, face.c_str(), RRF_RT_REG_MULTI_SZ, nullptr, nullptr, &bytes) !=
            ERROR_SUCCESS ||
        bytes == 0)
        return faces;
    std::wstring list(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegGetValueW(HKEY_LOCAL_MACHINE, system_link_key, face.c_str(), RRF_RT_REG_MULTI_SZ, nullptr, list.data(),
                     &bytes) != ERROR_SUCCESS)
        return faces;
    list.resize(bytes / sizeof(wchar_t));
    for (size_t at = 0; at < list.size();) {
        size_t end = list.find(L'\0', at);
        if (end == std::wstring::npos) end = list.size();
        const std::wstring entry = list.substr(at, end - at);
        at = end + 1;
        const size_t comma = entry.find(L',');
        if (comma == std::wstring::npos) continue;
        std::wstring name = entry.substr(comma + 1, entry.find(L',', comma + 1) - comma - 1);
        name.erase(0, name.find_first_not_of(L' '));
        name.erase(name.find_last_not_of(L' ') + 1);
        if (!name.empty() && name.size() < LF_FACESIZE) faces.push_back(std::move(name));
    }
    return faces;
}

std::wstring face_of(HDC dc)
{
    wchar_t name[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, name);
    return name;
}

}  // namespace

GdiText::GdiText(const FontSpec& desc, int dpi) : dc_(CreateCompatibleDC(nullptr))
{
    logfont_.lfHeight = -static_cast<int>(std::lround(desc.points * dpi / 72.0));
    logfont_.lfWeight = static_cast<int>(desc.weight);
    logfont_.lfUnderline = desc.underline ? TRUE : FALSE;
    logfont_.lfCharSet = ANSI_CHARSET;
    logfont_.lfOutPrecision = OUT_DEFAULT_PRECIS;
    logfont_.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    logfont_.lfQuality = DEFAULT_QUALITY;
    logfont_.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    const std::wstring face = widen(desc.face);
    wcsncpy(logfont_.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    font_ = CreateFontIndirectW(&logfont_);
    original_font_ = SelectObject(dc_, font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT));
    GetTextMetricsW(dc_, &metrics_);
}

GdiText::~GdiText()
{
    if (scratch_) {
        SelectObject(dc_, original_bitmap_);
        DeleteObject(scratch_);
    }
    SelectObject(dc_, original_font_);
    if (font_) DeleteObject(font_);
    for (const Fallback& f : fallbacks_)
        if (f.font) DeleteObject(f.font);
    DeleteDC(dc_);
}

bool GdiText::has_glyph(Fallback& candidate, wchar_t c) const
{
    const HGDIOBJ own = GetCurrentObject(dc_, OBJ_FONT);
    if (!candidate.made) {
        candidate.made = true;
        LOGFONTW lf = logfont_;
        lf.lfCharSet = candidate.charset;
        std::fill(std::begin(lf.lfFaceName), std::end(lf.lfFaceName), L'\0');
        wcsncpy(lf.lfFaceName, candidate.face.c_str(), LF_FACESIZE - 1);
        candidate.font = CreateFontIndirectW(&lf);
        TEXTMETRICW m{};
        if (candidate.font && SelectObject(dc_, candidate.font) && GetTextMetricsW(dc_, &m) &&
            (m.tmPitchAndFamily & (TMPF_TRUETYPE | TMPF_VECTOR))) {
            candidate.ascent = m.tmAscent;
            candidate.height = m.tmHeight;
        } else if (candidate.font) {
            // A bitmap font marks no glyph as missing.
            SelectObject(dc_, own);
            DeleteObject(candidate.font);
            candidate.font = nullptr;
        }
        SelectObject(dc_, own);
    }
    if (!candidate.font) return false;
    SelectObject(dc_, candidate.font);
    WORD glyph = no_glyph;
    const DWORD got = GetGlyphIndicesW(dc_, &c, 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject(dc_, own);
    return got != GDI_ERROR && glyph != no_glyph;
}

int GdiText::fallback_for(wchar_t c) const
{
    if (const auto known = fallback_of_.find(c); known != fallback_of_.end()) return known->second;
    if (!linked_listed_) {
        linked_listed_ = true;
        const std::wstring own = face_of(dc_);
        std::vector<std::wstring> faces = linked_faces(logfont_.lfFaceName);
        for (const std::wstring& f : linked_faces(own)) faces.push_back(f);
        for (const wchar_t* base : interface_faces) {
            faces.emplace_back(base);
            for (std::wstring& f : linked_faces(base)) faces.push_back(std::move(f));
        }
        for (std::wstring& f : faces) {
            const auto same = [&](const Fallback& other) { return _wcsicmp(other.face.c_str(), f.c_str()) == 0; };
            if (_wcsicmp(f.c_str(), own.c_str()) != 0 && std::none_of(fallbacks_.begin(), fallbacks_.end(), same))
                fallbacks_.push_back({std::move(f)});
        }
    }
    // The named faces first, in their order; the font for the script last.
    int found = -1;
    for (size_t i = 0; i < fallbacks_.size() && found < 0; ++i)
        if (!fallbacks_[i].face.empty() && has_glyph(fallbacks_[i], c)) found = static_cast<int>(i);
    if (found < 0) {
        const BYTE charset = script_charset(c);
        auto script = std::find_if(fallbacks_.begin(), fallbacks_.end(),
                                   [&](const Fallback& f) { return f.face.empty() && f.charset == charset; });
        if (script == fallbacks_.end()) {
            fallbacks_.push_back({L"", charset});
            script = fallbacks_.end() - 1;
        }
        if (has_glyph(*script, c)) found = static_cast<int>(script - fallbacks_.begin());
    }
    fallback_of_.emplace(c, found);
    return found;
}

std::vector<GdiText::Run> GdiText::runs_of(const std::wstring& text) const
{
    std::vector<Run> runs;
    if (text.empty()) return runs;
    std::vector<WORD> glyphs(text.size(), 0);
    const bool marked = GetGlyphIndicesW(dc_, text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                                         GGI_MARK_NONEXISTING_GLYPHS) != GDI_ERROR;
    for (size_t i = 0; i < text.size(); ++i) {
        int font = own_font;
        if (marked && glyphs[i] == no_glyph) {
            font = fallback_for(text[i]);
            if (font < 0) font = invisible_format(text[i]) ? left_out : own_font;
        }
        if (!runs.empty() && runs.back().fallback == font) ++runs.back().length;
        else runs.push_back({i, 1, font});
    }
    return runs;
}

int GdiText::run_width(const std::wstring& text, const Run& run) const
{
    if (run.fallback == left_out) return 0;
    const HFONT font = run.fallback == own_font ? nullptr : fallbacks_[static_cast<size_t>(run.fallback)].font;
    const HGDIOBJ own = font ? SelectObject(dc_, font) : nullptr;
    SIZE size{0, 0};
    GetTextExtentPoint32W(dc_, text.c_str() + run.start, static_cast<int>(run.length), &size);
    if (own) SelectObject(dc_, own);
    return static_cast<int>(size.cx);
}

SIZE GdiText::extent(const std::wstring& text, const std::vector<Run>& runs) const
{
    SIZE size{0, 0};
    if (runs.size() <= 1 && (runs.empty() || runs[0].fallback == own_font)) {
        GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size);
        return size;
    }
    for (const Run& run : runs) size.cx += run_width(text, run);
    size.cy = metrics_.tmHeight;
    return size;
}

int GdiText::text_height(std::string_view utf8) const
{
    if (utf8.empty()) return static_cast<int>(metrics_.tmHeight);
    const std::wstring text = widen(utf8);
    return static_cast<int>(extent(text, runs_of(text)).cy);
}

int GdiText::text_width(std::string_view utf8) const
{
    const std::wstring text = widen(utf8);
    return static_cast<int>(extent(text, runs_of(text)).cx);
}

std::string GdiText::face_name() const { return narrow(face_of(dc_)); }

std::string GdiText::face_drawing(std::string_view utf8) const
{
    const std::wstring text = widen(utf8);
    const std::vector<Run> runs = runs_of(text);
    if (runs.empty() || runs[0].fallback == own_font) return face_name();
    if (runs[0].fallback == left_out) return {};
    const HGDIOBJ own = SelectObject(dc_, fallbacks_[static_cast<size_t>(runs[0].fallback)].font);
    const std::wstring face = face_of(dc_);
    SelectObject(dc_, own);
    return narrow(face);
}

bool GdiText::reserve(int width, int height) const
{
    if (scratch_ && width <= scratch_width_ && height <= scratch_height_) return true;
    const int w = std::max(width, scratch_width_), h = std::max(height, scratch_height_);
    void* bits = nullptr;
    HBITMAP dib = create_dib(dc_, w, h, &bits);
    if (!dib || !bits) {
        if (dib) DeleteObject(dib);
        return false;
    }
    const HGDIOBJ previous = SelectObject(dc_, dib);
    if (scratch_) DeleteObject(scratch_);
    else original_bitmap_ = previous;
    scratch_ = dib;
    scratch_bits_ = static_cast<Color*>(bits);
    scratch_width_ = w;
    scratch_height_ = h;
    return true;
}

void GdiText::draw(Canvas& canvas, int x, int y, std::string_view utf8, Color color) const
{
    const std::wstring text = widen(utf8);
    if (text.empty()) return;
    const std::vector<Run> runs = runs_of(text);
    const SIZE size = extent(text, runs);
    // A fallback's cell sits on the font's baseline and may reach above or
    // below the font's cell.
    int above = 0, below = static_cast<int>(size.cy);
    for (const Run& run : runs) {
        if (run.fallback < 0) continue;
        const Fallback& f = fallbacks_[static_cast<size_t>(run.fallback)];
        above = std::min(above, static_cast<int>(metrics_.tmAscent) - f.ascent);
        below = std::max(below, static_cast<int>(metrics_.tmAscent) - f.ascent + f.height);
    }
    // Bold and slanted glyphs reach past their advance, on either side.
    const int margin = static_cast<int>(metrics_.tmMaxCharWidth / 2 + metrics_.tmOverhang + 1);
    const auto clamp_to = [](long long v, int limit) { return static_cast<int>(std::clamp(v, 0LL, static_cast<long long>(limit))); };
    const int left = clamp_to(static_cast<long long>(x) - margin, canvas.width());
    const int right = clamp_to(static_cast<long long>(x) + size.cx + margin, canvas.width());
    const int top = clamp_to(static_cast<long long>(y) + above, canvas.height());
    const int bottom = clamp_to(static_cast<long long>(y) + below, canvas.height());
    const int w = right - left;
    const int h = bottom - top;
    if (w <= 0 || h <= 0) return;

    if (!reserve(w, h)) return;
    Color* pixels = scratch_bits_;
    const ptrdiff_t stride = scratch_width_;
    for (int row = 0; row < h; ++row) std::copy_n(std::as_const(canvas).row(top + row) + left, w, pixels + row * stride);

    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, RGB(red(color), green(color), blue(color)));
    SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    if (runs.size() == 1 && runs[0].fallback == own_font) {
        TextOutW(dc_, x - left, y - top, text.c_str(), static_cast<int>(text.size()));
    } else {
        int pen = x - left;
        for (const Run& run : runs) {
            if (run.fallback == left_out) continue;
            int lift = 0;
            HGDIOBJ own = nullptr;
            if (run.fallback >= 0) {
                const Fallback& f = fallbacks_[static_cast<size_t>(run.fallback)];
                lift = static_cast<int>(metrics_.tmAscent) - f.ascent;
                own = SelectObject(dc_, f.font);
            }
            TextOutW(dc_, pen, y - top + lift, text.c_str() + run.start, static_cast<int>(run.length));
            if (own) SelectObject(dc_, own);
            pen += run_width(text, run);
        }
    }
    GdiFlush();
    // GDI leaves the unused top byte of a pixel as it likes; a canvas keeps it 0.
    const PixelRows rows = canvas.write_rows(left, top, right, bottom);
    for (int row = 0; row < h; ++row) {
        const Color* src = pixels + row * stride;
        Color* dst = rows.row(top + row) + left;
        for (int col = 0; col < w; ++col) dst[col] = src[col] & 0x00FFFFFFu;
    }
}

}  // namespace fw
