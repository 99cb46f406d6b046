// The settings store as an INI file per application:
// <config dir>/<application in lower case>/<same>.ini with one [section] per
// section and key=value lines (see IniText for what is read and kept).
//
// A save replaces the file in one step: the new text goes to a fresh
// temporary file in the same folder, with the old file's mode, is synced to
// the disk and renamed over the old one, so that a crash leaves the old file
// or the new one, never a part of either. A settings file that is a link is
// written through: the link's target is replaced and the link stays. A file
// that is no text at all reads as empty and is moved aside, to
// <name>.bad, <name>.bad.1, ... (never over an earlier one), by the next save.
#pragma once

#include "toolkit/ini_text.h"
#include "toolkit/settings_store.h"

#include <filesystem>
#include <string>

namespace fw {

class IniStore : public SettingsStore {
public:
    // An empty config_dir stands for a user without any folder: every key
    // reads as missing and every write fails.
    explicit IniStore(std::filesystem::path config_dir);

    std::optional<std::string> read(std::string_view app, std::string_view section, std::string_view key) override;
    void write(std::string_view app, std::string_view section, std::string_view key, std::string_view value) override;
    void write_all(std::string_view app, std::string_view section, const SettingValues& values) override;

    std::filesystem::path file_for(std::string_view app) const;

    // Up to max_file_size of what the user wrote, and room for the lines the
    // program adds to it, so that every file it writes it also reads. Larger
    // files are no settings file: they read as empty and are moved aside.
    static constexpr size_t max_user_text = size_t{1} << 20;
    static constexpr size_t room_for_settings = 4096;
    static constexpr size_t max_file_size = max_user_text + room_for_settings;

private:
    std::filesystem::path dir_;
};

}  // namespace fw
