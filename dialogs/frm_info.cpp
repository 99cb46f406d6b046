#include "dialogs/frm_info.h"

#include "errors/trap.h"
#include "host/saver.h"
#include "toolkit/numbers.h"
#include "version.h"

namespace fw {

namespace {

constexpr Color dark_blue = rgb(0, 0, 128);
constexpr Color dark_red = rgb(128, 0, 0);
constexpr Color link_blue = rgb(0, 0, 192);

FontSpec sans(double points, FontWeight weight = FontWeight::bold, bool underline = false)
{
    return FontSpec{"MS Sans Serif", points, weight, underline};
}

DialogDesign info_design()
{
    DialogDesign d;
    d.form.border = BorderStyle::none;
    d.form.show_in_taskbar = false;
    d.form.icon = "info_window_icon.bmp";
    d.client_width_twips = 5340;
    d.client_height_twips = 4935;
    d.start = StartPosition::manual;
    d.back_color = dark_blue;
    d.font = sans(8.25);
    return d;
}

}  // namespace

frmInfo::frmInfo()
    : DialogForm("frmInfo", info_design()),
      built_(build()),
      Image2(control<ImageBox>("Image2")),
      lblHomepage(control<TextLabel>("lblHomepage")),
      ok(control<PushButton>("ok"))
{
    lblHomepage.set_handler([this] { lblHomepage_Click(); });
    ok.set_handler([this] { OK_Click(); });
}

bool frmInfo::build()
{
    ImageBox& picture = add<ImageBox>({"Image2", -1, nullptr, "", {0, 0, 5340, 4935}});
    picture.picture = "info_background.bmp";
    picture.stretch = true;

    TextLabel& title = add<TextLabel>({"Label", 0, nullptr, "", {840, 1200, 3732, 252}});
    title.back_style = BackStyle::opaque;
    title.set_Font(sans(12));
    Label.add(title);

    Label.add(add<TextLabel>({"Label", 1, nullptr, "", {840, 1680, 3735, 255}}));

    TextLabel& freeware = add<TextLabel>({"Label", 2, nullptr, "Freeware", {840, 1920, 3735, 375}});
    freeware.back_style = BackStyle::opaque;
    freeware.set_ForeColor(dark_red);
    freeware.set_Font(sans(13.5));
    Label.add(freeware);

    TextLabel& link = add<TextLabel>({"lblHomepage", -1, nullptr, std::string(Saver::web_address), {840, 2350, 3735, 255}});
    link.set_ForeColor(link_blue);
    link.set_Font(sans(8.25, FontWeight::bold, true));

    ImageBox& small = add<ImageBox>({"Image1", 1, nullptr, "", {3960, 2430, 480, 480}});
    small.picture = "info_picture.bmp";
    Image1.add(small);

    TextLabel& number = add<TextLabel>({"Label", 4, nullptr, "SAVE program number QXR_114", {840, 2640, 3135, 255}});
    number.set_Font(sans(8.25, FontWeight::regular));
    Label.add(number);

    for (TextLabel* label : Label) label->alignment = TextAlign::center;
    link.alignment = TextAlign::center;

    add<PushButton>({"ok", -1, nullptr, "&OK", {3120, 3960, 615, 495}, 0});
    return true;
}

std::string frmInfo::version_text(int major, int minor, int revision)
{
    return std::to_string(major) + "." + format_pattern(minor, "00") + "." + format_pattern(revision, "0000");
}

int32_t frmInfo::centred(double screen_extent, double window_extent)
{
    return to_int32(screen_extent - window_extent) / 2;
}

void frmInfo::Form_Load()
{
    Trap trap("frmInfo", "Form_Load");
    trap.line(50010, [&] {
        const TwipRect screen = dialog_screen_twips();
        Move(screen.left + centred(screen.width, Width()), screen.top + centred(screen.height, Height()));
    });
    trap.line(50020, [&] { Label(0).set_Caption(version::title); });
    trap.line(50030, [&] { Label(1).set_Caption(version_text(version::major, version::minor, version::revision)); });
}

void frmInfo::lblHomepage_Click()
{
    Trap trap("frmInfo", "lblHomepage_Click");
    trap.line(50010, [&] { platform().open_url(Saver::web_url(lblHomepage.Caption())); });
}

void frmInfo::OK_Click()
{
    Trap trap("frmInfo", "OK_Click");
    trap.line(50010, [&] { Unload(); });
}

}  // namespace fw
