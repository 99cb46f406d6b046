#include "scene/frm_main.h"

#include "errors/trap.h"
#include "host/allgemein.h"
#include "toolkit/bitmap.h"
#include "toolkit/numbers.h"
#include "toolkit/runtime_error.h"

#include <algorithm>
#include <cmath>

namespace fw {

namespace {

constexpr Color white = rgb(255, 255, 255);
constexpr Color black = rgb(0, 0, 0);
constexpr Color text_colour = rgb(128, 128, 255);

FormDesign main_design()
{
    FormDesign d;
    d.caption = "Glimmerkin";
    d.border = BorderStyle::none;
    d.back_color = black;
    return d;
}

FontSpec scene_font() { return {"Comic Sans MS", 9.75, FontWeight::bold, false}; }

// Every input handler of the scene ends the saver the same way.
void end_on_input(const char* procedure)
{
    Trap trap("frmMain", procedure);
    trap.line(50010, [] { Saver::exitScreensaver(); });
}

float r() { return Allgemein::Rnd(); }

int32_t nearest32(double value) { return to_int32(value); }
int16_t nearest16(double value) { return to_int16(value); }

}  // namespace

frmMain::frmMain(std::shared_ptr<SceneGroup> group, std::optional<Rect> monitor)
    : Form("frmMain", main_design()),
      picBG(black, white, white),
      picBuffer(white, white, white),
      tmrAnimation(*this)
{
    surface().fore_color = white;
    surface().fill_color = white;
    font_ = platform().create_text_renderer(scene_font());
    picBuffer.set_Font(font_);
    lblURL.Caption = std::string(Saver::web_address);
    lblURL.ForeColor = text_colour;
    lblURL.Width = font_ ? font_->text_width(lblURL.Caption) : 0;
    lblURL.Height = font_ ? font_->text_height(lblURL.Caption) : 0;
    tmrAnimation.set_Interval(55);
    if (monitor) set_screen_area(*monitor);
    group_ = group ? std::move(group)
                   : std::make_shared<SceneGroup>(
                         screen_area().value_or(Rect{0, 0, platform().screen_width_px(), platform().screen_height_px()}));
}

Point frmMain::origin() const
{
    return screen_area() ? Point{screen_area()->left, screen_area()->top} : Point{};
}

void frmMain::Timer_Timer()
{
    Saver::numFl = flake_count_;
    tmrAnimation_timer();
}

int frmMain::last_flake() const
{
    // The field has 501 slots. A stored count above that must not end the
    // saver, so the flakes past the last slot are simply not drawn.
    return std::min<int>(Saver::numFl, flake_slots - 1);
}

void frmMain::Form_Load()
{
    Trap trap("frmMain", "Form_Load");
    const auto& s = Saver::SaverSettings;
    trap.line(50010, [&] { flake_count_ = Saver::numFl = Allgemein::Zz(s.minFl, s.maxFl); });
    trap.line(50020, [&] { tmrAnimation.set_Interval(30); });
    trap.line(50030, [&] { window().set_window_state(WindowState::maximized); });
    trap.line(50040, [&] { SnowLine = 0.95; });
}

void frmMain::Form_Resize()
{
    Trap trap("frmMain", "Form_Resize");
    const auto& s = Saver::SaverSettings;
    const int W = ScaleWidth();
    const int H = ScaleHeight();
    Saver::numFl = flake_count_;

    trap.line(50010, [&] { tmrAnimation.set_Enabled(false); });
    trap.line(50020, [&] {
        picBG.set_Height(H);
        picBG.set_Width(W);
    });
    trap.line(50030, [&] { rebuild_background(); });
    trap.line(50040, [&] {
        picBuffer.set_Width(W);
        picBuffer.set_Height(H);
        picBG.set_Width(W);
        picBG.set_Height(H);
    });
    trap.line(50050, [&] { picBuffer.canvas().blit(0, 0, W, H, surface(), 0, 0); });
    trap.line(50060, [&] {
        const Image shown = surface().image();
        picBG.set_Picture(&shown);
    });
    trap.line(50070, [&] {
        lblURL.Left = W - lblURL.Width - 10;
        lblURL.Top = H - lblURL.Height - 1;
    });
    trap.line(50080, [&] { surface().blit(0, 0, W, H, picBG.canvas(), 0, 0); });
    for (int i = 0; i <= last_flake(); ++i) {
        FlakeData& f = Flake[static_cast<size_t>(i)];
        trap.line(50090, [&] { f.X = nearest32(r() * static_cast<double>(W)); });
        trap.line(50100, [&] { f.Y = nearest32(SnowLine * H * r()); });
        trap.line(50110, [&] { f.Diameter = nearest32(r() * static_cast<double>(s.Size) + 4); });
        trap.line(50120, [&] {
            surface().ellipse(f.X, f.Y, nearest32(2.0 * r() + f.X + f.Diameter - 2), f.Y + f.Diameter);
        });
    }
    trap.line(50130, [&] { tmrAnimation.set_Enabled(true); });
}

// The background rebuild: a fresh random choice, the one desktop snapshot of
// the run, the chosen background painted into picBG and shown on the window.
// Errors here belong to the resize handler that runs it.
void frmMain::rebuild_background()
{
    Trap trap("frmMain", "Form_Resize");
    auto& s = Saver::SaverSettings;
    const int W = ScaleWidth();
    const int H = ScaleHeight();

    trap.line(50010, [&] {
        if (s.RandomBack) s.Background = Allgemein::Zz(0, 3);
    });
    trap.line(50020, [&] {
        if ((s.Background == 3 || s.RandomBack) && !DesktopCaptured) {
            const Point at = origin();
            picBG.canvas().draw_image(group_->desktop(Rect{at.x, at.y, at.x + W, at.y + H}), 0, 0);
            imgBG = picBG.image();
            DesktopCaptured = true;
        }
    });
    trap.line(50030, [&] { Hintergrund(); });
    trap.line(50040, [&] {
        surface().stretch_draw(picBG.image(), 0, 0, W, H);
        Refresh();
    });
}

void frmMain::Hintergrund()
{
    Trap trap("frmMain", "Hintergrund");
    const int16_t background = Saver::SaverSettings.Background;
    const int H = ScaleHeight();

    if (background == 0) {
        trap.line(50010, [&] { picBG.Cls(); });
    } else if (background == 1 || background == 2) {
        int16_t w = 0;
        int16_t i = 0;
        trap.line(50020, [&] { StripPicture = load_bitmap_resource(100 + background); });
        trap.line(50030, [&] {
            const double twips = platform().twips_per_pixel_x() > 0 ? platform().twips_per_pixel_x() : 15.0;
            const int32_t himetric = himetric_width(StripPicture, static_cast<int>(std::lround(1440 / twips)));
            w = checked16(static_cast<int64_t>(himetric / twips));
        });
        bool more = true;
        while (more && !trap.left()) {
            trap.line(50040, [&] { picBG.canvas().stretch_draw(StripPicture, i * w, 0, w, H); });
            trap.line(50050, [&] { i = checked16(i + 1); });
            if (!trap.line(50060, [&] { more = checked16(i * w) <= picBG.Width(); })) more = false;
        }
    } else if (background == 3) {
        trap.line(50070, [&] { picBG.set_Picture(&imgBG); });
    }
}

void frmMain::tmrAnimation_timer()
{
    Trap trap("frmMain", "tmrAnimation_timer");
    const auto& s = Saver::SaverSettings;
    const int W = ScaleWidth();
    const int H = ScaleHeight();

    trap.line(50010, [&] { TickNow = static_cast<int32_t>(platform().tick_count()); });
    trap.line(50020, [&] { picBuffer.canvas().blit(0, 0, W, H, picBG.canvas(), 0, 0); });
    trap.line(50030, [&] { picBuffer.CurrentX = 5; });
    trap.line(50040, [&] { picBuffer.CurrentY = H - (font_ ? font_->text_height("1") : 0) - 3; });
    trap.line(50050, [&] { picBuffer.set_ForeColor(text_colour); });
    trap.line(50060, [&] {
        if (s.Date != 0)
            picBuffer.Print(platform().short_date_text(platform().local_time()) + "   ", PictureBox::LineEnd::stay);
    });
    trap.line(50070, [&] {
        if (s.Time != 0) picBuffer.Print(platform().long_time_text(platform().local_time()), PictureBox::LineEnd::stay);
    });
    trap.line(50080, [&] { picBuffer.CurrentX = lblURL.Left; });
    trap.line(50090, [&] { picBuffer.CurrentY = lblURL.Top - 1; });
    trap.line(50100, [&] { picBuffer.Print(lblURL.Caption, PictureBox::LineEnd::next_line); });
    trap.line(50110, [&] { picBuffer.set_ForeColor(white); });
    trap.line(50120, [&] { Flakes(); });
    trap.line(50130, [&] { surface().blit(0, 0, W, H, picBuffer.canvas(), 0, 0); });
    trap.line(50140, [&] { SnowLine = SnowLine - 0.00004; });
    trap.line(50150, [&] { Refresh(); });

    // The millisecond counter wraps after about 49.7 days: the elapsed time is
    // taken modulo 2^32, and the interval in 64 bits, so no tick overflows.
    bool due = false;
    trap.line(50160, [&] {
        const auto elapsed = static_cast<int64_t>(static_cast<uint32_t>(TickNow) - static_cast<uint32_t>(LastRestartTick));
        due = elapsed > static_cast<int64_t>(s.rTime) * 1000 && s.Restart != 0;
    });
    if (!due) return;
    if (LastRestartTick != 0) {
        trap.line(50170, [&] { tmrAnimation.set_Enabled(false); });
        trap.line(50180, [&] { picBG.set_Picture(nullptr); });
        trap.line(50190, [&] { picBuffer.set_Picture(nullptr); });
        trap.line(50200, [&] { flake_count_ = Saver::numFl = Allgemein::Zz(s.minFl, s.maxFl); });
        trap.line(50210, [&] { SnowLine = 0.95; });
        trap.line(50220, [&] { Form_Resize(); });
    }
    trap.line(50230, [&] { LastRestartTick = TickNow; });
}

void frmMain::Flakes()
{
    Trap trap("frmMain", "Flakes");
    const auto& s = Saver::SaverSettings;
    const int W = ScaleWidth();
    const int H = ScaleHeight();
    Canvas& bg = picBG.canvas();
    Canvas& buffer = picBuffer.canvas();

    // The drift and fall ranges depend only on the speed, not on the flake.
    int16_t drift_low = 0, drift_high = 0, fall_low = 0, fall_high = 0;
    trap.line(50010, [&] {
        drift_low = nearest16(-s.SpeedF);
        drift_high = nearest16(2.0 * s.SpeedF);
        fall_low = nearest16(-s.SpeedF * 0.5);
        fall_high = nearest16(s.SpeedF * 4.0);
    });

    for (int i = 0; i <= last_flake(); ++i) {
        FlakeData& f = Flake[static_cast<size_t>(i)];
        const int32_t D = f.Diameter;
        trap.line(50020, [&] { f.X = checked32(static_cast<long long>(f.X) + Allgemein::Zz(drift_low, drift_high)); });
        trap.line(50030, [&] { f.Y = checked32(static_cast<long long>(f.Y) + Allgemein::Zz(fall_low, fall_high)); });
        trap.line(50040, [&] {
            if (f.X > W) f.X = nearest32(static_cast<double>(f.X) - W);
        });
        bool settles = false;
        trap.line(50050, [&] { settles = f.Y > H * (SnowLine + 0.5 * r()); });
        if (settles) {
            trap.line(50060, [&] { bg.ellipse(f.X, f.Y, f.X + D, f.Y + D); });
            // Three near-white patches at random places along the same height.
            auto patch = [&](int16_t left_low, double right_margin, int16_t below_low, int16_t below_high, Color fill) {
                const int16_t a = Allgemein::Zz(left_low, nearest16(W - right_margin));
                const int16_t b = Allgemein::Zz(below_low, below_high);
                picBG.set_FillColor(fill);
                bg.ellipse(a, f.Y + b, a + D, f.Y + b + D);
            };
            trap.line(50070, [&] { patch(25, 30.0, -5, 8, rgb(240, 248, 253)); });
            trap.line(50080, [&] { patch(50, 50.0, 0, 5, rgb(240, 252, 253)); });
            trap.line(50090, [&] { patch(100, 100.0, -5, 2, rgb(239, 251, 252)); });
            trap.line(50100, [&] {
                f.X = nearest32(r() * static_cast<double>(W));
                f.Y = nearest32(r() * static_cast<double>(H) * 0.1);
                f.Diameter = nearest32(r() * static_cast<double>(s.Size) + 4);
            });
            trap.line(50110, [&] { picBG.set_FillColor(white); });
        }
        trap.line(50120, [&] { buffer.ellipse(f.X, f.Y, f.X + f.Diameter, f.Y + f.Diameter); });
    }
}

void frmMain::Form_KeyDown(int, int) { end_on_input("Form_KeyDown"); }
void frmMain::Form_KeyPress(int) { end_on_input("Form_KeyPress"); }
void frmMain::Form_MouseDown(int, int, float, float) { end_on_input("Form_MouseDown"); }
void frmMain::Form_Click() { end_on_input("Form_Click"); }
void frmMain::Form_DblClick() { end_on_input("Form_DblClick"); }
void frmMain::Form_Unload()
{
    if (!MonitorGone) end_on_input("Form_Unload");
}

void frmMain::Form_Terminate()
{
    if (!MonitorGone) end_on_input("Form_Terminate");
}

void frmMain::Form_MouseMove(int, int, float x, float y)
{
    Trap trap("frmMain", "Form_MouseMove");
    trap.line(50010, [&] {
        const PointF at = pointer_point(x, y);
        if (Saver::movement_ends_saver(group_->LastMouse, at.x, at.y)) Saver::exitScreensaver();
    });
}

void frmMain::pointer_placed(float x, float y)
{
    const PointF at = pointer_point(x, y);
    group_->LastMouse.x = at.x;
    group_->LastMouse.y = at.y;
}

// In screen coordinates, which all scenes share, counted in the pointer's
// own units: the movement rule's 3 pixels are 3 of those.
frmMain::PointF frmMain::pointer_point(float x, float y)
{
    const Point at = origin();
    const float unit = loaded() ? static_cast<float>(window().pointer_unit()) : 1.0f;
    return {(x + static_cast<float>(at.x)) / unit, (y + static_cast<float>(at.y)) / unit};
}

}  // namespace fw
