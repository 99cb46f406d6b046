#include "scene_fixture.h"

#include "toolkit/bitmap.h"

#include <algorithm>
#include <set>

namespace fw {
namespace {

constexpr Color white = rgb(255, 255, 255);
constexpr Color text_colour = rgb(128, 128, 255);

using SceneTest = testing::SceneTest;

TEST_F(SceneTest, SetUpFillsTheScreenAndStartsTheTimer)
{
    settings({{"Background", "0"}, {"maxFl", "40"}});
    frmMain& s = start_scene(320, 240);
    auto* w = backend->window_of(s);
    EXPECT_EQ(w->state, WindowState::maximized);
    EXPECT_EQ(s.ScaleWidth(), 320);
    EXPECT_EQ(s.ScaleHeight(), 240);
    for (const PictureBox* p : {&s.picBG, &s.picBuffer}) {
        EXPECT_EQ(p->Width(), 320);
        EXPECT_EQ(p->Height(), 240);
    }
    EXPECT_TRUE(w->timer_enabled);
    EXPECT_EQ(w->timer_interval, 30);
    EXPECT_EQ(s.SnowLine, 0.95);
    EXPECT_GE(Saver::numFl, 20);
    EXPECT_LE(Saver::numFl, 40);
    // The anchor label sits 10 pixels from the right edge and 1 above the bottom.
    EXPECT_EQ(s.lblURL.Left + s.lblURL.Width, 310);
    EXPECT_EQ(s.lblURL.Top + s.lblURL.Height, 239);
    for (int i = 0; i <= Saver::numFl; ++i) {
        const FlakeData& f = s.Flake[static_cast<size_t>(i)];
        EXPECT_GE(f.Y, 0);
        EXPECT_LE(f.Y, 228);  // nearest(0.95 * 240)
        EXPECT_GE(f.Diameter, 4);
        EXPECT_LE(f.Diameter, 10);
    }
    for (size_t i = static_cast<size_t>(Saver::numFl) + 1; i < s.Flake.size(); ++i) EXPECT_EQ(s.Flake[i].Diameter, 0);
    // The first flakes are drawn on the window, over the black background.
    EXPECT_GT(count_colour(s.surface(), white), 0);
    EXPECT_TRUE(protocol().empty());
}

TEST_F(SceneTest, FlakeCountEdges)
{
    const struct { const char* maxFl; int live; } cases[] = {{"0", 1}, {"-4", 0}, {"1100", 501}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.maxFl);
        SetUp();
        settings({{"maxFl", c.maxFl}, {"Background", "0"}});
        frmMain& s = start_scene();
        backend->run_ticks(3);
        const auto live = std::count_if(s.Flake.begin(), s.Flake.end(), [](const FlakeData& f) { return f.Diameter > 0; });
        EXPECT_EQ(live, c.live);
        // A stored count above the field's slots draws 501 flakes and reports nothing.
        EXPECT_TRUE(protocol().empty());
        EXPECT_EQ(Forms::count(), 1);
        TearDown();
    }
}

// One flake, standing where the test puts it, with the draws of Flakes() given.
class FlakeRules : public SceneTest {
protected:
    frmMain& one_flake(const char* speed, const char* size = "6")
    {
        settings({{"maxFl", "0"}, {"SpeedF", speed}, {"Size", size}, {"Background", "0"}});
        frmMain& s = start_scene(400, 300);
        Saver::numFl = 0;
        s.Flake[0] = {100, 50, 8};
        s.SnowLine = 10;  // nothing settles
        return s;
    }
};

TEST_F(FlakeRules, DriftAndFallRanges)
{
    const struct { const char* speed; int drift_low, drift_high, fall_low, fall_high; } cases[] = {
        {"6", -6, 12, -3, 24}, {"5", -5, 10, -2, 20}, {"0", 0, 0, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.speed);
        SetUp();
        frmMain& s = one_flake(c.speed);
        std::set<int> drifts, falls;
        for (int i = 0; i < 3000; ++i) {
            s.Flake[0] = {100, 50, 8};
            s.Flakes();
            drifts.insert(s.Flake[0].X - 100);
            falls.insert(s.Flake[0].Y - 50);
        }
        EXPECT_EQ(*drifts.begin(), c.drift_low);
        EXPECT_EQ(*drifts.rbegin(), c.drift_high);
        EXPECT_EQ(drifts.size(), static_cast<size_t>(c.drift_high - c.drift_low + 1));
        EXPECT_EQ(*falls.begin(), c.fall_low);
        EXPECT_EQ(*falls.rbegin(), c.fall_high);
        TearDown();
    }
}

TEST_F(FlakeRules, WrapsOnlyPastTheRightEdge)
{
    frmMain& s = one_flake("0");
    const struct { int x, after; } cases[] = {{400, 400}, {401, 1}, {799, 399}, {-30, -30}};
    for (const auto& c : cases) {
        s.Flake[0] = {c.x, 50, 8};
        s.Flakes();
        EXPECT_EQ(s.Flake[0].X, c.after) << c.x;
    }
}

TEST_F(FlakeRules, ASettlingFlakeLeavesSnowAndIsRebornNearTheTop)
{
    frmMain& s = one_flake("0", "0");
    s.SnowLine = 0;
    s.picBG.Cls();
    s.Flake[0] = {200, 151, 8};  // below H * (0 + 0.5 r) for every r
    s.Flakes();
    EXPECT_EQ(s.picBG.canvas().pixel(204, 155), white);  // the settled flake, into the background
    EXPECT_LE(s.Flake[0].Y, 30);                          // reborn in the top tenth
    EXPECT_EQ(s.Flake[0].Diameter, 4);                    // Size 0: always 4
    EXPECT_EQ(s.picBG.canvas().fill_color, white);        // restored after the patches
}

TEST_F(FlakeRules, SnowPatchesSpanTheirRanges)
{
    constexpr Color patch1 = rgb(240, 248, 253), patch2 = rgb(240, 252, 253), patch3 = rgb(239, 251, 252);
    const float lowest = 0.0f, highest = 0.99999994f;
    for (float r : {lowest, highest}) {
        SetUp();
        frmMain& s = one_flake("0");
        s.SnowLine = 0;
        s.picBG.Cls();
        s.Flake[0] = {-100, 200, 10};  // the flake itself settles off-screen
        // drift, fall, settle test, then a/b of the three patches, then rebirth.
        Allgemein::queue_draws({0.5f, 0.5f, 0.0f, r, r, r, r, r, r, 0.5f, 0.5f, 0.5f});
        s.Flakes();
        const Canvas& bg = s.picBG.canvas();
        // Left edges and vertical offsets at the ends of their ranges (W = 400).
        const int a1 = r == lowest ? 25 : 370, b1 = r == lowest ? -5 : 8;
        const int a2 = r == lowest ? 50 : 350, b2 = r == lowest ? 0 : 5;
        const int a3 = r == lowest ? 100 : 300, b3 = r == lowest ? -5 : 2;
        EXPECT_EQ(bg.pixel(a1 + 5, 200 + b1 + 5), patch1);
        EXPECT_EQ(bg.pixel(a2 + 5, 200 + b2 + 5), patch2);
        EXPECT_EQ(bg.pixel(a3 + 5, 200 + b3 + 5), patch3);
        EXPECT_EQ(bg.pixel(a1, 200 + b1 + 5), white);  // outlined in white
        EXPECT_EQ(testing::SceneTest::count_colour(bg, patch1, 0, 0, a1, 300), 0);
        TearDown();
    }
}

TEST_F(SceneTest, TextLinePositions)
{
    const struct { const char* date; const char* time; int first_text_x; bool any_left_text; } cases[] = {
        {"1", "1", 5, true}, {"0", "1", 5, true}, {"0", "0", 5, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.date) + c.time);
        SetUp();
        settings({{"maxFl", "-4"}, {"Date", c.date}, {"Time", c.time}, {"Background", "0"}, {"Restart", "0"}});
        frmMain& s = start_scene(400, 300);
        backend->run_ticks(1);
        const Canvas& frame = s.surface();
        // Box text: 15 pixels high, each glyph a block from +1..+6 and +3..+12.
        const int line_top = 300 - 15 - 3;
        EXPECT_EQ(frame.pixel(c.first_text_x + 1, line_top + 3) == text_colour, c.any_left_text);
        EXPECT_NE(frame.pixel(c.first_text_x, line_top + 3), text_colour);
        EXPECT_EQ(frame.pixel(s.lblURL.Left + 1, s.lblURL.Top - 1 + 3), text_colour);
        EXPECT_NE(frame.pixel(s.lblURL.Left + 1, s.lblURL.Top - 1 + 2), text_colour);
        // Date, three blanks, time: "12/24/26   18:00:00" is 19 cells.
        if (*c.date == '1') {
            EXPECT_EQ(frame.pixel(5 + 7 * 18 + 1, line_top + 3), text_colour);
            EXPECT_NE(frame.pixel(5 + 7 * 19 + 1, line_top + 3), text_colour);
        }
        TearDown();
    }
}

TEST_F(SceneTest, RestartClock)
{
    settings({{"rTime", "1"}, {"Background", "0"}});
    frmMain& s = start_scene();
    backend->run_ticks(1);
    // The system has run an hour: the first tick only starts the clock.
    EXPECT_EQ(s.LastRestartTick, static_cast<int32_t>(backend->tick_count()));
    const int32_t started = s.LastRestartTick;
    s.SnowLine = 0.5;
    backend->run_ticks(33);  // 990 ms: not yet
    EXPECT_EQ(s.LastRestartTick, started);
    backend->run_ticks(1);   // 1020 ms: restart
    EXPECT_EQ(s.LastRestartTick, started + 1020);
    EXPECT_EQ(s.SnowLine, 0.95);
    EXPECT_TRUE(backend->window_of(s)->timer_enabled);
}

TEST_F(SceneTest, NoRestartWhenOff)
{
    settings({{"rTime", "1"}, {"Restart", "0"}, {"Background", "0"}});
    frmMain& s = start_scene();
    backend->run_ticks(100);
    EXPECT_EQ(s.LastRestartTick, 0);
    EXPECT_NEAR(s.SnowLine, 0.95 - 100 * 0.00004, 1e-9);
}

TEST_F(SceneTest, TickCounterWrapIsMeasuredWithoutOverflow)
{
    settings({{"rTime", "1"}, {"Background", "0"}});
    options.start_tick = 0x7FFFFE00u;  // the signed counter passes 2^31 within a second
    frmMain& s = start_scene();
    backend->run_ticks(1);
    const int32_t started = s.LastRestartTick;
    backend->run_ticks(40);
    EXPECT_NE(s.LastRestartTick, started);
    backend->options().start_tick = 0;
    TearDown();
    SetUp();
    settings({{"rTime", "1"}, {"Background", "0"}});
    options.start_tick = 0xFFFFFE00u;  // and the unsigned one wraps to 0
    frmMain& t = start_scene();
    backend->run_ticks(45);
    EXPECT_TRUE(protocol().empty());
    EXPECT_NE(t.LastRestartTick, 0);
}

TEST_F(SceneTest, GradientStripsAreTheBitmapStretchedAcrossTheWidth)
{
    for (int background : {1, 2}) {
        for (int width : {1024, 880}) {
            SCOPED_TRACE(std::to_string(background) + " at " + std::to_string(width));
            SetUp();
            settings({{"Background", std::to_string(background)}, {"maxFl", "-4"}});
            frmMain& s = start_scene(width, 600);
            const Image strip = load_bitmap_resource(100 + background);
            const Canvas& bg = s.picBG.canvas();
            for (int x = 0; x < width; x += 7)
                for (int y = 0; y < 600; y += 13)
                    ASSERT_EQ(bg.pixel(x, y), strip.at((x % 88) * 50 / 88, y * 480 / 600)) << x << "," << y;
            EXPECT_EQ(bg.pixel(968, 0), strip.at(0, 0));
            TearDown();
        }
    }
}

TEST_F(SceneTest, DesktopSnapshotIsTakenOnceAndShownAsTaken)
{
    Image desktop;
    desktop.width = 500;  // larger than the screen: only the screen's part is copied
    desktop.height = 400;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 500; ++x) desktop.pixels.push_back(rgb(x % 256, y % 256, 77));
    options.desktop = desktop;
    settings({{"Background", "3"}, {"maxFl", "-4"}, {"rTime", "1"}});
    frmMain& s = start_scene(320, 240);
    EXPECT_TRUE(s.DesktopCaptured);
    for (int y = 0; y < 240; y += 17)
        for (int x = 0; x < 320; x += 13) ASSERT_EQ(s.picBG.canvas().pixel(x, y), desktop.at(x, y));
    // A restart shows the snapshot of the start, not today's desktop.
    backend->options().desktop = Image{};
    backend->run_ticks(40);
    ASSERT_NE(s.LastRestartTick, 0);
    EXPECT_EQ(s.picBG.canvas().pixel(100, 100), desktop.at(100, 100));
}

TEST_F(SceneTest, RandomChoiceSnapshotsFirstAndNeverReachesTheStore)
{
    settings({{"maxFl", "-4"}, {"rTime", "1"}, {"Background", "4"}});
    frmMain& s = start_scene();
    EXPECT_TRUE(s.DesktopCaptured);
    std::set<int> seen;
    for (int i = 0; i < 40; ++i) {
        backend->run_ticks(35);
        seen.insert(Saver::SaverSettings.Background);
    }
    EXPECT_EQ(seen, (std::set<int>{0, 1, 2, 3}));
    EXPECT_EQ(*memory->read("Frostwisp", "Settings", "Background"), "4");
}

TEST_F(SceneTest, UnknownBackgroundPaintsNothing)
{
    settings({{"Background", "7"}, {"maxFl", "-4"}});
    frmMain& s = start_scene();
    EXPECT_EQ(testing::SceneTest::count_colour(s.picBG.canvas(), rgb(0, 0, 0)), 320 * 240);
    EXPECT_TRUE(protocol().empty());
}

TEST_F(SceneTest, EveryFrameStartsFromTheBackgroundWithItsSnow)
{
    settings({{"Background", "1"}, {"maxFl", "-4"}, {"Date", "0"}, {"Time", "0"}});
    frmMain& s = start_scene();
    backend->run_ticks(1);
    // Without flakes or text in a region, the window shows picBG exactly.
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) ASSERT_EQ(s.surface().pixel(x, y), s.picBG.canvas().pixel(x, y));
}

TEST_F(SceneTest, InputHandlersEndTheSaver)
{
    settings({{"Background", "0"}});
    frmMain& s = start_scene();
    EXPECT_THROW(s.Form_Click(), ProgramEnd);
    EXPECT_EQ(backend->calls.back(), "end");
}

TEST_F(SceneTest, SmallPointerStepsDoNotEndTheSaver)
{
    settings({{"Background", "0"}});
    frmMain& s = start_scene();
    for (int i = 0; i < 20; ++i) s.Form_MouseMove(0, 0, 100.0f + 2.0f * static_cast<float>(i), 50.0f);
    EXPECT_EQ(Forms::count(), 1);
    EXPECT_THROW(s.Form_MouseMove(0, 0, 138.0f, 53.0f), ProgramEnd);
}

}  // namespace
}  // namespace fw
