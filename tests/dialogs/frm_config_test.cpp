#include "dialogs/frm_config.h"

#include "dialogs/frm_info.h"
#include "host/saver.h"
#include "toolkit/numbers.h"

#include "../support/headless_fixture.h"

#include <map>

namespace fw {
namespace {

using testing::count_of;

constexpr Color grey = rgb(192, 192, 192);

class ConfigTest : public testing::HeadlessTest {
protected:
    void store(const char* key, const std::string& value) { memory->write("Frostwisp", "Settings", key, value); }

    // The program started with "/C": the settings read, the dialog shown.
    frmConfig& open()
    {
        if (!backend) start();
        Saver::LoadConfig();
        frmConfig& dialog = Forms::create<frmConfig>();
        dialog.Show(ShowMode::modeless);
        return dialog;
    }

    std::map<std::string, std::string> stored() const
    {
        std::map<std::string, std::string> keys;
        for (const auto& [name, value] : memory->entries) keys[name.substr(std::string("Frostwisp/Settings/").size())] = value;
        return keys;
    }

    static int selected(frmConfig& d)
    {
        int found = -1;
        for (OptionButton* o : d.optBack)
            if (o->Value()) found = o->index();
        return found;
    }
};

const std::map<std::string, std::string> default_texts = {
    {"maxFl", "110"}, {"SpeedF", "6"}, {"Size", "6"},    {"Date", "1"},
    {"Time", "1"},    {"Restart", "1"}, {"rTime", "600"}, {"Background", "4"},
};

TEST_F(ConfigTest, DefaultsShowAndComeBackUnchanged)
{
    frmConfig& d = open();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(d.HScroll(i).Value(), 50) << i;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(d.chkOpt(i).Value(), 1) << i;
    EXPECT_EQ(d.lblTime.Caption(), "10");
    EXPECT_EQ(d.vscTime.Value(), 90);
    EXPECT_TRUE(d.vscTime.Enabled());
    EXPECT_EQ(d.lblTime.ForeColor(), window_text_color);
    EXPECT_EQ(d.chkRandom.Value(), 1);
    for (OptionButton* o : d.optBack) EXPECT_FALSE(o->Enabled());
    EXPECT_EQ(selected(d), 0);

    d.cmdOK_Click();
    EXPECT_EQ(stored(), default_texts);
    EXPECT_EQ(memory->entries.size(), 8u);
    EXPECT_FALSE(d.loaded());
    EXPECT_TRUE(protocol().empty());
}

TEST_F(ConfigTest, EveryBarPositionSurvivesLoadAndOk)
{
    start();
    for (int p = 1; p <= 100; ++p) {
        SCOPED_TRACE(p);
        frmConfig& first = open();
        for (int i = 0; i < 3; ++i) first.HScroll(i).set_Value(p);
        first.cmdOK_Click();
        const auto texts = stored();
        const int count = std::stoi(texts.at("maxFl"));
        EXPECT_EQ(count, static_cast<int>(round_even(p * 1.8 + 20)));
        EXPECT_GE(count, 22);
        EXPECT_LE(count, 200);

        // What OK stored, read back at the next start, shows the same positions
        // and is written back unchanged.
        frmConfig& again = open();
        for (int i = 0; i < 3; ++i) EXPECT_EQ(again.HScroll(i).Value(), p) << i;
        again.cmdOK_Click();
        EXPECT_EQ(stored(), texts);
    }
    EXPECT_EQ(stored().at("SpeedF"), "10");
    EXPECT_TRUE(protocol().empty());
}

TEST_F(ConfigTest, TheMinutesFieldFollowsTheStoredInterval)
{
    const struct {
        const char* rtime;
        const char* shown;
        int position;
        const char* written;
        bool recorded = false;  // on load, as an interval below a second
    } cases[] = {
        {"630", "10", 90, "600"},     // truncated to whole minutes
        {"60", "1", 99, "60"},        {"5940", "99", 1, "5940"},
        {"6000", "100", 1, "6000"},   // position 0 is refused, the field still shows 100
        {"9000", "150", 1, "9000"},
        {"59", "", 1, "59"},          // below a minute: nothing to show; OK keeps the stored interval
        {"-120", "10", 90, "600", true},  // below a second: the default shown and stored
        {"0", "10", 90, "600", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rtime);
        options = {};
        SetUp();
        store("rTime", c.rtime);
        frmConfig& d = open();
        EXPECT_EQ(d.lblTime.Caption(), c.shown);
        EXPECT_EQ(d.vscTime.Value(), c.position);
        d.cmdOK_Click();
        EXPECT_EQ(stored().at("rTime"), c.written);
        EXPECT_EQ(protocol().empty(), !c.recorded);  // a refused position is skipped silently
        TearDown();
    }
}

TEST_F(ConfigTest, TheFieldIsTheSourceOfTheMinutes)
{
    frmConfig& d = open();
    // The up arrow raises the minutes; each step writes the field.
    for (int step = 1; step <= 5; ++step) {
        d.vscTime.user_step(-1);
        EXPECT_EQ(d.lblTime.Caption(), std::to_string(10 + step));
    }
    d.vscTime.user_scroll_to(99);
    EXPECT_EQ(d.lblTime.Caption(), "1");
    d.lblTime.set_Caption("7");
    d.cmdOK_Click();
    EXPECT_EQ(stored().at("rTime"), "420");
}

TEST_F(ConfigTest, RefusedPositionsKeepTheDesignState)
{
    const struct { const char* key; const char* value; int bar; const char* written_key; const char* written; } cases[] = {
        {"maxFl", "10", 0, "maxFl", "110"},  // position -6
        {"maxFl", "300", 0, "maxFl", "110"}, // position 156
        {"SpeedF", "1", 1, "SpeedF", "6"},   // position -12
        {"Size", "12.5", 2, "Size", "6"},    // position 131
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value);
        options = {};
        SetUp();
        store(c.key, c.value);
        frmConfig& d = open();
        EXPECT_EQ(d.HScroll(c.bar).Value(), 50);
        d.cmdOK_Click();
        EXPECT_EQ(stored().at(c.written_key), c.written);
        EXPECT_TRUE(protocol().empty());
        TearDown();
    }
}

TEST_F(ConfigTest, OverflowsAreReportedNotIgnored)
{
    const struct { const char* key; const char* value; const char* line; } cases[] = {
        {"maxFl", "-32760", "50010"},        // maxFl - 20 leaves 16 bits
        {"rTime", "2000000000", "50080"},    // 100 - minutes leaves 16 bits
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        options = {};
        SetUp();
        store(c.key, c.value);
        frmConfig& d = open();
        const std::string text = protocol();
        EXPECT_EQ(count_of(text, "6 (Overflow)"), 3);
        EXPECT_EQ(count_of(text, std::string("Zeile / Line:\t") + c.line), 3);
        EXPECT_NE(text.find("frmConfig"), std::string::npos);
        EXPECT_NE(text.find("Form_Load"), std::string::npos);
        // The later steps still ran.
        EXPECT_EQ(d.chkRandom.Value(), 1);
        TearDown();
    }
}

TEST_F(ConfigTest, RestartOffDisablesTheMinutesUntilTheBoxIsChecked)
{
    store("Restart", "0");
    frmConfig& d = open();
    EXPECT_EQ(d.chkOpt(2).Value(), 0);
    EXPECT_FALSE(d.vscTime.Enabled());
    EXPECT_EQ(d.lblTime.ForeColor(), grey);
    // The date and time boxes leave the minutes alone.
    d.chkOpt(0).user_click();
    d.chkOpt(1).user_click();
    EXPECT_FALSE(d.vscTime.Enabled());
    d.chkOpt(2).user_click();
    EXPECT_TRUE(d.vscTime.Enabled());
    EXPECT_EQ(d.lblTime.ForeColor(), window_text_color);
    d.chkOpt(2).user_click();
    EXPECT_FALSE(d.vscTime.Enabled());
    d.cmdOK_Click();
    EXPECT_EQ(stored().at("Restart"), "0");
    EXPECT_EQ(stored().at("Date"), "0");
    EXPECT_EQ(stored().at("Time"), "0");
}

TEST_F(ConfigTest, DimmedBoxesShowAndAreWrittenBack)
{
    store("Date", "2");
    store("Restart", "2");
    store("Time", "3");  // no box value: refused, the box stays checked
    frmConfig& d = open();
    EXPECT_EQ(d.chkOpt(0).Value(), 2);
    EXPECT_EQ(d.chkOpt(1).Value(), 1);
    EXPECT_EQ(d.chkOpt(2).Value(), 2);
    EXPECT_TRUE(d.vscTime.Enabled());
    d.cmdOK_Click();
    EXPECT_EQ(stored().at("Date"), "2");
    EXPECT_EQ(stored().at("Time"), "1");
    EXPECT_EQ(stored().at("Restart"), "2");
}

TEST_F(ConfigTest, AStoredBackgroundSelectsItsOption)
{
    for (int kind = 0; kind < 4; ++kind) {
        SCOPED_TRACE(kind);
        options = {};
        SetUp();
        store("Background", std::to_string(kind));
        frmConfig& d = open();
        EXPECT_EQ(d.chkRandom.Value(), 0);
        for (OptionButton* o : d.optBack) EXPECT_TRUE(o->Enabled());
        EXPECT_EQ(selected(d), kind);
        EXPECT_EQ(Saver::SaverSettings.Background, kind);
        EXPECT_FALSE(Saver::SaverSettings.RandomBack);
        d.cmdOK_Click();
        EXPECT_EQ(stored().at("Background"), std::to_string(kind));
        TearDown();
    }
}

TEST_F(ConfigTest, RandomAndTheOptionsSetTheBackground)
{
    frmConfig& d = open();
    d.chkRandom.user_click();
    for (OptionButton* o : d.optBack) EXPECT_TRUE(o->Enabled());
    EXPECT_FALSE(Saver::SaverSettings.RandomBack);
    EXPECT_EQ(Saver::SaverSettings.Background, 4);  // until an option is clicked
    d.optBack(2).user_click();
    EXPECT_EQ(Saver::SaverSettings.Background, 2);
    d.optBack(2).user_click();  // already selected: nothing runs
    EXPECT_EQ(selected(d), 2);
    d.chkRandom.user_click();
    for (OptionButton* o : d.optBack) EXPECT_FALSE(o->Enabled());
    EXPECT_EQ(Saver::SaverSettings.Background, 4);
    EXPECT_TRUE(Saver::SaverSettings.RandomBack);
    d.chkRandom.user_click();
    d.cmdOK_Click();
    // Unchecked without a choice: still random.
    EXPECT_EQ(stored().at("Background"), "4");
}

TEST_F(ConfigTest, DefaultButtonPutsEveryControlBack)
{
    const struct { const char* background; bool random_before; } cases[] = {{"4", true}, {"1", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.background);
        options = {};
        SetUp();
        store("Background", c.background);
        store("maxFl", "200");
        store("Restart", "0");
        store("rTime", "1800");
        frmConfig& d = open();
        ASSERT_EQ(d.chkRandom.Value() == 1, c.random_before);
        d.HScroll(1).user_step(20);
        d.chkOpt(0).user_click();
        d.cmdReset_Click();
        for (int i = 0; i < 3; ++i) EXPECT_EQ(d.HScroll(i).Value(), 50);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(d.chkOpt(i).Value(), 1);
        EXPECT_TRUE(d.vscTime.Enabled());
        EXPECT_EQ(d.lblTime.ForeColor(), window_text_color);
        EXPECT_EQ(d.lblTime.Caption(), "10");
        EXPECT_EQ(d.vscTime.Value(), 90);
        EXPECT_EQ(d.chkRandom.Value(), 1);
        for (OptionButton* o : d.optBack) EXPECT_FALSE(o->Enabled());
        EXPECT_EQ(Saver::SaverSettings.Background, 4);
        EXPECT_TRUE(Saver::SaverSettings.RandomBack);
        // The defaults button writes nothing by itself.
        EXPECT_EQ(stored().at("maxFl"), "200");
        d.cmdOK_Click();
        EXPECT_EQ(stored(), default_texts);
        TearDown();
    }
}

TEST_F(ConfigTest, ABackgroundThatNamesNoOptionLeavesTheDialogUsable)
{
    for (const char* kind : {"7", "-1"}) {
        SCOPED_TRACE(kind);
        options = {};
        SetUp();
        store("Background", kind);
        frmConfig& d = open();
        const std::string text = protocol();
        // The failing step is reported until the trap's bound, then passed over.
        EXPECT_EQ(count_of(text, "Zeile / Line:\t50110"), 3);
        EXPECT_EQ(count_of(text, std::string("340 (Control array element '") + kind + "' doesn't exist)"), 3);
        EXPECT_TRUE(d.loaded());
        EXPECT_EQ(d.chkRandom.Value(), 0);
        for (OptionButton* o : d.optBack) EXPECT_TRUE(o->Enabled());
        EXPECT_EQ(selected(d), 0);
        d.cmdOK_Click();
        EXPECT_EQ(stored().at("Background"), kind);
        TearDown();
    }
}

TEST_F(ConfigTest, TheCloseBoxWritesNothing)
{
    frmConfig& d = open();
    d.HScroll(0).user_scroll_to(100);
    d.chkRandom.user_click();
    d.optBack(3).user_click();
    d.destroyed_by_system();
    EXPECT_FALSE(d.loaded());
    EXPECT_TRUE(memory->entries.empty());
    EXPECT_EQ(Forms::count(), 0);
}

TEST_F(ConfigTest, InfoButtonShowsAFreshInfoDialogModally)
{
    frmConfig& d = open();
    std::vector<const Form*> seen;
    for (int round = 0; round < 2; ++round) {
        d.cmdInfo_Click();
        ASSERT_EQ(Forms::count(), 2);
        auto* info = dynamic_cast<frmInfo*>(&Forms::at(1));
        ASSERT_NE(info, nullptr);
        EXPECT_TRUE(backend->window_of(*info)->modal);
        EXPECT_EQ(info->Label(1).Caption(), "1.00.0491");
        for (const Form* before : seen) EXPECT_NE(before, info);  // the closed one is still held
        seen.push_back(info);
        info->ok.user_click();
        EXPECT_EQ(Forms::count(), 1);
        EXPECT_FALSE(info->loaded());
    }
    EXPECT_TRUE(d.loaded());
}

TEST_F(ConfigTest, WebButtonOpensTheMakersAddress)
{
    frmConfig& d = open();
    d.cmdHomepage.user_click();
    EXPECT_EQ(backend->calls, std::vector<std::string>{"open https://www.frostwisp.example/"});
    EXPECT_TRUE(d.loaded());
}

TEST_F(ConfigTest, TheWindowAndItsControlsKeepTheirPlaces)
{
    frmConfig& d = open();
    EXPECT_EQ(d.design().caption, "Frostwisp Screensaver  ---  Settings / Einstellungen...");
    EXPECT_EQ(d.design().border, BorderStyle::fixed_tool_window);
    EXPECT_FALSE(d.design().show_in_taskbar);
    EXPECT_EQ(d.dialog_design().start, StartPosition::center_screen);
    // Every control lies inside its container, and every container inside the window.
    for (Control* c : d.controls()) {
        SCOPED_TRACE(c->name() + std::to_string(c->index()));
        const TwipRect r = d.client_rect(*c);
        EXPECT_GE(r.left, 0);
        EXPECT_GE(r.top, 0);
        EXPECT_LE(r.right(), d.client_width_twips());
        EXPECT_LE(r.bottom(), d.client_height_twips());
        if (GroupBox* holder = c->container()) {
            EXPECT_LE(c->position().right(), holder->Width());
            EXPECT_LE(c->position().bottom(), holder->Height());
        }
        // A group box is drawn before what it holds.
        if (c->container()) {
            EXPECT_LT(std::find(d.controls().begin(), d.controls().end(), c->container()),
                      std::find(d.controls().begin(), d.controls().end(), c));
        }
    }
    std::vector<std::string> order;
    for (Control* c : d.focus_order()) order.push_back(c->name() + (c->index() >= 0 ? std::to_string(c->index()) : ""));
    EXPECT_EQ(order, (std::vector<std::string>{"HScroll0", "HScroll1", "chkOpt0", "chkOpt1", "cmdHomepage", "cmdInfo",
                                               "cmdReset", "cmdOK", "chkOpt2", "vscTime", "optBack0", "optBack1",
                                               "optBack2", "optBack3", "chkRandom", "HScroll2"}));
    const std::string keys = {d.cmdReset.access_key(), d.cmdInfo.access_key(), d.cmdHomepage.access_key(),
                              d.cmdOK.access_key()};
    EXPECT_EQ(keys, "diwo");
    EXPECT_EQ(d.Label3(2).Caption(), "Size / Größe");
    EXPECT_EQ(d.Frame1.Caption(), "Background / Hintergrund ");
}

}  // namespace
}  // namespace fw
