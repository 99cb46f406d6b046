#include "toolkit/headless/render.h"

#include "toolkit/bitmap.h"
#include "toolkit/clock_text.h"
#include "toolkit/freetype/freetype_text.h"
#include "toolkit/headless/png.h"
#include "toolkit/monitors.h"
#include "toolkit/runtime_error.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <optional>

namespace fw {

namespace {

constexpr const char* usage =
    "usage: frostwisp --render OUT.png [--size WxH | --monitors WxH+X+Y[,WxH+X+Y...]] [--ticks N] "
    "[--clock YYYY-MM-DDTHH:MM:SS] [--desktop IMAGE]";

struct RenderArguments {
    std::filesystem::path out;
    int width = 1024;
    int height = 768;
    int ticks = 100;
    std::vector<Monitor> monitors;  // empty: one screen of width x height
    std::optional<std::tm> clock;
    std::filesystem::path desktop;
};

template <class T> bool whole(std::string_view text, T& value)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

std::optional<std::tm> parse_clock(const std::string& text)
{
    std::tm t{};
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &year, &month, &day, &hour, &minute, &second, &tail) != 6)
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59 || year < 1900)
        return std::nullopt;
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

// Returns the problem with the arguments, or an empty text.
std::string parse(const std::vector<std::string>& args, RenderArguments& out)
{
    bool sized = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool has_value = i + 1 < args.size();
        if (a == "--size" && has_value) {
            sized = true;
            const std::string v = args[++i];
            const size_t x = v.find('x');
            if (x == std::string::npos || !whole(std::string_view(v).substr(0, x), out.width) ||
                !whole(std::string_view(v).substr(x + 1), out.height) || out.width < 1 || out.height < 1 ||
                out.width > 16384 || out.height > 16384)
                return "bad size '" + v + "'";
        } else if (a == "--monitors" && has_value) {
            const auto list = parse_monitor_list(args[++i]);
            const Rect box = list ? bounding_box(*list) : Rect{};
            if (!list || width_of(box) > 16384 || height_of(box) > 16384) return "bad monitors '" + args[i] + "'";
            // The picture's top-left corner is the screen's origin.
            out.monitors.clear();
            for (Monitor m : *list) {
                m.area = {m.area.left - box.left, m.area.top - box.top, m.area.right - box.left, m.area.bottom - box.top};
                out.monitors.push_back(m);
            }
            out.width = width_of(box);
            out.height = height_of(box);
        } else if (a == "--ticks" && has_value) {
            if (!whole(args[++i], out.ticks) || out.ticks < 0) return "bad tick count '" + args[i] + "'";
        } else if (a == "--clock" && has_value) {
            out.clock = parse_clock(args[++i]);
            if (!out.clock) return "bad clock '" + args[i] + "'";
        } else if (a == "--desktop" && has_value) {
            out.desktop = args[++i];
        } else if (!a.empty() && a[0] != '-' && out.out.empty()) {
            out.out = a;
        } else {
            return "unexpected argument '" + a + "'";
        }
    }
    if (out.out.empty()) return "no output file";
    if (sized && !out.monitors.empty()) return "--size and --monitors exclude each other";
    return {};
}

// What the screen shows: every scene window at its place, black elsewhere.
Image screen_picture(int width, int height)
{
    Canvas screen(rgb(0, 0, 0));
    screen.resize(width, height);
    screen.fill_rect(0, 0, width, height, rgb(0, 0, 0));
    for (int i = 0; i < Forms::count(); ++i) {
        const Form& form = Forms::at(i);
        const Rect area = form.screen_area().value_or(Rect{});
        screen.draw_image(form.surface().image(), area.left, area.top);
    }
    return screen.image();
}

}  // namespace

std::optional<RenderJob> prepare_render(const std::vector<std::string>& arguments, RenderServices services)
{
    RenderArguments args;
    if (const std::string problem = parse(arguments, args); !problem.empty()) {
        std::fprintf(stderr, "frostwisp --render: %s; %s\n", problem.c_str(), usage);
        return std::nullopt;
    }

    RenderJob job;
    job.out = args.out;
    job.width = args.width;
    job.height = args.height;
    job.ticks = args.ticks;
    HeadlessOptions& options = job.options;
    options.command_text = "/S";
    options.program_file = services.program_file;
    options.user_state_dir = services.user_state_dir;
    options.screen_width = args.width;
    options.screen_height = args.height;
    options.monitors = args.monitors;
    options.settings = std::move(services.settings);
    options.decimal_separator = decimal_separator();
    options.short_date = [](const std::tm& t) { return short_date_text(t); };
    options.long_time = [](const std::tm& t) { return long_time_text(t); };
    options.fonts = [](const FontSpec& font) { return make_freetype_renderer(font, 96.0); };
    if (args.clock) {
        options.clock = *args.clock;
    } else {
        const std::time_t now = std::time(nullptr);
        localtime_r(&now, &options.clock);
    }
    if (!args.desktop.empty()) {
        if (const std::string problem = read_desktop_picture(args.desktop, options.desktop); !problem.empty()) {
            std::fprintf(stderr, "frostwisp --render: '%s' %s; %s\n", args.desktop.c_str(), problem.c_str(), usage);
            return std::nullopt;
        }
    }
    if (services.append_log) options.append_log = std::move(services.append_log);
    return job;
}

bool write_render_picture(const RenderJob& job)
{
    if (write_png(job.out, screen_picture(job.width, job.height))) return true;
    std::fprintf(stderr, "frostwisp --render: cannot write '%s'\n", job.out.c_str());
    return false;
}

std::string read_desktop_picture(const std::filesystem::path& path, Image& picture)
{
    // Only a regular file is opened: a folder, a pipe or a device such as
    // /dev/zero would never give a picture, or never end.
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) return "does not exist";
    if (!std::filesystem::is_regular_file(status)) return "is not a regular file";
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) return "cannot be read";
    if (size > max_desktop_file_size) return "is larger than 64 MiB";
    std::ifstream file(path, std::ios::binary);
    if (!file) return "cannot be read";
    std::vector<unsigned char> bytes(static_cast<size_t>(size) + 1);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (file.bad()) return "cannot be read";
    bytes.resize(static_cast<size_t>(file.gcount()));
    if (bytes.size() > size) return "grew while it was read";
    picture = decode_desktop_picture(bytes);
    return picture.empty() ? "is no PNG or BMP picture" : "";
}

Image decode_desktop_picture(std::span<const unsigned char> bytes)
{
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return decode_bmp(bytes);
    return decode_png(bytes);
}

}  // namespace fw
