// The date and the time as the user's regional settings write them, and the
// decimal separator of those settings. Safe to call from any thread; the
// process's own locale is left alone.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace fw {

// In the user's short date and long time formats; where the user's settings
// cannot be loaded, in those of the neutral "C" locale (12/24/24, 18:05:09).
std::string short_date_text(const std::tm& when);
std::string long_time_text(const std::tm& when);
// '.' where the user's separator is not a single byte.
char decimal_separator();

// The same for a named locale ("C", "de_DE.UTF-8"; "" is the user's);
// nothing when the system does not have it.
std::optional<std::string> short_date_text(const std::tm& when, const std::string& locale_name);
std::optional<std::string> long_time_text(const std::tm& when, const std::string& locale_name);
std::optional<char> decimal_separator(const std::string& locale_name);

}  // namespace fw
