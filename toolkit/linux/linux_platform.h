// The system services of a Linux process, shared by the X11 and Wayland
// backends and the platform of a program without a display: clock, version
// record, locale, the run's settings, the state folder and opening addresses;
// the off-screen renderer uses its folders and its log file. Windows and
// their event loop are the subclass's business.
#pragma once

#include "toolkit/platform.h"

#include <string>
#include <vector>

namespace fw {

class LinuxPlatform : public Platform {
public:
    // The arguments after the program name, and the run's settings (the
    // user's file with the command line's one-run values over it), which
    // the entry point builds once and keeps while the platform lives.
    LinuxPlatform(std::vector<std::string> arguments, SettingsStore& settings);

    std::string command_text() const override;
    std::filesystem::path program_file() const override;
    double seconds_since_midnight() const override;
    uint32_t tick_count() const override;
    std::tm local_time() const override;
    // Linux has no such record: the platform identifier names no Windows, the
    // version is the kernel release's first two numbers, the build its third,
    // and the service-pack text "Linux <release> <machine>" from uname.
    bool get_version(OsVersionInfo& info) const override;
    char decimal_separator() const override;
    std::string short_date_text(const std::tm& when) const override;
    std::string long_time_text(const std::tm& when) const override;
    // There is no password service of the saver's own: the end is never refused.
    bool verify_screensave_password(NativeHandle) override { return true; }
    void change_screensave_password(NativeHandle) override {}
    void open_url(const std::string& url) override;
    SettingsStore& settings() override { return settings_; }
    // state_home() / "frostwisp".
    std::filesystem::path user_state_dir() const override;
    bool append_log(const std::filesystem::path& file, std::string_view text, uintmax_t rotate_at) override
    {
        return append_log_file(file, text, rotate_at);
    }
    [[noreturn]] void end_program() override;

    // The user's home folder: $HOME when it is an absolute path, else the
    // one the password database gives; empty when there is none. Never a
    // shared temporary folder.
    static std::filesystem::path home();
    // $XDG_CONFIG_HOME, else ~/.config; empty without a home.
    static std::filesystem::path config_home();
    // $XDG_STATE_HOME, else ~/.local/state; empty without a home.
    static std::filesystem::path state_home();
    // Platform::append_log on this system: opened without following a link,
    // without waiting on a pipe, and written to only when it is a regular
    // file of this user's with no other name.
    static bool append_log_file(const std::filesystem::path& file, std::string_view text, uintmax_t rotate_at);

private:
    std::vector<std::string> arguments_;
    SettingsStore& settings_;
};

}  // namespace fw
