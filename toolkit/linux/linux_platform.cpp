#include "toolkit/linux/linux_platform.h"

#include "toolkit/clock_text.h"

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

extern char** environ;

namespace fw {

namespace {

std::filesystem::path xdg(const char* variable, const char* fallback)
{
    const char* v = std::getenv(variable);
    if (v && *v == '/') return v;
    const std::filesystem::path base = LinuxPlatform::home();
    return base.empty() ? base : base / fallback;
}

}  // namespace

LinuxPlatform::LinuxPlatform(std::vector<std::string> arguments, SettingsStore& settings)
    : arguments_(std::move(arguments)), settings_(settings)
{
}

std::filesystem::path LinuxPlatform::home()
{
    if (const char* h = std::getenv("HOME"); h && *h == '/') return h;
    // Without HOME (a service, env -i) the account's own folder still is the
    // place, never a folder that other users can write to.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

std::filesystem::path LinuxPlatform::config_home() { return xdg("XDG_CONFIG_HOME", ".config"); }
std::filesystem::path LinuxPlatform::state_home() { return xdg("XDG_STATE_HOME", ".local/state"); }

std::string LinuxPlatform::command_text() const
{
    std::string text;
    for (const std::string& a : arguments_) {
        if (!text.empty()) text += ' ';
        text += a;
    }
    return text;
}

std::filesystem::path LinuxPlatform::program_file() const
{
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path("frostwisp") : path;
}

double LinuxPlatform::seconds_since_midnight() const
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    localtime_r(&now.tv_sec, &local);
    return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + static_cast<double>(now.tv_nsec) / 1e9;
}

uint32_t LinuxPlatform::tick_count() const
{
    // Milliseconds since the system started, wrapping like a 32-bit counter.
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const auto ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1'000'000u;
    return static_cast<uint32_t>(ms);
}

std::tm LinuxPlatform::local_time() const
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

bool LinuxPlatform::get_version(OsVersionInfo& info) const
{
    utsname u{};
    if (uname(&u) != 0) return false;
    unsigned major = 0, minor = 0, patch = 0;
    std::sscanf(u.release, "%u.%u.%u", &major, &minor, &patch);
    info.platform_id = platform_not_windows;
    info.major = major;
    info.minor = minor;
    info.build = patch;
    const std::string text = std::string(u.sysname) + " " + u.release + " " + u.machine;
    std::memset(info.csd_version, 0, sizeof info.csd_version);
    std::memcpy(info.csd_version, text.data(), std::min(text.size(), sizeof info.csd_version - 1));
    return true;
}

char LinuxPlatform::decimal_separator() const { return fw::decimal_separator(); }
std::string LinuxPlatform::short_date_text(const std::tm& when) const { return fw::short_date_text(when); }
std::string LinuxPlatform::long_time_text(const std::tm& when) const { return fw::long_time_text(when); }

void LinuxPlatform::open_url(const std::string& url)
{
    // Started without waiting; a failure shows nothing. A short-lived child
    // starts xdg-open and exits at once, so xdg-open is adopted by init and
    // leaves no zombie behind.
    const pid_t child = fork();
    if (child == 0) {
        pid_t grandchild = 0;
        char* const argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(url.c_str()), nullptr};
        const int rc = posix_spawnp(&grandchild, "xdg-open", nullptr, nullptr, argv, environ);
        _exit(rc == 0 ? 0 : 1);
    }
    if (child > 0) waitpid(child, nullptr, 0);
}

std::filesystem::path LinuxPlatform::user_state_dir() const
{
    const std::filesystem::path state = state_home();
    return state.empty() ? state : state / "frostwisp";
}

bool LinuxPlatform::append_log_file(const std::filesystem::path& file, std::string_view text, uintmax_t rotate_at)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        // O_NONBLOCK: a pipe without a reader fails at once instead of
        // holding the program (and a grabbed screen) in open.
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                              0666);
        if (fd < 0) return false;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1) {
            ::close(fd);
            return false;
        }
        if (static_cast<uintmax_t>(st.st_size) >= rotate_at && attempt == 0) {
            ::close(fd);
            std::filesystem::path older = file;
            older += ".1";
            if (::rename(file.c_str(), older.c_str()) != 0) return false;
            continue;
        }
        bool written = true;
        for (size_t done = 0; done < text.size() && written;) {
            const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            written = n > 0;
            if (written) done += static_cast<size_t>(n);
        }
        return ::close(fd) == 0 && written;
    }
    return false;
}

void LinuxPlatform::end_program()
{
    std::fflush(nullptr);
    std::_Exit(end_status());
}

}  // namespace fw
