// The Linux program's entry point: the off-screen renderer with --render,
// else the saver on a display. The full-screen saver runs on the Wayland
// compositor where one answers, else on the X display; the dialogs on the X
// display where there is one, else on the compositor; the preview and the
// hack (-root, -window-id, XSCREENSAVER_WINDOW) always on X, whose windows
// they are given. --wayland and --x11 choose for the others. Without a
// display only the switches that open no window succeed.
#include "host/render_main.h"
#include "host/run_saver.h"
#include "host/saver.h"
#include "toolkit/idle/idle_command.h"
#include "toolkit/idle/watch.h"
#include "toolkit/form.h"
#include "toolkit/freetype/freetype_text.h"
#include "toolkit/linux/command_line.h"
#include "toolkit/linux/ini_store.h"
#include "toolkit/linux/linux_platform.h"
#include "toolkit/linux/override_store.h"
#include "toolkit/runtime_error.h"
#include "toolkit/wayland/wayland_platform.h"
#include "toolkit/x11/x11_hack.h"
#include "toolkit/x11/x_error_trap.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// The settings of one run: the user's file, with the values the command line
// gives for this run alone read over it.
std::unique_ptr<fw::SettingsStore> run_settings(const fw::SettingOverrides& overrides)
{
    return std::make_unique<fw::OverrideStore>(std::make_unique<fw::IniStore>(fw::LinuxPlatform::config_home()),
                                               overrides, std::string(fw::Saver::app_name),
                                               std::string(fw::Saver::section_name));
}

int render(const std::vector<std::string>& arguments)
{
    const fw::ParsedCommandLine parsed = fw::parse_command_line(arguments, fw::FlagSyntax::render);
    if (!parsed.ok()) {
        std::fprintf(stderr, "%s\n", parsed.error.c_str());
        return 2;
    }
    fw::RenderServices services;
    services.settings = run_settings(parsed.command.overrides);
    std::error_code ec;
    services.program_file = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) services.program_file = "frostwisp";
    if (const std::filesystem::path state = fw::LinuxPlatform::state_home(); !state.empty())
        services.user_state_dir = state / "frostwisp";
    services.append_log = fw::LinuxPlatform::append_log_file;
    return fw::run_render(parsed.command.saver_arguments, std::move(services));
}

// Without an X display the program still starts, reads its settings and
// dispatches its switch; only a window cannot be had, and asking for one ends
// the program with a line that says why.
class NoDisplayPlatform : public fw::LinuxPlatform {
public:
    NoDisplayPlatform(std::vector<std::string> arguments, fw::SettingsStore& settings)
        : LinuxPlatform(std::move(arguments), settings)
    {
    }
    void set_screensaver_active(bool) override {}
    void set_screensaver_running(bool) override {}
    void show_cursor(bool) override {}
    void beep() override {}
    int screen_width_px() const override { return 0; }
    int screen_height_px() const override { return 0; }
    double twips_per_pixel_x() const override { return 15; }
    double twips_per_pixel_y() const override { return 15; }
    fw::Image capture_screen(int, int, int, int) override { return {}; }
    bool client_size(fw::NativeHandle, int& width, int& height) override
    {
        width = height = 0;
        return false;
    }
    std::unique_ptr<fw::NativeWindow> create_window(fw::Form&) override
    {
        const char* name = std::getenv("DISPLAY");
        std::fprintf(stderr, "frostwisp: %s; frostwisp --render OUT.png draws a picture without one\n",
                     name && *name ? ("cannot open the X display " + std::string(name)).c_str()
                                   : "no X display (DISPLAY is not set)");
        throw fw::ProgramEnd{1};
    }
    std::unique_ptr<fw::TextRenderer> create_text_renderer(const fw::FontSpec& font) override
    {
        return fw::make_freetype_renderer(font, 96.0);
    }
};

int run_without_display(const fw::CommandLine& command, fw::SettingsStore& settings)
{
    NoDisplayPlatform platform(command.saver_arguments, settings);
    return fw::run_saver(platform, {}).value_or(0);
}

// The windows and their buffers go while the connection is still open.
int run_on_wayland(std::unique_ptr<fw::WaylandPlatform> platform)
{
    return fw::run_saver(*platform, [&] { platform->loop().run(); }).value_or(0);
}

// The saver's switch as it dispatches on it: the first two characters, in
// capitals ("/S", "/C", "/P"); empty for none.
std::string saver_switch(const std::vector<std::string>& arguments)
{
    std::string mode = arguments.empty() ? std::string() : arguments.front().substr(0, 2);
    for (char& c : mode) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return mode;
}

bool named(const char* variable)
{
    const char* value = std::getenv(variable);
    return value && *value;
}

bool window_exists(Display* display, unsigned long window)
{
    XWindowAttributes attributes{};
    fw::XErrorTrap trap(display);
    const bool known = XGetWindowAttributes(display, window, &attributes) != 0;
    return !trap.failed() && known;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (!arguments.empty() && arguments[0] == "--render") return render({arguments.begin() + 1, arguments.end()});

    const fw::IdleRequest idle = fw::take_idle_flags(arguments);
    const fw::ParsedCommandLine parsed = fw::parse_command_line(idle.rest);
    if (!idle.error.empty() || !parsed.ok()) {
        std::fprintf(stderr, "%s\n", (idle.error.empty() ? parsed.error : idle.error).c_str());
        return 2;
    }
    if (parsed.command.help) {
        std::fputs(fw::usage_text().c_str(), stdout);
        return 0;
    }
    if (idle.kind != fw::IdleRequest::Kind::none) {
        const fw::CommandLine& c = parsed.command;
        const bool autostart = idle.kind != fw::IdleRequest::Kind::watch;
        if (!c.saver_arguments.empty() || c.root || c.window_id || (autostart && !idle.rest.empty())) {
            std::fprintf(stderr, autostart ? "frostwisp: --autostart takes only the minutes or off\n"
                                           : "frostwisp: --idle starts the full-screen saver itself and takes "
                                             "no switch and no hack flag\n");
            return 2;
        }
        if (!autostart) return fw::watch_idle(idle, c);
        std::error_code ec;
        std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
        if (ec) program = "frostwisp";
        return fw::change_autostart(idle, fw::LinuxPlatform::config_home(), program);
    }

    const std::unique_ptr<fw::SettingsStore> settings = run_settings(parsed.command.overrides);
    const fw::HackRequest hack_request = fw::hack_target(parsed.command, std::getenv("XSCREENSAVER_WINDOW"));
    if (!hack_request.error.empty()) {
        std::fprintf(stderr, "%s\n", hack_request.error.c_str());
        return 2;
    }
    const std::optional<fw::HackTarget>& hack = hack_request.target;

    // What is X's in any case; then what was asked for; then the full-screen
    // saver where a compositor runs, and the rest where an X display is.
    const std::string mode = saver_switch(parsed.command.saver_arguments);
    const bool x_only = hack || mode == "/P";
    const fw::DisplayChoice choice = parsed.command.display;
    // The compositor is asked once: libwayland says its own errors as it
    // fails, and the line that says where and why comes once, before X is
    // tried.
    bool wayland_asked = false;
    const auto wayland = [&]() -> std::unique_ptr<fw::WaylandPlatform> {
        if (wayland_asked) return nullptr;
        wayland_asked = true;
        std::string failure;
        auto platform = fw::WaylandPlatform::connect(parsed.command.saver_arguments, *settings, &failure);
        if (!platform) std::fprintf(stderr, "frostwisp: no Wayland compositor answers at %s\n", failure.c_str());
        return platform;
    };
    if (!x_only && choice == fw::DisplayChoice::wayland) {
        if (auto platform = wayland()) return run_on_wayland(std::move(platform));
        return 1;
    }
    const bool full_screen = mode == "/S" || mode.empty();
    const bool session = named("WAYLAND_DISPLAY") || named("WAYLAND_SOCKET");
    if (!x_only && choice == fw::DisplayChoice::automatic && full_screen && session)
        if (auto platform = wayland()) return run_on_wayland(std::move(platform));

    Display* display = XOpenDisplay(nullptr);
    if (!display && !x_only && choice == fw::DisplayChoice::automatic && session)
        if (auto platform = wayland()) return run_on_wayland(std::move(platform));
    if (!display) return run_without_display(parsed.command, *settings);
    fw::install_x_error_handler();

    if (hack && !hack->root && !window_exists(display, hack->window)) {
        std::fprintf(stderr, "frostwisp: there is no window 0x%lx to draw into\n", hack->window);
        XCloseDisplay(display);
        return 1;
    }

    std::unique_ptr<fw::X11Platform> platform;
    if (hack)
        platform = std::make_unique<fw::X11HackPlatform>(display, parsed.command.saver_arguments, *settings, *hack);
    else
        platform = std::make_unique<fw::X11Platform>(display, parsed.command.saver_arguments, *settings);
    // The windows and their images go while the display is still open.
    return fw::run_saver(*platform, [&] { platform->loop().run(); }).value_or(0);
}
