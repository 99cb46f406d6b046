// The per-user settings store: texts addressed by application, section and key.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fw {

// Keys and their texts, in the order they are to be written.
using SettingValues = std::vector<std::pair<std::string, std::string>>;

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored text, or nothing when the key is missing.
    virtual std::optional<std::string> read(std::string_view app, std::string_view section, std::string_view key) = 0;
    // Creates the key (and its section and application entry) as needed. A
    // failure raises the run-time error that says why.
    virtual void write(std::string_view app, std::string_view section, std::string_view key, std::string_view value) = 0;
    // Writes several keys of one section. A store that keeps them in one file
    // replaces it once, so that the keys change together or not at all; this
    // default writes them one after the other. A failure raises the run-time
    // error that says why.
    virtual void write_all(std::string_view app, std::string_view section, const SettingValues& values)
    {
        for (const auto& [key, value] : values) write(app, section, key, value);
    }

    // The text, or default_text when the key is missing.
    std::string read_or(std::string_view app, std::string_view section, std::string_view key, std::string_view default_text)
    {
        auto text = read(app, section, key);
        return text ? *text : std::string(default_text);
    }
};

}  // namespace fw
