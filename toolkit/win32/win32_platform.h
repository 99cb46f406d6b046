// The Windows backend's system services: the process and its clock, the
// version record, the user's regional settings, the screen-saver state of the
// system, the registry store, the display, and windows made by Win32Window.
#pragma once

#include "toolkit/platform.h"
#include "toolkit/win32/registry_store.h"

#include <windows.h>

namespace fw {

class Win32Platform : public Platform {
public:
    Win32Platform();

    // GetCommandLineA without the program's own path.
    std::string command_text() const override;
    std::filesystem::path program_file() const override;
    double seconds_since_midnight() const override;
    uint32_t tick_count() const override;
    std::tm local_time() const override;
    bool get_version(OsVersionInfo& info) const override;
    char decimal_separator() const override;
    std::string short_date_text(const std::tm& when) const override;
    std::string long_time_text(const std::tm& when) const override;
    // The first change remembers what the activation was before it.
    void set_screensaver_active(bool active) override;
    // Puts back the activation the program found at its first change; the
    // end of every mode but the full-screen saver calls it.
    void restore_screensaver_active();
    void set_screensaver_running(bool running) override;
    void show_cursor(bool show) override;
    // The Windows 9x services, loaded when asked for; where they do not exist
    // the end is never refused and there is no password to change.
    bool verify_screensave_password(NativeHandle window) override;
    void change_screensave_password(NativeHandle window) override;
    void beep() override;
    void open_url(const std::string& url) override;
    SettingsStore& settings() override { return store_; }
    // %LOCALAPPDATA%\Frostwisp.
    std::filesystem::path user_state_dir() const override;
    // A name that is a reparse point (a link or a junction), a folder or a
    // device is refused.
    bool append_log(const std::filesystem::path& file, std::string_view text, uintmax_t rotate_at) override;
    // The virtual screen: every monitor, in physical pixels.
    int screen_width_px() const override;
    int screen_height_px() const override;
    double twips_per_pixel_x() const override;
    double twips_per_pixel_y() const override;
    // In screen coordinates, where the primary monitor's top-left corner is
    // (0, 0); the virtual screen may begin left of or above it.
    Image capture_screen(int x, int y, int width, int height) override;
    // EnumDisplayMonitors, in physical pixels.
    std::vector<Monitor> listed_monitors() override;
    std::optional<Point> pointer_position() override;
    // The primary monitor's work area (without the task bar).
    Rect dialog_area() override;
    bool client_size(NativeHandle window, int& width, int& height) override;
    std::unique_ptr<NativeWindow> create_window(Form& form) override;
    std::unique_ptr<TextRenderer> create_text_renderer(const FontSpec& desc) override;
    [[noreturn]] void end_program() override;

    // The arguments of a whole command line: everything after the program's
    // path, which is either quoted or ends at the first blank.
    static std::string arguments_of(std::string_view command_line);

private:
    RegistryStore store_;
    // SPI_GETSCREENSAVEACTIVE before the first change: 0 or 1, or -1 when the
    // system would not say.
    bool activation_asked_ = false;
    int activation_found_ = -1;
    // Held while the full-screen saver runs; the system frees it with the process.
    HANDLE running_mark_ = nullptr;
};

}  // namespace fw
