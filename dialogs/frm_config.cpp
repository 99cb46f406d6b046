#include "dialogs/frm_config.h"

#include "dialogs/frm_info.h"
#include "errors/trap.h"
#include "host/saver.h"
#include "toolkit/numbers.h"

#include <string>

namespace fw {

namespace {

DialogDesign config_design()
{
    DialogDesign d;
    d.form.caption = "Frostwisp Screensaver  ---  Settings / Einstellungen...";
    d.form.border = BorderStyle::fixed_tool_window;
    d.form.show_in_taskbar = false;
    d.form.icon = "program_icon.bmp";
    d.client_width_twips = 5850;
    d.client_height_twips = 4650;
    d.start = StartPosition::center_screen;
    return d;
}

FontSpec bold_sans() { return FontSpec{"MS Sans Serif", 8.25, FontWeight::bold, false}; }

constexpr Color light_grey = rgb(192, 192, 192);

}  // namespace

frmConfig::frmConfig()
    : DialogForm("frmConfig", config_design()),
      built_(build()),
      Frame1(control<GroupBox>("Frame1")),
      Label4(control<TextLabel>("Label4")),
      Label5(control<TextLabel>("Label5")),
      lblTime(control<TextLabel>("lblTime")),
      vscTime(control<ScrollBar>("vscTime")),
      chkRandom(control<CheckBox>("chkRandom")),
      cmdHomepage(control<PushButton>("cmdHomepage")),
      cmdInfo(control<PushButton>("cmdInfo")),
      cmdReset(control<PushButton>("cmdReset")),
      cmdOK(control<PushButton>("cmdOK"))
{
    for (CheckBox* box : chkOpt) box->set_handler([this, i = box->index()] { chkOpt_Click(i); });
    for (OptionButton* option : optBack) option->set_handler([this, i = option->index()] { optBack_Click(i); });
    chkRandom.set_handler([this] { chkRandom_Click(); });
    vscTime.set_handler([this] { vscTime_Change(); });
    cmdReset.set_handler([this] { cmdReset_Click(); });
    cmdOK.set_handler([this] { cmdOK_Click(); });
    cmdInfo.set_handler([this] { cmdInfo_Click(); });
    cmdHomepage.set_handler([this] { cmdHomepage_Click(); });
}

bool frmConfig::build()
{
    // Focus order: the bars for count and speed, the date and time boxes, the
    // four buttons, the restart box, the minutes, the background, the size bar.
    enum Tab { hs0, hs1, chk0, chk1, www, info, reset, ok, chk2, vsc, opt0, opt1, opt2, opt3, random, hs2 };

    GroupBox& flakes = add<GroupBox>({"Frame", 1, nullptr, "Frostwisp / Schneeflocken", {120, 120, 2715, 2175}});
    Frame.add(flakes);
    const struct { int row_top; int bar_index; int sign_index; const char* caption; int tab; } rows[] = {
        {240, 0, 1, "Number / Anzahl", hs0},
        {840, 1, 0, "Speed / Tempo", hs1},
        {1440, 2, 2, "Size / Größe", hs2},
    };
    for (const auto& row : rows) {
        Label3.add(add<TextLabel>({"Label3", row.bar_index, &flakes, row.caption, {240, row.row_top, 1815, 255}}));
        ScrollBar& bar = add<ScrollBar>({"HScroll", row.bar_index, &flakes, "", {240, row.row_top + 240, 2200, 200}, row.tab},
                                        Orientation::horizontal);
        bar.set_range(1, 100, 5, 20, 50);
        HScroll.add(bar);
        // The size row's signs sit 5 twips higher than the others'.
        const int sign_top = row.row_top + (row.bar_index == 2 ? 405 : 410);
        TextLabel& minus = add<TextLabel>({"Label1", row.sign_index, &flakes, "-", {300, sign_top, 300, 225}});
        minus.set_Font(bold_sans());
        Label1.add(minus);
        TextLabel& plus = add<TextLabel>({"Label2", row.sign_index, &flakes, "+", {2100, sign_top, 300, 225}});
        plus.set_Font(bold_sans());
        plus.alignment = TextAlign::right;
        Label2.add(plus);
    }

    GroupBox& options = add<GroupBox>({"Frame", 8, nullptr, "Options / Optionen", {120, 2400, 2715, 2055}});
    Frame.add(options);
    const struct { const char* caption; int top; int width; int tab; } boxes[] = {
        {"Date / Datum", 360, 2000, chk0},
        {"Time/ Uhrzeit", 720, 2000, chk1},
        {"Restart / Neustart", 1200, 2175, chk2},
    };
    for (int i = 0; i < 3; ++i) {
        CheckBox& box = add<CheckBox>({"chkOpt", i, &options, boxes[i].caption, {240, boxes[i].top, boxes[i].width, 255}, boxes[i].tab});
        box.set_Value(1);
        chkOpt.add(box);
    }
    add<TextLabel>({"Label4", -1, &options, "after / nach", {360, 1560, 975, 255}});
    TextLabel& minutes = add<TextLabel>({"lblTime", -1, &options, "5", {1320, 1560, 375, 255}});
    minutes.border = ControlBorder::fixed_single;
    minutes.back_style = BackStyle::opaque;
    minutes.alignment = TextAlign::right;
    ScrollBar& time_bar = add<ScrollBar>({"vscTime", -1, &options, "", {1680, 1560, 255, 255}, vsc}, Orientation::vertical);
    time_bar.set_range(1, 99, 1, 1, 1);
    add<TextLabel>({"Label5", -1, &options, "Min.", {2040, 1560, 375, 255}});

    GroupBox& background = add<GroupBox>({"Frame1", -1, nullptr, "Background / Hintergrund ", {3000, 120, 2655, 1935}});
    const char* kinds[] = {"Black / Schwarz", "Blue / Blau", "Gray / Grau", "Desktop"};
    for (int i = 0; i < 4; ++i) {
        OptionButton& option = add<OptionButton>({"optBack", i, &background, kinds[i], {240, 360 + 270 * i, 2055, 255}, opt0 + i});
        option.set_Enabled(false);
        if (i == 0) option.set_Value(true);
        optBack.add(option);
    }
    add<CheckBox>({"chkRandom", -1, &background, "Random / Zufall", {240, 1560, 2055, 195}, random}).set_Value(1);

    add<PushButton>({"cmdHomepage", -1, nullptr, "&WWW...", {3000, 2280, 1200, 975}, www}).picture = "www_icon.bmp";
    add<PushButton>({"cmdInfo", -1, nullptr, "&Info...", {4440, 2280, 1200, 975}, info}).picture = "info_icon.bmp";
    add<PushButton>({"cmdReset", -1, nullptr, "&Default Standard", {3000, 3480, 1200, 975}, reset});
    add<PushButton>({"cmdOK", -1, nullptr, "&OK", {4440, 3480, 1200, 975}, ok}).picture = "program_icon.bmp";
    return true;
}

void frmConfig::Form_Load()
{
    Trap trap("frmConfig", "Form_Load");
    trap.ignoring(err::invalid_property);
    SaverSettingsRecord& s = Saver::SaverSettings;
    trap.line(50010, [&] { HScroll(0).set_Value(to_int16(checked16(s.maxFl - 20) * 0.5556)); });
    trap.line(50020, [&] { HScroll(1).set_Value(to_int16((s.SpeedF - 2.0f) * 12.5)); });
    trap.line(50030, [&] { HScroll(2).set_Value(to_int16((s.Size - 2.0f) * 12.5)); });
    trap.line(50040, [&] { chkOpt(0).set_Value(s.Date); });
    trap.line(50050, [&] { chkOpt(1).set_Value(s.Time); });
    trap.line(50060, [&] { chkOpt(2).set_Value(s.Restart); });
    trap.line(50070, [&] { lblTime.set_Caption(format_pattern(s.rTime / 60, "##")); });
    trap.line(50080, [&] { vscTime.set_Value(checked16(100LL - s.rTime / 60)); });
    if (s.Background == 4) {
        trap.line(50090, [&] { chkRandom.set_Value(1); });
        return;
    }
    trap.line(50100, [&] { chkRandom.set_Value(0); });
    trap.line(50110, [&] { optBack(s.Background).set_Value(true); });
}

void frmConfig::chkOpt_Click(int /*index*/)
{
    Trap trap("frmConfig", "chkOpt_Click");
    if (chkOpt(2).Value() == 0) {
        trap.line(50010, [&] { vscTime.set_Enabled(false); });
        trap.line(50020, [&] { lblTime.set_ForeColor(light_grey); });
    } else {
        trap.line(50030, [&] { vscTime.set_Enabled(true); });
        trap.line(50040, [&] { lblTime.set_ForeColor(window_text_color); });
    }
}

void frmConfig::chkRandom_Click()
{
    Trap trap("frmConfig", "chkRandom_Click");
    if (chkRandom.Value() == 1) {
        for (int i = 0; i < 4; ++i) trap.line(50010, [&] { optBack(i).set_Enabled(false); });
        trap.line(50020, [&] { Saver::SaverSettings.Background = 4; });
        trap.line(50030, [&] { Saver::SaverSettings.RandomBack = true; });
    } else {
        for (int i = 0; i < 4; ++i) trap.line(50040, [&] { optBack(i).set_Enabled(true); });
        trap.line(50050, [&] { Saver::SaverSettings.RandomBack = false; });
    }
}

void frmConfig::optBack_Click(int index)
{
    Trap trap("frmConfig", "optBack_Click");
    trap.line(50010, [&] { Saver::SaverSettings.Background = checked16(index); });
}

void frmConfig::vscTime_Change()
{
    Trap trap("frmConfig", "vscTime_Change");
    trap.line(50010, [&] { lblTime.set_Caption(std::to_string(checked16(100 - vscTime.Value()))); });
}

void frmConfig::cmdReset_Click()
{
    Trap trap("frmConfig", "cmdReset_Click");
    for (int i = 0; i < 3; ++i) trap.line(50010, [&] { HScroll(i).set_Value(50); });
    for (int i = 0; i < 3; ++i) trap.line(50020, [&] { chkOpt(i).set_Value(1); });
    trap.line(50030, [&] { lblTime.set_Caption("10"); });
    trap.line(50040, [&] { vscTime.set_Value(90); });
    trap.line(50050, [&] { chkRandom.set_Value(1); });
}

void frmConfig::cmdOK_Click()
{
    Trap trap("frmConfig", "cmdOK_Click");
    SaverSettingsRecord& s = Saver::SaverSettings;
    trap.line(50010, [&] { s.maxFl = to_int16(HScroll(0).Value() * 1.8 + 20); });
    trap.line(50020, [&] { s.SpeedF = to_single(HScroll(1).Value() * 0.08 + 2); });
    trap.line(50030, [&] { s.Size = to_single(HScroll(2).Value() * 0.08 + 2); });
    trap.line(50040, [&] { s.Date = checked16(chkOpt(0).Value()); });
    trap.line(50050, [&] { s.Time = checked16(chkOpt(1).Value()); });
    trap.line(50060, [&] { s.Restart = checked16(chkOpt(2).Value()); });
    // An empty field comes only from a stored interval below one minute, which
    // the bar cannot show; writing 0 for it would rebuild the scene at every
    // tick, so the stored interval is kept instead.
    trap.line(50070, [&] {
        const int32_t seconds = to_int32(leading_number(lblTime.Caption()) * 60);
        if (!lblTime.Caption().empty()) s.rTime = seconds;
    });
    // A save that failed keeps the dialog open with the user's choices, to
    // try again or to close it.
    bool saved = false;
    trap.line(50080, [&] { saved = Saver::SaveConfig(); });
    trap.line(50090, [&] {
        if (saved) Unload();
    });
}

void frmConfig::cmdInfo_Click()
{
    Trap trap("frmConfig", "cmdInfo_Click");
    trap.line(50010, [&] { Forms::create<frmInfo>().Show(ShowMode::modal); });
}

void frmConfig::cmdHomepage_Click()
{
    Trap trap("frmConfig", "cmdhomepage_Click");
    trap.line(50010, [&] { platform().open_url(Saver::web_url(Saver::web_address)); });
}

}  // namespace fw
