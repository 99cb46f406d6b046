#include "host/saver.h"

#include "host/allgemein.h"
#include "scene/frm_main.h"
#include "toolkit/numbers.h"
#include "toolkit/runtime_error.h"

#include "../support/headless_fixture.h"

#include <algorithm>

namespace fw {
namespace {

using testing::count_of;

class SaverTest : public testing::HeadlessTest {
protected:
    void store(const char* key, const char* value) { memory->write("Frostwisp", "Settings", key, value); }

    std::vector<std::string> loaded_forms() const
    {
        std::vector<std::string> names;
        for (int i = 0; i < Forms::count(); ++i) names.push_back(Forms::at(i).name());
        return names;
    }

    bool called(const std::string& call) const
    {
        return std::find(backend->calls.begin(), backend->calls.end(), call) != backend->calls.end();
    }
};

TEST_F(SaverTest, SwitchTableOpensTheWindowItsModeAsks)
{
    const struct { const char* command; const char* form; bool saver_mode; } cases[] = {
        {"", "frmMain", true},         {"/s", "frmMain", true},      {"   /S   ", "frmMain", true},
        {"/SAVE", "frmMain", true},    {"/c:1234", "frmConfig", false}, {"/C", "frmConfig", false},
        {"-s", "", false},             {"S", "", false},             {"/X", "", false},
        {"/A 1234", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        options = {};
        SetUp();
        options.command_text = c.command;
        start();
        Saver::Main();
        const auto forms = loaded_forms();
        if (*c.form)
            EXPECT_EQ(forms, std::vector<std::string>{c.form});
        else
            EXPECT_TRUE(forms.empty());
        EXPECT_EQ(Saver::SaverMode, c.saver_mode);
        // Every start reads the settings and switches the system's activation off first.
        EXPECT_EQ(Saver::SaverSettings.maxFl, 110);
        ASSERT_FALSE(backend->calls.empty());
        EXPECT_EQ(backend->calls.front(), "active 0");
        TearDown();
    }
}

TEST_F(SaverTest, FullScreenBranchHidesThePointerAndShowsTheSceneOnTop)
{
    options.command_text = "/S";
    auto& p = start();
    Saver::Main();
    EXPECT_EQ(p.calls, (std::vector<std::string>{"active 0", "running 1", "cursor 0"}));
    auto* window = p.window_of(Forms::at(0));
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->topmost);
    EXPECT_TRUE(window->visible);
}

TEST_F(SaverTest, PasswordChangeOnlyOnWindows9x)
{
    options.command_text = "/a 1234";
    start();
    Saver::Main();
    EXPECT_FALSE(called("change-password 1234"));
    TearDown();
    SetUp();
    options.command_text = "/a 1234";
    options.version.platform_id = platform_windows_9x;
    start();
    Saver::Main();
    EXPECT_TRUE(called("change-password 1234"));
}

TEST_F(SaverTest, WindowHandleRule)
{
    const struct { const char* command; int32_t handle; } cases[] = {
        {"/P 1234", 1234}, {"/P:1234", 1234}, {"/P 1234   ", 1234}, {"/P", 0}, {"/P ", 0},
        {"/P 12.5", 12},   {"/P 13.5", 14},   {"/P    77", 77},     {"/P X12", 0}, {"/P -3", -3},
    };
    for (const auto& c : cases) EXPECT_EQ(Saver::window_handle_from(c.command), c.handle) << c.command;
}

TEST(WebUrl, ABareHostBecomesTheHttpsRootAndAFullUrlStays)
{
    EXPECT_EQ(Saver::web_url(Saver::web_address), "https://www.frostwisp.example/");
    EXPECT_EQ(Saver::web_url("www.frostwisp.example/snow"), "https://www.frostwisp.example/snow");
    EXPECT_EQ(Saver::web_url("http://www.frostwisp.example/"), "http://www.frostwisp.example/");
}

TEST_F(SaverTest, PreviewBranchEmbedsIntoTheParentsClientArea)
{
    options.command_text = "/p 4660";
    options.foreign_windows[4660] = {152, 112};
    auto& p = start();
    Saver::Main();
    ASSERT_EQ(loaded_forms(), std::vector<std::string>{"frmPreview"});
    auto* w = p.window_of(Forms::at(0));
    EXPECT_EQ(w->parent, 4660);
    EXPECT_EQ(w->width, 152);
    EXPECT_EQ(w->height, 112);
    EXPECT_FALSE(Saver::SaverMode);
    EXPECT_EQ(Forms::at(0).surface().width(), 152);
}

TEST_F(SaverTest, EmptyStoreGivesTheDefaults)
{
    start();
    Saver::LoadConfig();
    const auto& s = Saver::SaverSettings;
    EXPECT_EQ(s.maxFl, 110);
    EXPECT_EQ(s.minFl, 55);
    EXPECT_EQ(s.SpeedF, 6.0f);
    EXPECT_EQ(s.Size, 6.0f);
    EXPECT_EQ(s.Date, 1);
    EXPECT_EQ(s.Time, 1);
    EXPECT_EQ(s.Restart, 1);
    EXPECT_EQ(s.rTime, 600);
    EXPECT_EQ(s.Background, 4);
    EXPECT_TRUE(s.RandomBack);
    EXPECT_TRUE(protocol().empty());
}

TEST_F(SaverTest, StoredTextsConvertByTheRules)
{
    const struct { const char* key; const char* text; int16_t maxFl, minFl; } counts[] = {
        {"maxFl", "0", 0, 0}, {"maxFl", "1", 1, 0}, {"maxFl", "3", 3, 2}, {"maxFl", "111", 111, 56},
        {"maxFl", "113", 113, 56}, {"maxFl", "110.5", 110, 55}, {"maxFl", "111.5", 112, 56},
    };
    for (const auto& c : counts) {
        SCOPED_TRACE(c.text);
        SetUp();
        store(c.key, c.text);
        start();
        Saver::LoadConfig();
        EXPECT_EQ(Saver::SaverSettings.maxFl, c.maxFl);
        EXPECT_EQ(Saver::SaverSettings.minFl, c.minFl);
        TearDown();
    }
    SetUp();
    store("Background", "2");
    store("SpeedF", "4,88");
    store("rTime", "-30");
    options.decimal_separator = ',';
    start();
    Saver::LoadConfig();
    EXPECT_EQ(Saver::SaverSettings.Background, 2);
    EXPECT_FALSE(Saver::SaverSettings.RandomBack);
    EXPECT_EQ(Saver::SaverSettings.SpeedF, 4.88f);
    EXPECT_EQ(Saver::SaverSettings.rTime, 600);  // below a second: recorded, the default used
}

TEST_F(SaverTest, BadStoredTextIsReportedThreeTimesThenTakesTheDefault)
{
    store("maxFl", "abc");
    store("Date", "40000");
    start();
    Saver::LoadConfig();
    EXPECT_EQ(Saver::SaverSettings.maxFl, 110);
    EXPECT_EQ(Saver::SaverSettings.minFl, 55);
    EXPECT_EQ(Saver::SaverSettings.Date, 1);
    const std::string p = protocol();
    EXPECT_EQ(count_of(p, "13 (Type mismatch)"), 3);
    EXPECT_EQ(count_of(p, "6 (Overflow)"), 3);
    EXPECT_EQ(count_of(p, "Prozedur / procedure:\tLoadConfig"), 6);
    EXPECT_EQ(count_of(p, "Zeile / Line:\t50010"), 3);
    EXPECT_EQ(count_of(p, "Zeile / Line:\t50050"), 3);
    EXPECT_EQ(*memory->read("Frostwisp", "Settings", "maxFl"), "abc");  // left as stored
}

TEST_F(SaverTest, SaveConfigWritesExactlyTheEightKeysInOrder)
{
    start();
    Saver::LoadConfig();
    Saver::SaverSettings.SpeedF = 4.88f;
    Saver::SaveConfig();
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Frostwisp/Settings/SpeedF", "4.88"}, {"Frostwisp/Settings/Size", "6"},
        {"Frostwisp/Settings/maxFl", "110"},   {"Frostwisp/Settings/Date", "1"},
        {"Frostwisp/Settings/Time", "1"},      {"Frostwisp/Settings/Restart", "1"},
        {"Frostwisp/Settings/rTime", "600"},   {"Frostwisp/Settings/Background", "4"},
    };
    EXPECT_EQ(memory->entries, expected);
}

TEST_F(SaverTest, SettingsSurviveASaveAndALoad)
{
    options.decimal_separator = ',';
    start();
    for (int p = 1; p <= 100; ++p) {
        Saver::SaverSettings = {};
        Saver::SaverSettings.maxFl = to_int16(p * 1.8 + 20);
        Saver::SaverSettings.SpeedF = static_cast<float>(p * 0.08 + 2);
        Saver::SaverSettings.Size = static_cast<float>((101 - p) * 0.08 + 2);
        Saver::SaverSettings.rTime = p * 60;
        Saver::SaverSettings.Background = static_cast<int16_t>(p % 5);
        const SaverSettingsRecord saved = Saver::SaverSettings;
        Saver::SaveConfig();
        Saver::SaverSettings = {};
        Saver::LoadConfig();
        EXPECT_EQ(Saver::SaverSettings.maxFl, saved.maxFl);
        EXPECT_EQ(Saver::SaverSettings.SpeedF, saved.SpeedF);
        EXPECT_EQ(Saver::SaverSettings.Size, saved.Size);
        EXPECT_EQ(Saver::SaverSettings.rTime, saved.rTime);
        EXPECT_EQ(Saver::SaverSettings.Background, saved.Background);
    }
}

TEST_F(SaverTest, FailingWriteIsReportedUnderSaveConfig)
{
    start();
    memory->fail_writes_with = 70;
    EXPECT_FALSE(Saver::SaveConfig());
    // The eight keys go in one write, which is tried three times.
    EXPECT_EQ(count_of(protocol(), "70 (Permission denied)"), 3);
    EXPECT_EQ(count_of(protocol(), "Modul:\tSaver"), 3);
    EXPECT_EQ(count_of(protocol(), "Prozedur / procedure:\tSaveConfig"), 3);
    memory->fail_writes_with = 0;
    EXPECT_TRUE(Saver::SaveConfig());
}

TEST_F(SaverTest, ExitOutsideTheFullScreenSaverDoesNothing)
{
    auto& p = start();
    Saver::exitScreensaver();
    EXPECT_TRUE(p.calls.empty());
}

TEST_F(SaverTest, ExitRestoresTheSystemAndEndsThroughTheUnloadReentry)
{
    options.command_text = "/S";
    auto& p = start();
    Saver::Main();
    p.calls.clear();
    EXPECT_THROW(Saver::exitScreensaver(), ProgramEnd);
    // The scene's unload handler enters a second time; its Shutdown finds the
    // scene still loaded and ends the program at once.
    EXPECT_EQ(p.calls, (std::vector<std::string>{"cursor 1", "active 1", "running 0", "cursor 1", "active 1",
                                                 "running 0", "end"}));
}

TEST_F(SaverTest, RefusedPasswordOnWindows9xKeepsTheSaverRunning)
{
    options.command_text = "/S";
    options.version.platform_id = platform_windows_9x;
    options.password_accepted = false;
    auto& p = start();
    Saver::Main();
    p.calls.clear();
    Saver::exitScreensaver();
    ASSERT_EQ(p.calls.size(), 1u);
    EXPECT_EQ(p.calls[0].rfind("password ", 0), 0u);
    EXPECT_EQ(Forms::count(), 1);
}

TEST_F(SaverTest, IsWinNTFollowsTheVersionRecord)
{
    start();
    EXPECT_TRUE(Saver::IsWinNT());
    backend->options().version.platform_id = platform_windows_9x;
    EXPECT_FALSE(Saver::IsWinNT());
    backend->options().version.platform_id = platform_windows_nt;
    backend->options().version_call_succeeds = false;
    EXPECT_FALSE(Saver::IsWinNT());
}

TEST(MovementRule, SmallStepsMoveAlongAndThreePixelsEnd)
{
    Saver::RememberedMouse last;
    EXPECT_FALSE(Saver::movement_ends_saver(last, 500, 400));  // first move only remembers
    EXPECT_FALSE(Saver::movement_ends_saver(last, 500, 400));  // zero step
    for (int i = 1; i <= 50; ++i) EXPECT_FALSE(Saver::movement_ends_saver(last, 500.0f + 2.0f * static_cast<float>(i), 400));
    EXPECT_EQ(*last.x, 600.0f);
    EXPECT_TRUE(Saver::movement_ends_saver(last, 600, 403));
    EXPECT_EQ(*last.y, 400.0f);  // an ending step is not remembered
    EXPECT_TRUE(Saver::movement_ends_saver(last, 597, 400));
    EXPECT_FALSE(Saver::movement_ends_saver(last, 602.9f, 397.1f));

    Saver::RememberedMouse corner{0.0f, 0.0f};
    EXPECT_FALSE(Saver::movement_ends_saver(corner, 900, 700));  // resting at (0, 0) only remembers
    EXPECT_TRUE(Saver::movement_ends_saver(corner, 900, 703));
}

TEST_F(SaverTest, SceneInputEndsTheSaver)
{
    options.command_text = "/S";
    start();
    Saver::Main();
    auto& scene = static_cast<frmMain&>(Forms::at(0));
    EXPECT_THROW(scene.Form_KeyDown(65, 0), ProgramEnd);
}

}  // namespace
}  // namespace fw
