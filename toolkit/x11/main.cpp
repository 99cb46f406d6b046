// The Linux program's entry point.
#include "host/saver.h"
#include "toolkit/form.h"
#include "toolkit/linux/linux_platform.h"
#include "toolkit/runtime_error.h"

#include <cstdio>

namespace fw {
namespace {

// FIXME: no display yet; windows exist only as their surfaces.
class NoDisplayPlatform : public LinuxPlatform {
public:
    using LinuxPlatform::LinuxPlatform;
    void set_screensaver_active(bool) override {}
    void set_screensaver_running(bool) override {}
    void show_cursor(bool) override {}
    void beep() override {}
    int screen_width_px() const override { return 1024; }
    int screen_height_px() const override { return 768; }
    int twips_per_pixel_x() const override { return 15; }
    int twips_per_pixel_y() const override { return 15; }
    Image capture_screen(int, int, int w, int h) override
    {
        Image i;
        i.width = w;
        i.height = h;
        i.pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
        return i;
    }
    bool client_size(NativeHandle, int&, int&) override { return false; }
    std::unique_ptr<NativeWindow> create_window(Form&) override { return nullptr; }
    std::unique_ptr<TextRenderer> create_text_renderer(const FontSpec&) override { return nullptr; }
};

}  // namespace
}  // namespace fw

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    fw::NoDisplayPlatform platform(arguments);
    fw::install_platform(&platform);
    try {
        fw::Saver::Main();
    } catch (const fw::ProgramEnd& end) {
        return end.exit_code;
    }
    return 0;
}
