#include "toolkit/linux/override_store.h"

#include "toolkit/numbers.h"
#include "toolkit/platform.h"

namespace fw {

OverrideStore::OverrideStore(SettingsStore& inner, SettingOverrides overrides, std::string app, std::string section)
    : inner_(inner), overrides_(overrides), app_(std::move(app)), section_(std::move(section))
{
}

OverrideStore::OverrideStore(std::unique_ptr<SettingsStore> inner, SettingOverrides overrides, std::string app,
                             std::string section)
    : owned_(std::move(inner)), inner_(*owned_), overrides_(overrides), app_(std::move(app)), section_(std::move(section))
{
}

std::optional<std::string> OverrideStore::read(std::string_view app, std::string_view section, std::string_view key)
{
    if (app == app_ && section == section_)
        if (auto text = overridden(key)) return text;
    return inner_.read(app, section, key);
}

void OverrideStore::write(std::string_view app, std::string_view section, std::string_view key, std::string_view value)
{
    inner_.write(app, section, key, value);
}

void OverrideStore::write_all(std::string_view app, std::string_view section, const SettingValues& values)
{
    inner_.write_all(app, section, values);
}

std::optional<std::string> OverrideStore::overridden(std::string_view key) const
{
    const SettingOverrides& o = overrides_;
    auto flag = [](bool on) { return std::string(on ? "1" : "0"); };
    auto real = [](double v) { return float_text(to_single(v), platform().decimal_separator()); };
    if (key == "maxFl" && o.max_flakes) return std::to_string(*o.max_flakes);
    if (key == "SpeedF" && o.speed) return real(*o.speed);
    if (key == "Size" && o.size) return real(*o.size);
    if (key == "Date" && o.date) return flag(*o.date);
    if (key == "Time" && o.time) return flag(*o.time);
    if (key == "Restart" && o.restart) return flag(*o.restart);
    if (key == "rTime" && o.restart_minutes) return std::to_string(*o.restart_minutes * 60);
    if (key == "Background" && o.background) return std::to_string(*o.background);
    return std::nullopt;
}

}  // namespace fw
