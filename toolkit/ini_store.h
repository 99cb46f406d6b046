// The settings store as an INI file per application:
// <config dir>/<application in lower case>/<same>.ini with one [section] per
// section and key=value lines. Lines starting with ';' or '#' are comments.
// Every write replaces the file atomically (temporary file, then rename) and
// keeps all sections, keys and comments it does not own. A file that is no INI
// file at all is read as empty and left alone until the next write, which moves
// it aside to <name>.bad before writing a fresh one, so nothing is lost.
#pragma once

#include "toolkit/settings_store.h"

#include <filesystem>
#include <string>
#include <vector>

namespace fw {

class IniStore : public SettingsStore {
public:
    explicit IniStore(std::filesystem::path config_dir);

    std::optional<std::string> read(std::string_view app, std::string_view section, std::string_view key) override;
    void write(std::string_view app, std::string_view section, std::string_view key, std::string_view value) override;

    std::filesystem::path file_for(std::string_view app) const;

private:
    std::filesystem::path dir_;
};

// The parsed lines of one INI text, for reading and patching.
class IniText {
public:
    // False when the text is no INI file (binary bytes, or lines that are
    // neither sections, keys, comments nor blank).
    static bool parse(std::string_view text, IniText& out);

    std::optional<std::string> get(std::string_view section, std::string_view key) const;
    void set(std::string_view section, std::string_view key, std::string_view value);
    std::string str() const;

private:
    std::vector<std::string> lines_;
    std::string newline_ = "\n";
};

}  // namespace fw
