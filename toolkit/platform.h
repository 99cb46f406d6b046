// What the portable program needs from the system it runs on. Each backend
// (toolkit/x11, toolkit/wayland, toolkit/win32, toolkit/headless) implements
// this once; the entry point installs it, and portable code reaches it
// through platform().
//
// The flow of control of one run:
// 1. The entry point (host/linux_main.cpp, host/win32_main.cpp, or the
//    off-screen renderer in host/render_main.cpp) picks the backend from the
//    command line and the session, builds the run's settings store once, and
//    hands both to run_saver (host/run_saver.h), which installs the backend.
// 2. Saver::Main reads the settings and dispatches on the switch: the
//    full-screen saver loads one frmMain per monitor, /P the preview inside
//    the given window, /C the settings dialog; switches that open nothing
//    return at once.
// 3. Loading a form makes its NativeWindow. From then on the backend's loop
//    owns the window and the form's timer (Linux: EventLoop in
//    toolkit/linux/event_loop.h; Windows: the message loop) and calls the
//    form's handlers, one at a time: Form_Resize when the client area takes
//    its size, Timer_Timer for each animation tick, and the input events
//    that Form lists.
// 4. The input rule is the scene's: a key, a click or a move of more than a
//    few pixels calls Saver::exitScreensaver, which unloads the forms.
// 5. The loop returns once no form is loaded (or a signal ends it);
//    run_saver discards what is left while the backend still lives, and the
//    entry point returns the status. end_program() and ProgramEnd end the
//    program from anywhere in between.
#pragma once

#include "toolkit/canvas.h"
#include "toolkit/font.h"
#include "toolkit/monitors.h"
#include "toolkit/settings_store.h"

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <string_view>
#include <utility>

namespace fw {

class Form;

// A window handle as the system knows it (HWND, X window id); 0 names none.
using NativeHandle = intptr_t;

// The system's version record, in the layout the error protocol reports.
struct OsVersionInfo {
    uint32_t size = 148;
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    uint32_t platform_id = 0;
    char csd_version[128] = {};
};
inline constexpr uint32_t platform_win32s = 0;
inline constexpr uint32_t platform_windows_9x = 1;
inline constexpr uint32_t platform_windows_nt = 2;
// Reported by systems that are no Windows at all; the protocol names no platform for it.
inline constexpr uint32_t platform_not_windows = 0xFFFFFFFF;

enum class WindowState { normal, maximized };
enum class ShowMode { modeless, modal };

// Answers whether an object still lives, for code that calls out to a
// handler which may delete it (a weak reference to the object's lifetime).
// Copies of a watch share the answer; the object is gone once its Lifetime
// is destroyed.
class Lifetime {
public:
    class Watch {
    public:
        bool alive() const { return !token_.expired(); }

    private:
        friend class Lifetime;
        explicit Watch(std::weak_ptr<const char> token) : token_(std::move(token)) {}
        std::weak_ptr<const char> token_;
    };

    Lifetime() = default;
    Lifetime(const Lifetime&) = delete;
    Lifetime& operator=(const Lifetime&) = delete;
    Watch watch() const { return Watch(token_); }

private:
    std::shared_ptr<const char> token_ = std::make_shared<const char>('\0');
};

// The system side of one loaded window. The backend owns the real window and
// calls the form's handlers for its events.
class NativeWindow {
public:
    virtual ~NativeWindow() = default;
    // Any call of a form's handler may unload the form, which destroys its
    // window: code that goes on using the window after one asks this first.
    Lifetime::Watch watch() const { return lifetime_.watch(); }
    virtual NativeHandle handle() const = 0;
    // Modal returns when the form has been unloaded.
    virtual void show(ShowMode mode) = 0;
    // Maximised takes the form's screen area (Form::screen_area: its
    // monitor, else the whole screen); the backend reports the new client
    // size through Form::client_resized.
    virtual void set_window_state(WindowState state) = 0;
    // Keeps the window above all others (or not); activate gives it the input.
    virtual bool set_topmost(bool topmost, bool activate) = 0;
    // Shows the form's surface on the screen.
    virtual void refresh() = 0;
    // Makes the window a child of parent, at (0, 0) with the given client
    // size, shown without activating it.
    virtual void embed(NativeHandle parent, int width, int height) = 0;
    // Places the window's top-left corner at (left, top) on the screen and
    // gives its client area the size width x height, in pixels; a frame the
    // window has comes on top of that size.
    virtual void move(int left, int top, int width, int height) = 0;
    virtual void set_timer(int interval_ms, bool enabled) = 0;
    virtual void destroy() = 0;
    // Pixels of the window per unit of the pointer's own motion: a Wayland
    // pointer moves in logical pixels, which at scale 3 are 3 of the window's.
    virtual double pointer_unit() const { return 1; }

private:
    Lifetime lifetime_;
};

class Platform {
public:
    virtual ~Platform() = default;

    // Process and clock.
    virtual std::string command_text() const = 0;              // the arguments as one text, without the program path
    virtual std::filesystem::path program_file() const = 0;    // full path of the running program file
    virtual double seconds_since_midnight() const = 0;
    virtual uint32_t tick_count() const = 0;                    // milliseconds since the system started
    virtual std::tm local_time() const = 0;
    virtual bool get_version(OsVersionInfo& info) const = 0;    // false leaves info as it was

    // Locale.
    virtual char decimal_separator() const = 0;
    virtual std::string short_date_text(const std::tm& when) const = 0;
    virtual std::string long_time_text(const std::tm& when) const = 0;

    // System state a screen saver changes while it runs.
    virtual void set_screensaver_active(bool active) = 0;
    virtual void set_screensaver_running(bool running) = 0;
    virtual void show_cursor(bool show) = 0;
    virtual bool verify_screensave_password(NativeHandle window) = 0;
    virtual void change_screensave_password(NativeHandle window) = 0;
    virtual void beep() = 0;
    virtual void open_url(const std::string& url) = 0;

    virtual SettingsStore& settings() = 0;
    // Per-user folder for files the program writes for itself (the error
    // protocol when it cannot be written beside the program); empty when the
    // user has no such folder.
    virtual std::filesystem::path user_state_dir() const = 0;
    // Appends text to a file the program keeps for itself (the error
    // protocol), creating it when it is missing. Nothing is written, and the
    // answer is false, when the name is a link, a pipe, a device, a folder or
    // another user's file, or when the file cannot be written. A file that
    // has reached rotate_at bytes is first renamed to <name>.1, replacing an
    // older one, so the file keeps the newest text and stays bounded.
    virtual bool append_log(const std::filesystem::path& file, std::string_view text, uintmax_t rotate_at) = 0;

    // Screen and windows.
    virtual int screen_width_px() const = 0;
    virtual int screen_height_px() const = 0;
    // Twips per screen pixel; not always whole (7.5 at 192 dots per inch).
    virtual double twips_per_pixel_x() const = 0;
    virtual double twips_per_pixel_y() const = 0;
    // A copy of what the display shows in (x, y, w, h), in screen
    // coordinates; black where nothing can be read.
    virtual Image capture_screen(int x, int y, int width, int height) = 0;
    // The monitors as the system lists them, in its order; empty when it
    // lists none (the whole screen is then the one monitor).
    virtual std::vector<Monitor> listed_monitors() { return {}; }
    // The pointer in screen coordinates; nothing where that is unknown.
    virtual std::optional<Point> pointer_position() { return std::nullopt; }
    // The rectangle dialogs centre on, in pixels: by default the primary
    // monitor, else the one holding the pointer.
    virtual Rect dialog_area();
    // The monitors the full-screen saver covers, one scene each
    // (arrange_monitors over listed_monitors()).
    std::vector<Monitor> monitors();
    // handler runs when monitors come or go or the screen changes its size;
    // backends report that through monitors_changed().
    void on_monitors_changed(std::function<void()> handler);
    void monitors_changed();
    // Client rectangle of a foreign window; false (and 0 x 0) when there is none.
    virtual bool client_size(NativeHandle window, int& width, int& height) = 0;
    virtual std::unique_ptr<NativeWindow> create_window(Form& form) = 0;
    virtual std::unique_ptr<TextRenderer> create_text_renderer(const FontSpec& font) = 0;

    // Ends the program at once, with end_status(): no unload handlers, open
    // files closed.
    [[noreturn]] virtual void end_program() = 0;
    // 0, unless the program ends because of a run-time error.
    int end_status() const { return end_status_; }
    void set_end_status(int status) { end_status_ = status; }

protected:
    // Called when the first handler is installed: the backend starts to
    // listen for changes of the monitors.
    virtual void watch_monitors() {}

private:
    std::function<void()> monitors_changed_;
    int end_status_ = 0;
};

// The backend installed by the entry point; one per process.
Platform& platform();
void install_platform(Platform* backend);

}  // namespace fw
