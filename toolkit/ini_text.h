// The text of an INI file, for reading and patching: "[section]" lines,
// "key=value" lines, comments starting with ';' or '#', and blank lines.
// Reading keeps every well-formed line and ignores the rest; patching changes
// only the lines of the keys it sets, so everything else (stray lines, a
// byte-order mark, each line's own line end) is written back as it was read.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

class IniText {
public:
    // False only when the text is no text at all (most of its lines hold NUL
    // bytes or are not UTF-8); out is then empty. A leading UTF-8 byte-order
    // mark is skipped; CR, LF and CR LF all end a line.
    static bool parse(std::string_view text, IniText& out);

    // Section and key names are compared without regard to case.
    std::optional<std::string> get(std::string_view section, std::string_view key) const;
    // Replaces the key's first line, else adds one after the section's last
    // key, else appends the section. New lines end like most lines of the text.
    void set(std::string_view section, std::string_view key, std::string_view value);
    std::string str() const;

private:
    struct Line {
        std::string text;
        std::string end;  // "\n", "\r\n", "\r", or empty for a last line without one
    };
    std::vector<Line> lines_;
    bool bom_ = false;
    std::string newline_ = "\n";
};

}  // namespace fw
