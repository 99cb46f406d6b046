// A settings store that answers reads of the settings given on the command
// line with those values and hands everything else, every write included, to
// the real store. The overrides hold for the whole run and are never stored.
#pragma once

#include "toolkit/linux/command_line.h"
#include "toolkit/settings_store.h"

#include <memory>
#include <string>

namespace fw {

class OverrideStore : public SettingsStore {
public:
    // Overrides the keys of one application's section; inner must outlive the store.
    OverrideStore(SettingsStore& inner, SettingOverrides overrides, std::string app, std::string section);
    // The same, owning inner.
    OverrideStore(std::unique_ptr<SettingsStore> inner, SettingOverrides overrides, std::string app, std::string section);

    // Numbers with a fraction are written with the installed platform's
    // decimal separator, the one the reader parses them with.
    std::optional<std::string> read(std::string_view app, std::string_view section, std::string_view key) override;
    void write(std::string_view app, std::string_view section, std::string_view key, std::string_view value) override;
    void write_all(std::string_view app, std::string_view section, const SettingValues& values) override;

private:
    std::optional<std::string> overridden(std::string_view key) const;

    std::unique_ptr<SettingsStore> owned_;
    SettingsStore& inner_;
    SettingOverrides overrides_;
    std::string app_;
    std::string section_;
};

}  // namespace fw
