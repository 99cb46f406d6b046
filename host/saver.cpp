#include "host/saver.h"

#include "dialogs/frm_config.h"
#include "errors/trap.h"
#include "host/allgemein.h"
#include "host/frm_preview.h"
#include "scene/frm_main.h"
#include "scene/scene_group.h"
#include "toolkit/numbers.h"
#include "toolkit/platform.h"
#include "toolkit/runtime_error.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <string>

namespace fw::Saver {

SaverSettingsRecord SaverSettings;
int16_t numFl = 0;
bool SaverMode = false;

namespace {

double stored_number(std::string_view key, std::string_view default_text)
{
    const std::string text = platform().settings().read_or(app_name, section_name, key, default_text);
    return parse_stored_number(text, platform().decimal_separator());
}

// The seed: FROSTWISP_SEED when set (reproducible runs), else the time of day.
uint64_t start_seed()
{
    if (const char* fixed = std::getenv("FROSTWISP_SEED"); fixed && *fixed) {
        char* end = nullptr;
        const long long value = std::strtoll(fixed, &end, 10);
        if (end && *end == '\0') return static_cast<uint64_t>(value);
    }
    return std::bit_cast<uint32_t>(static_cast<float>(platform().seconds_since_midnight()));
}

Form* loaded_form(std::string_view name)
{
    for (int i = 0; i < Forms::count(); ++i)
        if (Forms::at(i).name() == name) return &Forms::at(i);
    return nullptr;
}

std::vector<frmMain*> loaded_scenes()
{
    std::vector<frmMain*> scenes;
    for (int i = 0; i < Forms::count(); ++i)
        if (auto* scene = dynamic_cast<frmMain*>(&Forms::at(i))) scenes.push_back(scene);
    return scenes;
}

}  // namespace

std::string web_url(std::string_view address)
{
    if (address.find("://") != std::string_view::npos) return std::string(address);
    std::string url = "https://" + std::string(address);
    if (address.find('/') == std::string_view::npos) url += '/';
    return url;
}

int32_t window_handle_from(std::string_view normalised_command)
{
    const std::string_view rest = normalised_command.size() > 3 ? normalised_command.substr(3) : std::string_view();
    return to_int32(leading_number(rest));
}

void Main()
{
    Trap trap("Saver", "Main");
    std::string command;
    std::string mode;
    int32_t handle = 0;
    int width = 0, height = 0;
    frmPreview* preview = nullptr;
    std::vector<Monitor> monitors;
    std::shared_ptr<SceneGroup> group;

    trap.line(50010, [&] { LoadConfig(); });
    trap.line(50020, [&] { Allgemein::Randomize(start_seed()); });
    trap.line(50030, [&] { platform().set_screensaver_active(false); });
    trap.line(50040, [&] { command = upper(trim(platform().command_text())); });
    trap.line(50050, [&] { mode = command.substr(0, 2); });

    if (mode == "/P") {
        trap.line(50060, [&] { handle = window_handle_from(command); });
        trap.line(50070, [&] {
            if (!platform().client_size(handle, width, height)) width = height = 0;
        });
        trap.line(50080, [&] { SaverMode = false; });
        trap.line(50090, [&] {
            if (!preview) preview = &Forms::create<frmPreview>();
            preview->Load();
        });
        trap.line(50100, [&] { preview->window().embed(handle, width, height); });
    } else if (mode == "/C") {
        trap.line(50110, [&] { Forms::create<frmConfig>().Show(ShowMode::modeless); });
    } else if (mode == "/A") {
        trap.line(50120, [&] {
            if (!IsWinNT()) platform().change_screensave_password(window_handle_from(command));
        });
    } else if (mode == "/S" || mode.empty()) {
        trap.line(50130, [&] { SaverMode = true; });
        trap.line(50140, [&] { platform().set_screensaver_running(true); });
        trap.line(50150, [&] { platform().show_cursor(false); });
        // One scene on every monitor, in the order the system lists them, so
        // that a fixed seed gives the same draws for each.
        trap.line(50160, [&] {
            monitors = platform().monitors();
            group = std::make_shared<SceneGroup>(bounding_box(monitors));
        });
        for (const Monitor& monitor : monitors) {
            frmMain* scene = nullptr;
            trap.line(50170, [&] {
                if (!scene) scene = &Forms::create<frmMain>(group, monitor.area);
                scene->Load();
            });
            if (!scene) continue;
            trap.line(50180, [&] { SetTopMost(*scene, true, true); });
            trap.line(50190, [&] { scene->Show(ShowMode::modeless); });
        }
        trap.line(50200, [&] { platform().on_monitors_changed(&MonitorsChanged); });
    }
}

void MonitorsChanged()
{
    Trap trap("Saver", "MonitorsChanged");
    std::vector<Monitor> now;
    std::vector<frmMain*> scenes;
    trap.line(50010, [&] {
        if (!SaverMode) trap.exit_procedure();
    });
    trap.line(50020, [&] {
        now = platform().monitors();
        scenes = loaded_scenes();
    });
    if (trap.left() || scenes.empty()) return;

    // A scene whose monitor is still there stays as it is; the others take
    // the new monitors in order (a monitor that changed its size or place),
    // and what is left over goes or comes.
    std::vector<frmMain*> unmatched;
    for (frmMain* scene : scenes) {
        const auto same = std::find_if(now.begin(), now.end(), [&](const Monitor& m) { return scene->screen_area() == m.area; });
        if (same != now.end()) now.erase(same);
        else unmatched.push_back(scene);
    }
    const std::shared_ptr<SceneGroup> group = scenes.front()->group();
    size_t next = 0;
    for (frmMain* scene : unmatched) {
        if (next < now.size()) {
            const Rect area = now[next++].area;
            trap.line(50030, [&] {
                scene->set_screen_area(area);
                scene->window().set_window_state(WindowState::maximized);
            });
        } else {
            trap.line(50040, [&] {
                scene->MonitorGone = true;
                scene->Unload();
            });
        }
    }
    for (; next < now.size(); ++next) {
        frmMain* scene = nullptr;
        trap.line(50050, [&] {
            if (!scene) scene = &Forms::create<frmMain>(group, now[next].area);
            scene->Load();
        });
        if (!scene) continue;
        trap.line(50060, [&] { SetTopMost(*scene, true, true); });
        trap.line(50070, [&] { scene->Show(ShowMode::modeless); });
    }
}

void LoadConfig()
{
    Trap trap("Saver", "LoadConfig");
    SaverSettingsRecord& s = SaverSettings;
    // A stored text that is no number or does not fit its field is reported;
    // the field then takes its default rather than a meaningless zero.
    if (!trap.line(50010, [&] { s.maxFl = to_int16(stored_number("maxFl", "110")); })) s.maxFl = 110;
    if (!trap.line(50020, [&] { s.SpeedF = to_single(stored_number("SpeedF", "6")); })) s.SpeedF = 6;
    if (!trap.line(50030, [&] { s.Size = to_single(stored_number("Size", "6")); })) s.Size = 6;
    trap.line(50040, [&] { s.minFl = to_int16(static_cast<double>(s.maxFl) * 0.5); });
    if (!trap.line(50050, [&] { s.Date = to_int16(stored_number("Date", "1")); })) s.Date = 1;
    if (!trap.line(50060, [&] { s.Time = to_int16(stored_number("Time", "1")); })) s.Time = 1;
    if (!trap.line(50070, [&] { s.Restart = to_int16(stored_number("Restart", "1")); })) s.Restart = 1;
    // An interval below a second would rebuild the scene at every tick, and
    // a background drawn at random would flash.
    if (!trap.line(50080, [&] {
            s.rTime = to_int32(stored_number("rTime", "600"));
            if (s.rTime < 1) raise_error(err::invalid_property);
        }))
        s.rTime = 600;
    if (!trap.line(50090, [&] { s.Background = to_int16(stored_number("Background", "4")); })) s.Background = 4;
    trap.line(50100, [&] {
        if (s.Background == 4) s.RandomBack = true;
    });
}

bool SaveConfig()
{
    Trap trap("Saver", "SaveConfig");
    const SaverSettingsRecord& s = SaverSettings;
    const char sep = platform().decimal_separator();
    // The eight values go to the store in one write: a settings file is then
    // replaced once, so that a crash or a full disk leaves either the old
    // settings or the new ones, never a mix.
    SettingValues values;
    trap.line(50010, [&] { values.emplace_back("SpeedF", float_text(s.SpeedF, sep)); });
    trap.line(50020, [&] { values.emplace_back("Size", float_text(s.Size, sep)); });
    trap.line(50030, [&] { values.emplace_back("maxFl", std::to_string(s.maxFl)); });
    trap.line(50040, [&] { values.emplace_back("Date", std::to_string(s.Date)); });
    trap.line(50050, [&] { values.emplace_back("Time", std::to_string(s.Time)); });
    trap.line(50060, [&] { values.emplace_back("Restart", std::to_string(s.Restart)); });
    trap.line(50070, [&] { values.emplace_back("rTime", std::to_string(s.rTime)); });
    trap.line(50080, [&] { values.emplace_back("Background", std::to_string(s.Background)); });
    bool stored = false;
    trap.line(50090, [&] {
        platform().settings().write_all(app_name, section_name, values);
        stored = true;
    });
    return stored;
}

bool SetTopMost(Form& window, bool topmost, bool activate)
{
    Trap trap("Saver", "SetTopMost");
    bool accepted = false;
    trap.line(50010, [&] { accepted = window.window().set_topmost(topmost, activate); });
    return accepted;
}

void exitScreensaver()
{
    Trap trap("Saver", "exitScreensaver");
    trap.line(50010, [&] {
        if (!SaverMode) trap.exit_procedure();
    });
    trap.line(50020, [&] {
        if (!IsWinNT()) {
            Form* scene = loaded_form("frmMain");
            if (!platform().verify_screensave_password(scene ? scene->hWnd() : 0)) trap.exit_procedure();
        }
    });
    trap.line(50030, [&] { platform().show_cursor(true); });
    trap.line(50040, [&] { platform().set_screensaver_active(true); });
    trap.line(50050, [&] { platform().set_screensaver_running(false); });
    trap.line(50060, [&] { Allgemein::Shutdown(); });
    trap.line(50070, [&] { platform().end_program(); });
}

bool IsWinNT()
{
    Trap trap("Saver", "IsWinNT");
    bool nt = false;
    trap.line(50010, [&] {
        OsVersionInfo info;
        nt = platform().get_version(info) && info.platform_id == platform_windows_nt;
    });
    return nt;
}

bool movement_ends_saver(RememberedMouse& last, float x, float y)
{
    const float lx = last.x.value_or(0.0f);
    const float ly = last.y.value_or(0.0f);
    if ((lx == 0.0f && ly == 0.0f) || (std::fabs(lx - x) < 3.0f && std::fabs(ly - y) < 3.0f)) {
        last.x = x;
        last.y = y;
        return false;
    }
    return true;
}

}  // namespace fw::Saver
