#include "toolkit/idle/idle_command.h"

#include "toolkit/linux/command_line.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace fw {

namespace {

constexpr double kMaxMinutes = 1440;

// A value for an optional minutes argument: the attached one, else the next
// argument unless it is a flag or a switch.
std::optional<std::string_view> optional_value(const std::vector<std::string>& arguments, size_t& i,
                                               std::optional<std::string_view> attached)
{
    if (attached) return attached;
    if (i + 1 < arguments.size()) {
        const std::string_view next = arguments[i + 1];
        if (!next.starts_with("--") && !next.starts_with("/") && !next.empty()) {
            ++i;
            return next;
        }
    }
    return std::nullopt;
}

std::string quoted_exec_argument(const std::string& text)
{
    // The Desktop Entry Exec key: an argument with reserved characters goes
    // in double quotes, with ", `, $ and \ escaped by a backslash.
    if (text.find_first_of(" \t\n\"'\\><~|&;$*?#()`=%") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c == '%' ? "%%" : std::string(1, c);
    }
    return quoted + "\"";
}

}  // namespace

IdleRequest take_idle_flags(const std::vector<std::string>& arguments)
{
    IdleRequest request;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string_view arg = arguments[i];
        std::optional<std::string_view> attached;
        if (const size_t eq = arg.find('='); eq != std::string_view::npos && arg.starts_with("--")) {
            attached = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        }
        if (arg != "--idle" && arg != "--autostart") {
            request.rest.push_back(arguments[i]);
            continue;
        }
        if (request.kind != IdleRequest::Kind::none) {
            request.error = "frostwisp: --idle and --autostart go alone, once";
            return request;
        }
        const bool watch = arg == "--idle";
        const std::optional<std::string_view> value = optional_value(arguments, i, attached);
        request.kind = watch ? IdleRequest::Kind::watch : IdleRequest::Kind::autostart_on;
        if (!watch && value == "off") {
            request.kind = IdleRequest::Kind::autostart_off;
            continue;
        }
        if (!value) continue;
        const std::optional<std::string> text = decimal_text(*value, 12);
        double minutes = 0;
        if (text) std::from_chars(text->data(), text->data() + text->size(), minutes);
        if (!text || minutes <= 0 || minutes > kMaxMinutes) {
            request.error = "frostwisp: " + std::string(arg) + " takes the minutes of idle time before the saver " +
                            "starts, a number above 0 and up to 1440 such as 10 or 0.5" +
                            (watch ? "" : ", or off") + "; not \"" + std::string(*value) + "\"";
            return request;
        }
        request.minutes = *text;
        request.delay_ms = static_cast<uint32_t>(std::max(1.0, std::round(minutes * 60'000)));
    }
    return request;
}

std::string autostart_entry(const std::filesystem::path& program, const std::string& minutes)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Frostwisp\n"
           "Comment=Starts the Frostwisp screen saver when the session has been idle for " +
           minutes + " minutes\n" +
           "Exec=" + quoted_exec_argument(program.string()) + " --idle " + minutes + "\n" +
           "Icon=frostwisp\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "X-GNOME-Autostart-enabled=true\n";
}

int change_autostart(const IdleRequest& request, const std::filesystem::path& config_home,
                     const std::filesystem::path& program)
{
    if (config_home.empty()) {
        std::fprintf(stderr, "frostwisp: no folder for the autostart entry (neither XDG_CONFIG_HOME nor HOME is set)\n");
        return 1;
    }
    const std::filesystem::path dir = config_home / "autostart";
    const std::filesystem::path entry = dir / "frostwisp.desktop";
    if (request.kind == IdleRequest::Kind::autostart_off) {
        if (::unlink(entry.c_str()) == 0) {
            std::printf("frostwisp: removed %s; the idle watcher no longer starts at login\n", entry.c_str());
            return 0;
        }
        if (errno == ENOENT) {
            std::printf("frostwisp: there is no %s; nothing to remove\n", entry.c_str());
            return 0;
        }
        std::fprintf(stderr, "frostwisp: cannot remove %s: %s\n", entry.c_str(), std::strerror(errno));
        return 1;
    }

    // Written beside the entry and renamed over it, so that a login never
    // reads half an entry.
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    std::string temporary = (dir / "frostwisp.desktop.XXXXXX").string();
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "frostwisp: cannot write into %s: %s\n", dir.c_str(), std::strerror(errno));
        return 1;
    }
    const std::string text = autostart_entry(program, request.minutes);
    bool ok = ::fchmod(fd, 0644) == 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
              ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temporary.c_str(), entry.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        std::fprintf(stderr, "frostwisp: cannot write %s: %s\n", entry.c_str(), std::strerror(error));
        return 1;
    }
    std::printf("frostwisp: wrote %s; at the next login the saver starts after %s minutes of idle time "
                "(frostwisp --autostart off removes it)\n",
                entry.c_str(), request.minutes.c_str());
    return 0;
}

}  // namespace fw
