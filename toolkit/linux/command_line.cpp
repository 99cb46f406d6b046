#include "toolkit/linux/command_line.h"

#include <charconv>
#include <climits>
#include <cstdlib>

namespace fw {

namespace {

// rTime is kept in seconds and compared in milliseconds in 32 bits.
constexpr int kMaxRestartMinutes = INT_MAX / 60'000;

bool all_digits(std::string_view text)
{
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

std::optional<int> whole_number(std::string_view text, int low, int high)
{
    if (!all_digits(text) || text.size() > 9) return std::nullopt;
    const int value = std::atoi(std::string(text).c_str());
    if (value < low || value > high) return std::nullopt;
    return value;
}

std::optional<double> real_number(std::string_view text, double low, double high)
{
    const std::optional<std::string> plain = decimal_text(text, 20);
    if (!plain) return std::nullopt;
    double value = 0;
    std::from_chars(plain->data(), plain->data() + plain->size(), value);
    if (value < low || value > high) return std::nullopt;
    return value;
}

std::optional<int> background_named(std::string_view name)
{
    if (name == "black") return 0;
    if (name == "blue") return 1;
    if (name == "gray" || name == "grey") return 2;
    if (name == "desktop") return 3;
    if (name == "random") return 4;
    return std::nullopt;
}

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

}  // namespace

std::optional<unsigned long> parse_window_id(std::string_view text)
{
    unsigned long long value = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const std::string_view hex = text.substr(2);
        if (hex.size() > 8) return std::nullopt;
        for (char c : hex) {
            int d;
            if (c >= '0' && c <= '9') d = c - '0';
            else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
            else return std::nullopt;
            value = value * 16 + static_cast<unsigned long long>(d);
        }
    } else {
        if (!all_digits(text) || text.size() > 10) return std::nullopt;
        value = std::strtoull(std::string(text).c_str(), nullptr, 10);
    }
    if (value == 0 || value > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<unsigned long>(value);
}

ParsedCommandLine parse_command_line(const std::vector<std::string>& arguments, FlagSyntax syntax)
{
    ParsedCommandLine result;
    CommandLine& c = result.command;
    SettingOverrides& o = c.overrides;

    for (size_t i = 0; i < arguments.size() && result.ok(); ++i) {
        std::string_view arg = arguments[i];
        if (!arg.starts_with("-") || arg == "-") {
            c.saver_arguments.emplace_back(arg);
            continue;
        }
        std::optional<std::string_view> attached;  // the value of --flag=value
        if (const size_t eq = arg.find('='); eq != std::string_view::npos) {
            attached = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        }
        const std::string flag(arg);
        const bool single_dash = !arg.starts_with("--");
        const std::string_view name = arg.substr(single_dash ? 1 : 2);

        auto take_value = [&]() -> std::optional<std::string_view> {
            if (attached) return attached;
            if (i + 1 < arguments.size()) return std::string_view(arguments[++i]);
            result.error = "frostwisp: " + flag + " needs a value";
            return std::nullopt;
        };
        auto bad = [&](std::string_view value, const std::string& wanted) {
            result.error = "frostwisp: " + flag + " wants " + wanted + ", not " + quoted(value);
        };
        auto no_value_allowed = [&]() {
            if (attached) result.error = "frostwisp: " + flag + " takes no value";
            return !attached;
        };

        if (name == "root" && !attached) {
            c.root = true;
        } else if (name == "window-id") {
            if (auto v = take_value()) {
                if (auto id = parse_window_id(*v)) c.window_id = id;
                else bad(*v, "a window id (0x... or decimal)");
            }
        } else if (single_dash) {
            // Windows-style and other short switches are the saver's ("-s" ends at once).
            c.saver_arguments.emplace_back(arguments[i]);
        } else if (name == "help") {
            if (no_value_allowed()) c.help = true;
        } else if (name == "wayland" || name == "x11") {
            if (no_value_allowed()) c.display = name == "wayland" ? DisplayChoice::wayland : DisplayChoice::x11;
        } else if (name == "max-flakes") {
            if (auto v = take_value()) {
                if (auto n = whole_number(*v, 0, 500)) o.max_flakes = n;
                else bad(*v, "a whole number from 0 to 500");
            }
        } else if (name == "speed") {
            if (auto v = take_value()) {
                if (auto x = real_number(*v, 0, 100)) o.speed = x;
                else bad(*v, "a number from 0 to 100");
            }
        } else if (name == "size") {
            std::optional<std::string_view> v = attached;
            if (!v && i + 1 < arguments.size()) v = arguments[i + 1];
            if (syntax == FlagSyntax::render && v && v->find_first_of("xX") != std::string_view::npos) {
                c.saver_arguments.emplace_back(arguments[i]);  // the picture's size, WxH
            } else if ((v = take_value())) {
                if (auto x = real_number(*v, 0, 100)) o.size = x;
                else bad(*v, "a number from 0 to 100");
            }
        } else if (name == "date" || name == "no-date") {
            if (no_value_allowed()) o.date = name == "date";
        } else if (name == "time" || name == "no-time") {
            if (no_value_allowed()) o.time = name == "time";
        } else if (name == "restart" || name == "no-restart") {
            if (no_value_allowed()) o.restart = name == "restart";
        } else if (name == "restart-minutes") {
            if (auto v = take_value()) {
                if (auto n = whole_number(*v, 1, kMaxRestartMinutes)) o.restart_minutes = n;
                else bad(*v, "a whole number of minutes from 1 to " + std::to_string(kMaxRestartMinutes));
            }
        } else if (name == "background") {
            if (auto v = take_value()) {
                if (auto b = background_named(*v)) o.background = b;
                else bad(*v, "black, blue, gray, desktop or random");
            }
        } else if (syntax == FlagSyntax::render) {
            c.saver_arguments.emplace_back(arguments[i]);
        } else {
            result.error = "frostwisp: unknown option " + flag + " (try --help)";
        }
    }
    return result;
}

HackRequest hack_target(const CommandLine& command, const char* xscreensaver_window)
{
    if (command.window_id) return {HackTarget{false, *command.window_id}, {}};
    if (xscreensaver_window && *xscreensaver_window) {
        if (auto id = parse_window_id(xscreensaver_window)) return {HackTarget{false, *id}, {}};
        return {std::nullopt, "frostwisp: XSCREENSAVER_WINDOW wants a window id (0x... or decimal), not " +
                                  quoted(xscreensaver_window)};
    }
    if (command.root) return {HackTarget{true, 0}, {}};
    return {};
}

std::string usage_text()
{
    return "Usage: frostwisp [/S | /C | /P <window>] [options]\n"
           "       frostwisp --idle [MINUTES] [--x11 | --wayland] [settings]\n"
           "       frostwisp --autostart [MINUTES | off]\n"
           "       frostwisp --render OUT.png [--size WxH | --monitors WxH+X+Y[,WxH+X+Y...]] [--ticks N]\n"
           "                 [--clock YYYY-MM-DDTHH:MM:SS] [--desktop IMAGE]\n"
           "\n"
           "Switches:\n"
           "  /S, none             the full-screen saver\n"
           "  /C                   the settings dialog\n"
           "  /P <window>          the still preview inside an X window\n"
           "  /A <window>          change the saver password (Windows 9x only; nothing here)\n"
           "\n"
           "Display (the full-screen saver and the dialogs; the preview and the hack are X's):\n"
           "  --wayland            on the Wayland compositor of $WAYLAND_DISPLAY\n"
           "  --x11                on the X display of $DISPLAY\n"
           "                       (without either: Wayland where a compositor answers, else X)\n"
           "\n"
           "As an XScreenSaver hack (no grab, ends on SIGTERM):\n"
           "  -root, --root        draw into the root window, or into $XSCREENSAVER_WINDOW\n"
           "  -window-id ID, --window-id ID\n"
           "                       draw into window ID (0x... or decimal)\n"
           "\n"
           "Starting by itself (Wayland: sway, KDE Plasma, GNOME; X11):\n"
           "  --idle [MINUTES]     watch the session and start the full-screen saver after\n"
           "                       MINUTES of idle time (default 10; 0.5 is half a minute),\n"
           "                       again after each new idle period; one watcher a session\n"
           "  --autostart [MINUTES], --autostart off\n"
           "                       run the watcher at every login (an XDG autostart entry),\n"
           "                       or no longer\n"
           "\n"
           "Settings for this run only (the stored ones stay as they are):\n"
           "  --max-flakes N       most flakes at once, 0..500\n"
           "  --speed X            speed factor, 0..100 (the dialog offers 2.08..10)\n"
           "  --size X             size factor, 0..100 (the dialog offers 2.08..10)\n"
           "  --date, --no-date    show the date or not\n"
           "  --time, --no-time    show the time or not\n"
           "  --restart, --no-restart\n"
           "                       rebuild the scene periodically or not\n"
           "  --restart-minutes N  minutes between rebuilds\n"
           "  --background NAME    black, blue, gray, desktop or random\n"
           "\n"
           "  --help               this text\n";
}

std::optional<std::string> decimal_text(std::string_view text, size_t longest)
{
    if (text.empty() || text.size() > longest) return std::nullopt;
    std::string plain;
    bool point = false, digit = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            digit = true;
            plain += c;
        } else if ((c == '.' || c == ',') && !point) {
            point = true;
            plain += '.';
        } else {
            return std::nullopt;
        }
    }
    if (!digit) return std::nullopt;
    return plain;
}

}  // namespace fw
