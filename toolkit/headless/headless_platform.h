// The in-memory backend: windows are surfaces, time is simulated, the system
// calls are recorded. Tests drive the program with it, and the off-screen
// renderer runs the scene on it.
#pragma once

#include "toolkit/form.h"
#include "toolkit/platform.h"
#include "toolkit/shown_tiles.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace fw {

// Settings kept in memory, for tests.
class MemoryStore : public SettingsStore {
public:
    std::optional<std::string> read(std::string_view app, std::string_view section, std::string_view key) override;
    void write(std::string_view app, std::string_view section, std::string_view key, std::string_view value) override;
    // "app/section/key" -> text, in the order first written.
    std::vector<std::pair<std::string, std::string>> entries;
    // Makes every write fail with this run-time error number (0: none).
    int fail_writes_with = 0;
};

struct HeadlessOptions {
    std::string command_text;
    std::filesystem::path program_file = "/tmp/frostwisp";
    std::filesystem::path user_state_dir = "/tmp/frostwisp-state";
    uint32_t start_tick = 3'600'000;  // one hour after a simulated system start
    std::tm clock{};                  // local time; advances with the ticks
    int screen_width = 1024;
    int screen_height = 768;
    std::vector<Monitor> monitors;  // as the system lists them; empty: the whole screen
    std::optional<Point> pointer;
    double twips_per_pixel = 15;
    Image desktop;  // what the display shows; black where it has no pixels
    char decimal_separator = '.';
    OsVersionInfo version{148, 6, 1, 7601, platform_windows_nt, {}};
    bool version_call_succeeds = true;
    bool password_accepted = true;
    std::unique_ptr<SettingsStore> settings;  // a MemoryStore when empty
    std::function<std::unique_ptr<TextRenderer>(const FontSpec&)> fonts;  // fixed-metrics boxes when empty
    std::function<std::string(const std::tm&)> short_date;  // mm/dd/yy when empty
    std::function<std::string(const std::tm&)> long_time;   // hh:mm:ss when empty
    std::map<NativeHandle, std::pair<int, int>> foreign_windows;  // handle -> client size
    // The system's Platform::append_log; when empty, a plain append to a
    // regular file or a new one.
    std::function<bool(const std::filesystem::path&, std::string_view, uintmax_t)> append_log;
};

class HeadlessWindow;

class HeadlessPlatform : public Platform {
public:
    explicit HeadlessPlatform(HeadlessOptions options = {});
    ~HeadlessPlatform() override;

    std::string command_text() const override { return options_.command_text; }
    std::filesystem::path program_file() const override { return options_.program_file; }
    double seconds_since_midnight() const override;
    uint32_t tick_count() const override { return tick_; }
    std::tm local_time() const override;
    bool get_version(OsVersionInfo& info) const override;
    char decimal_separator() const override { return options_.decimal_separator; }
    std::string short_date_text(const std::tm& when) const override;
    std::string long_time_text(const std::tm& when) const override;
    void set_screensaver_active(bool active) override;
    void set_screensaver_running(bool running) override;
    void show_cursor(bool show) override;
    bool verify_screensave_password(NativeHandle window) override;
    void change_screensave_password(NativeHandle window) override;
    void beep() override;
    void open_url(const std::string& url) override;
    SettingsStore& settings() override { return *options_.settings; }
    std::filesystem::path user_state_dir() const override { return options_.user_state_dir; }
    bool append_log(const std::filesystem::path& file, std::string_view text, uintmax_t rotate_at) override;
    int screen_width_px() const override { return options_.screen_width; }
    int screen_height_px() const override { return options_.screen_height; }
    double twips_per_pixel_x() const override { return options_.twips_per_pixel; }
    double twips_per_pixel_y() const override { return options_.twips_per_pixel; }
    Image capture_screen(int x, int y, int width, int height) override;
    std::vector<Monitor> listed_monitors() override { return options_.monitors; }
    std::optional<Point> pointer_position() override { return options_.pointer; }
    bool client_size(NativeHandle window, int& width, int& height) override;
    std::unique_ptr<NativeWindow> create_window(Form& form) override;
    std::unique_ptr<TextRenderer> create_text_renderer(const FontSpec& font) override;
    [[noreturn]] void end_program() override;

    // Advances the clock by ms and fires every timer that came due, in order.
    void advance(uint32_t ms);
    // Runs n timer periods of 30 ms.
    void run_ticks(int n) { for (int i = 0; i < n; ++i) advance(30); }
    HeadlessWindow* window_of(const Form& form) const;
    HeadlessOptions& options() { return options_; }

    // What the program asked of the system, one entry per call, in order:
    // "active 0", "running 1", "cursor 0", "password 12", "change-password 7",
    // "beep", "open <url>", "end".
    std::vector<std::string> calls;
    // Every rectangle read off the display, in order.
    std::vector<Rect> captures;

private:
    friend class HeadlessWindow;
    HeadlessOptions options_;
    uint32_t tick_;
    double elapsed_ms_ = 0;
    NativeHandle next_handle_ = 0x1000;
    std::vector<HeadlessWindow*> windows_;
};

class HeadlessWindow : public NativeWindow {
public:
    HeadlessWindow(HeadlessPlatform& owner, Form& form, NativeHandle handle);
    ~HeadlessWindow() override;

    NativeHandle handle() const override { return handle_; }
    void show(ShowMode mode) override;
    void set_window_state(WindowState state) override;
    bool set_topmost(bool topmost, bool activate) override;
    void refresh() override;
    void embed(NativeHandle parent, int width, int height) override;
    void move(int left, int top, int width, int height) override;
    void set_timer(int interval_ms, bool enabled) override;
    void destroy() override;

    Form& form() { return form_; }
    bool visible = false;
    bool topmost = false;
    bool modal = false;
    WindowState state = WindowState::normal;
    NativeHandle parent = 0;
    int left = 0, top = 0, width = 0, height = 0;
    int refreshes = 0;
    // What the last refresh would send to a display: the parts of the
    // surface that changed since the one before, as a real window finds them.
    std::vector<Rect> refreshed_parts;
    // Called at every refresh with those parts.
    std::function<void(const std::vector<Rect>&)> on_refresh;
    int timer_interval = 0;
    bool timer_enabled = false;
    uint32_t timer_due = 0;

private:
    HeadlessPlatform& owner_;
    Form& form_;
    NativeHandle handle_;
    ShownTiles shown_;
};

}  // namespace fw
