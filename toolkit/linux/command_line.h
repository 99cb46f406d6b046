// The Linux program's own command-line flags, taken out before the rest goes
// to the saver as its command text: the XScreenSaver hack flags (-root,
// -window-id) and the flags that override stored settings for one run.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// Settings given on the command line; each one replaces the stored value for
// this run and is never written back.
struct SettingOverrides {
    std::optional<int> max_flakes;        // "maxFl"
    std::optional<double> speed;          // "SpeedF"
    std::optional<double> size;           // "Size"
    std::optional<bool> date;             // "Date"
    std::optional<bool> time;             // "Time"
    std::optional<bool> restart;          // "Restart"
    std::optional<int> restart_minutes;   // "rTime", in seconds
    std::optional<int> background;        // "Background": 0 black .. 3 desktop, 4 random

    bool empty() const
    {
        return !max_flakes && !speed && !size && !date && !time && !restart && !restart_minutes && !background;
    }
};

// Which display the saver shows on: by default a Wayland compositor where
// one runs, else the X display.
enum class DisplayChoice { automatic, wayland, x11 };

struct CommandLine {
    std::vector<std::string> saver_arguments;  // the switch and what follows it
    SettingOverrides overrides;
    bool root = false;                         // -root, --root
    std::optional<unsigned long> window_id;    // -window-id, --window-id
    DisplayChoice display = DisplayChoice::automatic;  // --wayland, --x11
    bool help = false;
};

enum class FlagSyntax {
    // The program proper: an unknown "--" flag is an error.
    saver,
    // The off-screen renderer: unknown "--" flags are its own and pass through,
    // and "--size WxH" is its picture size, not the flake size.
    render,
};

struct ParsedCommandLine {
    CommandLine command;
    std::string error;  // one line; empty when the arguments were good
    bool ok() const { return error.empty(); }
};

// arguments: without the program name.
ParsedCommandLine parse_command_line(const std::vector<std::string>& arguments, FlagSyntax syntax = FlagSyntax::saver);

// A window id as X clients write it: "0x" and hex digits, or decimal. Nothing
// for any other text, for 0, and for values that do not fit 32 bits.
std::optional<unsigned long> parse_window_id(std::string_view text);
// A decimal as the command line takes it: digits with at most one '.' or ','
// among them (the locale of whoever wrote it is unknown), at most longest
// characters. The same number with a '.', or nothing.
std::optional<std::string> decimal_text(std::string_view text, size_t longest);

// Where the hack draws: the window of -window-id, else the one named by the
// XSCREENSAVER_WINDOW variable (xscreensaver_window may be null), else the root
// window with -root; no target when the program does not run as a hack. A
// variable that names no window id is an error (one line), as a bad
// -window-id is, rather than a reason to grab the whole screen.
struct HackTarget {
    bool root = false;
    unsigned long window = 0;  // when not root
};
struct HackRequest {
    std::optional<HackTarget> target;
    std::string error;  // empty when the request was good
};
HackRequest hack_target(const CommandLine& command, const char* xscreensaver_window);

// The usage text for --help.
std::string usage_text();

}  // namespace fw
