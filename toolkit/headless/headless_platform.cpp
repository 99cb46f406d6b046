#include "toolkit/headless/headless_platform.h"

#include "toolkit/runtime_error.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

namespace fw {

namespace {

// Text in boxes: every character is a 7 x 15 cell with a solid block in it.
// Exact and font-free, so tests can reason about positions.
class BoxText : public TextRenderer {
public:
    int text_height(std::string_view) const override { return 15; }
    int text_width(std::string_view utf8) const override
    {
        int chars = 0;
        for (unsigned char c : utf8)
            if ((c & 0xC0) != 0x80) ++chars;
        return 7 * chars;
    }
    void draw(Canvas& canvas, int x, int y, std::string_view utf8, Color color) const override
    {
        for (unsigned char c : utf8) {
            if ((c & 0xC0) == 0x80) continue;
            if (c != ' ') canvas.fill_rect(x + 1, y + 3, x + 6, y + 12, color);
            x += 7;
        }
    }
};

std::string two(int v)
{
    char b[8];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

}  // namespace

std::optional<std::string> MemoryStore::read(std::string_view app, std::string_view section, std::string_view key)
{
    const std::string name = std::string(app) + "/" + std::string(section) + "/" + std::string(key);
    for (const auto& [k, v] : entries)
        if (k == name) return v;
    return std::nullopt;
}

void MemoryStore::write(std::string_view app, std::string_view section, std::string_view key, std::string_view value)
{
    if (fail_writes_with) throw RuntimeError(fail_writes_with);
    const std::string name = std::string(app) + "/" + std::string(section) + "/" + std::string(key);
    for (auto& [k, v] : entries)
        if (k == name) {
            v = value;
            return;
        }
    entries.emplace_back(name, value);
}

HeadlessPlatform::HeadlessPlatform(HeadlessOptions options) : options_(std::move(options)), tick_(options_.start_tick)
{
    if (!options_.settings) options_.settings = std::make_unique<MemoryStore>();
    if (options_.clock.tm_mday == 0) {
        options_.clock.tm_year = 126;
        options_.clock.tm_mon = 11;
        options_.clock.tm_mday = 24;
        options_.clock.tm_hour = 18;
    }
}

HeadlessPlatform::~HeadlessPlatform() = default;

double HeadlessPlatform::seconds_since_midnight() const
{
    const std::tm now = local_time();
    return now.tm_hour * 3600.0 + now.tm_min * 60.0 + now.tm_sec + std::fmod(elapsed_ms_, 1000.0) / 1000.0;
}

std::tm HeadlessPlatform::local_time() const
{
    std::tm now = options_.clock;
    now.tm_sec += static_cast<int>(elapsed_ms_ / 1000.0);
    std::tm copy = now;
    // Normalise without asking the system's time zone.
    const int days_in_month[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    copy.tm_min += copy.tm_sec / 60;
    copy.tm_sec %= 60;
    copy.tm_hour += copy.tm_min / 60;
    copy.tm_min %= 60;
    copy.tm_mday += copy.tm_hour / 24;
    copy.tm_hour %= 24;
    while (copy.tm_mday > days_in_month[copy.tm_mon % 12] + ((copy.tm_mon == 1 && (copy.tm_year % 4) == 0) ? 1 : 0)) {
        copy.tm_mday -= days_in_month[copy.tm_mon % 12] + ((copy.tm_mon == 1 && (copy.tm_year % 4) == 0) ? 1 : 0);
        if (++copy.tm_mon == 12) {
            copy.tm_mon = 0;
            ++copy.tm_year;
        }
    }
    return copy;
}

bool HeadlessPlatform::get_version(OsVersionInfo& info) const
{
    if (!options_.version_call_succeeds) return false;
    info = options_.version;
    return true;
}

std::string HeadlessPlatform::short_date_text(const std::tm& when) const
{
    if (options_.short_date) return options_.short_date(when);
    return two(when.tm_mon + 1) + "/" + two(when.tm_mday) + "/" + two(when.tm_year % 100);
}

std::string HeadlessPlatform::long_time_text(const std::tm& when) const
{
    if (options_.long_time) return options_.long_time(when);
    return two(when.tm_hour) + ":" + two(when.tm_min) + ":" + two(when.tm_sec);
}

void HeadlessPlatform::set_screensaver_active(bool active) { calls.push_back(std::string("active ") + (active ? "1" : "0")); }
void HeadlessPlatform::set_screensaver_running(bool running) { calls.push_back(std::string("running ") + (running ? "1" : "0")); }
void HeadlessPlatform::show_cursor(bool show) { calls.push_back(std::string("cursor ") + (show ? "1" : "0")); }

bool HeadlessPlatform::verify_screensave_password(NativeHandle window)
{
    calls.push_back("password " + std::to_string(window));
    return options_.password_accepted;
}

void HeadlessPlatform::change_screensave_password(NativeHandle window)
{
    calls.push_back("change-password " + std::to_string(window));
}

void HeadlessPlatform::beep() { calls.push_back("beep"); }

bool HeadlessPlatform::append_log(const std::filesystem::path& file, std::string_view text, uintmax_t rotate_at)
{
    if (options_.append_log) return options_.append_log(file, text, rotate_at);
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(file, ec);
    if (std::filesystem::exists(status)) {
        if (!std::filesystem::is_regular_file(status)) return false;
        if (std::filesystem::file_size(file, ec) >= rotate_at) {
            std::filesystem::path older = file;
            older += ".1";
            std::filesystem::rename(file, older, ec);
            if (ec) return false;
        }
    }
    std::ofstream out(file, std::ios::binary | std::ios::app);
    out << text;
    out.flush();
    return static_cast<bool>(out);
}
void HeadlessPlatform::open_url(const std::string& url) { calls.push_back("open " + url); }

Image HeadlessPlatform::capture_screen(int x, int y, int width, int height)
{
    captures.push_back({x, y, x + width, y + height});
    Image shot = black_image(width, height);
    const Image& d = options_.desktop;
    for (int row = 0; row < shot.height; ++row)
        for (int col = 0; col < shot.width; ++col) {
            const int sx = x + col, sy = y + row;
            if (sx >= 0 && sy >= 0 && sx < d.width && sy < d.height)
                shot.pixels[static_cast<size_t>(row) * static_cast<size_t>(shot.width) + static_cast<size_t>(col)] =
                    d.at(sx, sy);
        }
    return shot;
}

bool HeadlessPlatform::client_size(NativeHandle window, int& width, int& height)
{
    const auto found = options_.foreign_windows.find(window);
    if (found == options_.foreign_windows.end()) return false;
    width = found->second.first;
    height = found->second.second;
    return true;
}

std::unique_ptr<NativeWindow> HeadlessPlatform::create_window(Form& form)
{
    auto window = std::make_unique<HeadlessWindow>(*this, form, next_handle_);
    next_handle_ += 0x10;
    return window;
}

std::unique_ptr<TextRenderer> HeadlessPlatform::create_text_renderer(const FontSpec& font)
{
    if (options_.fonts) return options_.fonts(font);
    return std::make_unique<BoxText>();
}

void HeadlessPlatform::end_program()
{
    calls.push_back("end");
    throw ProgramEnd{end_status()};
}

void HeadlessPlatform::advance(uint32_t ms)
{
    const uint32_t target = tick_ + ms;
    elapsed_ms_ += ms;
    tick_ = target;
    // A timer that comes due runs once; a late one does not catch up.
    const std::vector<HeadlessWindow*> snapshot = windows_;
    for (HeadlessWindow* w : snapshot) {
        if (std::find(windows_.begin(), windows_.end(), w) == windows_.end()) continue;
        if (!w->timer_enabled || static_cast<int32_t>(target - w->timer_due) < 0) continue;
        w->timer_due = target + static_cast<uint32_t>(w->timer_interval);
        w->form().Timer_Timer();
    }
}

HeadlessWindow* HeadlessPlatform::window_of(const Form& form) const
{
    for (HeadlessWindow* w : windows_)
        if (&w->form() == &form) return w;
    return nullptr;
}

HeadlessWindow::HeadlessWindow(HeadlessPlatform& owner, Form& form, NativeHandle handle)
    : owner_(owner), form_(form), handle_(handle)
{
    width = form.design().client_width_px;
    height = form.design().client_height_px;
    owner_.windows_.push_back(this);
}

HeadlessWindow::~HeadlessWindow()
{
    auto& list = owner_.windows_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void HeadlessWindow::show(ShowMode mode)
{
    visible = true;
    modal = mode == ShowMode::modal;
    if (state == WindowState::maximized) {
        const Rect area = form_.screen_area().value_or(Rect{0, 0, owner_.screen_width_px(), owner_.screen_height_px()});
        left = area.left;
        top = area.top;
        width = area.right - area.left;
        height = area.bottom - area.top;
    }
    form_.client_resized(width, height);
}

void HeadlessWindow::set_window_state(WindowState new_state)
{
    state = new_state;
    if (visible && state == WindowState::maximized) show(modal ? ShowMode::modal : ShowMode::modeless);
}

bool HeadlessWindow::set_topmost(bool on_top, bool)
{
    topmost = on_top;
    return true;
}

void HeadlessWindow::refresh()
{
    ++refreshes;
    refreshed_parts = shown_.take_changes(form_.surface());
    if (on_refresh) on_refresh(refreshed_parts);
}

void HeadlessWindow::embed(NativeHandle parent_handle, int w, int h)
{
    parent = parent_handle;
    left = top = 0;
    width = w;
    height = h;
    visible = true;
    form_.client_resized(w, h);
}

void HeadlessWindow::move(int l, int t, int w, int h)
{
    left = l;
    top = t;
    width = w;
    height = h;
    if (visible) form_.client_resized(w, h);
}

void HeadlessWindow::set_timer(int interval_ms, bool enabled)
{
    timer_interval = interval_ms;
    if (enabled && !timer_enabled) timer_due = owner_.tick_count() + static_cast<uint32_t>(interval_ms);
    timer_enabled = enabled;
}

void HeadlessWindow::destroy() { visible = false; }

}  // namespace fw
