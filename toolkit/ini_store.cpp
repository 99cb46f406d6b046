#include "toolkit/ini_store.h"

#include "toolkit/runtime_error.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <system_error>
#include <utility>

namespace fw {

namespace {

std::string_view strip(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
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
    if (eq == std::string_view::npos || eq == 0) return std::nullopt;
    return std::make_pair(strip(s.substr(0, eq)), strip(s.substr(eq + 1)));
}

std::optional<std::string> read_file(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

[[noreturn]] void raise_for(const std::error_code& ec)
{
    if (ec == std::errc::permission_denied || ec == std::errc::read_only_file_system ||
        ec == std::errc::operation_not_permitted)
        raise_error(err::permission_denied);
    if (ec == std::errc::no_space_on_device) raise_error(err::disk_full);
    if (ec == std::errc::no_such_file_or_directory) raise_error(err::path_not_found);
    raise_error(err::path_file_access);
}

}  // namespace

bool IniText::parse(std::string_view text, IniText& out)
{
    out = IniText();
    for (unsigned char c : text)
        if ((c < 32 && c != '\t' && c != '\r' && c != '\n') || c == 127) return false;
    if (text.find("\r\n") != std::string_view::npos) out.newline_ = "\r\n";
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::string_view s = strip(line);
        if (!s.empty() && !is_comment(s) && !section_of(s) && !entry_of(s)) return false;
        out.lines_.emplace_back(line);
        start = end + 1;
    }
    return true;
}

std::optional<std::string> IniText::get(std::string_view section, std::string_view key) const
{
    bool inside = false;
    for (const std::string& line : lines_) {
        if (auto name = section_of(line)) {
            inside = same_name(*name, section);
        } else if (inside) {
            if (auto entry = entry_of(line); entry && same_name(entry->first, key)) return std::string(entry->second);
        }
    }
    return std::nullopt;
}

void IniText::set(std::string_view section, std::string_view key, std::string_view value)
{
    bool inside = false;
    std::optional<size_t> insert_at;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (auto name = section_of(lines_[i])) {
            inside = same_name(*name, section);
            if (inside) insert_at = i + 1;
        } else if (inside) {
            if (auto entry = entry_of(lines_[i])) {
                if (same_name(entry->first, key)) {
                    lines_[i] = std::string(entry->first) + "=" + std::string(value);
                    return;
                }
                insert_at = i + 1;
            }
        }
    }
    const std::string line = std::string(key) + "=" + std::string(value);
    if (insert_at) {
        lines_.insert(lines_.begin() + static_cast<ptrdiff_t>(*insert_at), line);
        return;
    }
    while (!lines_.empty() && strip(lines_.back()).empty()) lines_.pop_back();
    if (!lines_.empty()) lines_.emplace_back();
    std::string header;
    header.reserve(section.size() + 2);
    header.append(1, '[').append(section).append(1, ']');
    lines_.push_back(std::move(header));
    lines_.push_back(line);
}

std::string IniText::str() const
{
    std::string text;
    for (const std::string& line : lines_) text += line + newline_;
    return text;
}

IniStore::IniStore(std::filesystem::path config_dir) : dir_(std::move(config_dir)) {}

std::filesystem::path IniStore::file_for(std::string_view app) const
{
    std::string name(app);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return dir_ / name / (name + ".ini");
}

std::optional<std::string> IniStore::read(std::string_view app, std::string_view section, std::string_view key)
{
    const auto text = read_file(file_for(app));
    IniText ini;
    if (!text || !IniText::parse(*text, ini)) return std::nullopt;
    return ini.get(section, key);
}

void IniStore::write(std::string_view app, std::string_view section, std::string_view key, std::string_view value)
{
    const std::filesystem::path path = file_for(app);
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    if (ec) raise_for(ec);

    IniText ini;
    if (const auto text = read_file(path); text && !IniText::parse(*text, ini)) {
        // Not ours to interpret: keep the bytes beside the new file.
        std::filesystem::path aside = path;
        aside += ".bad";
        std::filesystem::rename(path, aside, ec);
        if (ec) raise_for(ec);
        ini = IniText();
    }
    ini.set(section, key, value);

    std::filesystem::path temp = path;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) raise_error(err::permission_denied);
        out << ini.str();
        out.flush();
        if (!out) {
            out.close();
            std::filesystem::remove(temp, ec);
            raise_error(err::disk_full);
        }
    }
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        raise_for(ec);
    }
}

}  // namespace fw
