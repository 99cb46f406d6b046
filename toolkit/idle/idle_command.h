// The idle watcher's flags, taken out of the command line before the rest
// is read as usual: --idle [MINUTES] runs the watcher; --autostart [MINUTES]
// writes the XDG autostart entry that runs it at login, --autostart off
// removes the entry.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace fw {

struct IdleRequest {
    enum class Kind { none, watch, autostart_on, autostart_off };
    Kind kind = Kind::none;
    std::string minutes = "10";  // as the user wrote it, with a '.' for a ','
    uint32_t delay_ms = 600'000;
    std::vector<std::string> rest;  // the arguments without the watcher's flags
    std::string error;              // one line; empty when the flags were good
};

// arguments: without the program name.
IdleRequest take_idle_flags(const std::vector<std::string>& arguments);

// The autostart entry's text for a program file and a delay.
std::string autostart_entry(const std::filesystem::path& program, const std::string& minutes);

// Writes or removes $XDG_CONFIG_HOME/autostart/frostwisp.desktop and says on
// stdout what it did (on stderr what failed); the exit status.
int change_autostart(const IdleRequest& request, const std::filesystem::path& config_home,
                     const std::filesystem::path& program);

}  // namespace fw
