#include "toolkit/ini_text.h"

#include "toolkit/utf8.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <utility>

namespace fw {

namespace {

constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v'; }

std::string_view strip(std::string_view s)
{
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

bool same_name(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool is_comment(std::string_view line) { return !line.empty() && (line[0] == ';' || line[0] == '#'); }

// The section name of a "[name]" line, or nothing.
std::optional<std::string_view> section_of(std::string_view line)
{
    line = strip(line);
    if (line.size() < 2 || line.front() != '[') return std::nullopt;
    const size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return strip(line.substr(1, close - 1));
}

// Splits "key=value"; nothing for other lines.
std::optional<std::pair<std::string_view, std::string_view>> entry_of(std::string_view line)
{
    const std::string_view s = strip(line);
    if (s.empty() || is_comment(s) || s.front() == '[') return std::nullopt;
    const size_t eq = s.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    const std::string_view key = strip(s.substr(0, eq));
    if (key.empty()) return std::nullopt;
    return std::make_pair(key, strip(s.substr(eq + 1)));
}

bool is_binary(std::string_view line)
{
    if (line.find('\0') != std::string_view::npos) return true;
    for (size_t at = 0; at < line.size();) {
        const size_t start = at;
        if (next_code_point(line, at) == replacement_character && line.substr(start, 3) != "\xEF\xBF\xBD") return true;
    }
    return false;
}

}  // namespace

bool IniText::parse(std::string_view text, IniText& out)
{
    out = IniText();
    if (text.starts_with(utf8_bom)) {
        out.bom_ = true;
        text.remove_prefix(utf8_bom.size());
    }
    std::map<std::string, int> ends;
    size_t binary = 0, written = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        size_t next = end;
        if (next < text.size()) next += text.compare(next, 2, "\r\n") == 0 ? 2 : 1;
        Line line{std::string(text.substr(start, end - start)), std::string(text.substr(end, next - end))};
        if (!line.end.empty()) ++ends[line.end];
        if (!strip(line.text).empty()) {
            ++written;
            if (is_binary(line.text)) ++binary;
        }
        out.lines_.push_back(std::move(line));
        start = next;
    }
    if (2 * binary > written) {
        out = IniText();
        return false;
    }
    // Lines added later end like most lines already there; the first style
    // seen wins a tie.
    int most = 0;
    for (const Line& line : out.lines_) {
        if (line.end.empty()) continue;
        if (const int n = ends[line.end]; n > most) {
            most = n;
            out.newline_ = line.end;
        }
    }
    return true;
}

std::optional<std::string> IniText::get(std::string_view section, std::string_view key) const
{
    bool inside = false;
    for (const Line& line : lines_) {
        if (auto name = section_of(line.text)) {
            inside = same_name(*name, section);
        } else if (inside) {
            if (auto entry = entry_of(line.text); entry && same_name(entry->first, key)) return std::string(entry->second);
        }
    }
    return std::nullopt;
}

void IniText::set(std::string_view section, std::string_view key, std::string_view value)
{
    bool inside = false;
    std::optional<size_t> insert_at;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (auto name = section_of(lines_[i].text)) {
            inside = same_name(*name, section);
            if (inside) insert_at = i + 1;
        } else if (inside) {
            if (auto entry = entry_of(lines_[i].text)) {
                if (same_name(entry->first, key)) {
                    lines_[i].text = std::string(entry->first) + "=" + std::string(value);
                    return;
                }
                insert_at = i + 1;
            }
        }
    }
    Line line{std::string(key) + "=" + std::string(value), newline_};
    if (insert_at) {
        if (lines_[*insert_at - 1].end.empty()) lines_[*insert_at - 1].end = newline_;
        lines_.insert(lines_.begin() + static_cast<ptrdiff_t>(*insert_at), std::move(line));
        return;
    }
    if (!lines_.empty()) {
        if (lines_.back().end.empty()) lines_.back().end = newline_;
        if (!strip(lines_.back().text).empty()) lines_.push_back({"", newline_});
    }
    // Built by appending: "[" + std::string(...) draws a false -Wrestrict from GCC 12.
    std::string header;
    header.reserve(section.size() + 2);
    header.append(1, '[').append(section).append(1, ']');
    lines_.push_back({std::move(header), newline_});
    lines_.push_back(std::move(line));
}

std::string IniText::str() const
{
    std::string text(bom_ ? utf8_bom : std::string_view());
    for (const Line& line : lines_) text.append(line.text).append(line.end);
    return text;
}

}  // namespace fw
