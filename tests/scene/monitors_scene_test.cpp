// The full-screen saver on several monitors: a scene on each, drawn in the
// system's order from the one generator, one desktop snapshot, one pointer
// path across the seams, and monitors that come and go while it runs.
#include "scene_fixture.h"

#include <algorithm>

namespace fw {
namespace {

constexpr Color white = rgb(255, 255, 255);

Monitor at(int w, int h, int x, int y) { return {{x, y, x + w, y + h}, false}; }

class MonitorScenes : public testing::SceneTest {
protected:
    // Two monitors of different heights side by side, as in a 320x120 screen.
    std::vector<frmMain*> start_two(std::vector<Monitor> monitors = {at(200, 120, 0, 0), at(120, 100, 200, 0)})
    {
        options.monitors = std::move(monitors);
        start_scene(320, 120);
        return scenes();
    }

    static std::vector<frmMain*> scenes()
    {
        std::vector<frmMain*> all;
        for (int i = 0; i < Forms::count(); ++i) all.push_back(&static_cast<frmMain&>(Forms::at(i)));
        return all;
    }

    static ptrdiff_t live_flakes(const frmMain& s)
    {
        return std::count_if(s.Flake.begin(), s.Flake.end(), [](const FlakeData& f) { return f.Diameter > 0; });
    }

    static bool ended(const HeadlessPlatform& p) { return std::find(p.calls.begin(), p.calls.end(), "end") != p.calls.end(); }
};

TEST_F(MonitorScenes, EachMonitorHasItsOwnSceneWithItsOwnCountAndGround)
{
    settings({{"Background", "1"}, {"maxFl", "40"}, {"Restart", "0"}});
    const std::vector<frmMain*> s = start_two();
    ASSERT_EQ(s.size(), 2u);
    const Rect placed[] = {{0, 0, 200, 120}, {200, 0, 320, 100}};
    for (size_t i = 0; i < 2; ++i) {
        const HeadlessWindow* w = backend->window_of(*s[i]);
        EXPECT_EQ((Rect{w->left, w->top, w->left + w->width, w->top + w->height}), placed[i]);
        EXPECT_TRUE(w->topmost);
        EXPECT_TRUE(w->visible);
        EXPECT_EQ(s[i]->picBG.Height(), placed[i].bottom);
    }
    // With this seed the two scenes drew different counts, and each field
    // keeps its own however the ticks of the two interleave.
    const ptrdiff_t first = live_flakes(*s[0]), second = live_flakes(*s[1]);
    ASSERT_NE(first, second);
    backend->run_ticks(400);
    EXPECT_EQ(live_flakes(*s[0]), first);
    EXPECT_EQ(live_flakes(*s[1]), second);
    EXPECT_EQ(Saver::numFl + 1, second);  // the count of the scene that ran last
    // Each ground lies along its own bottom rows, the lower monitor's too.
    for (const frmMain* scene : s) {
        const int H = scene->ScaleHeight();
        EXPECT_GT(count_colour(scene->picBG.canvas(), white, 0, H - 6, scene->ScaleWidth(), H), scene->ScaleWidth() / 4);
        EXPECT_EQ(scene->lblURL.Top + scene->lblURL.Height, H - 1);
    }
    EXPECT_TRUE(protocol().empty());
}

TEST_F(MonitorScenes, OneSeedOneFilm)
{
    std::vector<std::vector<FlakeData>> runs;
    for (int run = 0; run < 2; ++run) {
        SetUp();
        settings({{"Background", "4"}, {"maxFl", "30"}});
        std::vector<FlakeData> film;
        for (frmMain* scene : start_two()) film.insert(film.end(), scene->Flake.begin(), scene->Flake.end());
        backend->run_ticks(50);
        for (frmMain* scene : scenes()) film.insert(film.end(), scene->Flake.begin(), scene->Flake.end());
        runs.push_back(film);
        TearDown();
    }
    EXPECT_TRUE(std::equal(runs[0].begin(), runs[0].end(), runs[1].begin(), runs[1].end(),
                           [](const FlakeData& a, const FlakeData& b) { return a.X == b.X && a.Y == b.Y && a.Diameter == b.Diameter; }));
}

TEST_F(MonitorScenes, EachShowsItsPartOfOneSnapshot)
{
    Image desktop;
    desktop.width = 320;
    desktop.height = 120;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 320; ++x) desktop.pixels.push_back(rgb(x % 256, y, x / 256 * 100));
    options.desktop = desktop;
    settings({{"Background", "3"}, {"maxFl", "-4"}});
    const std::vector<frmMain*> s = start_two();
    EXPECT_EQ(backend->captures, (std::vector<Rect>{{0, 0, 320, 120}}));
    EXPECT_EQ(s[0]->picBG.canvas().pixel(199, 119), desktop.at(199, 119));
    EXPECT_EQ(s[1]->picBG.canvas().pixel(0, 0), desktop.at(200, 0));
    EXPECT_EQ(s[1]->picBG.canvas().pixel(119, 99), desktop.at(319, 99));
}

TEST_F(MonitorScenes, OnePointerPathAcrossTheSeam)
{
    settings({{"Background", "0"}});
    std::vector<frmMain*> s = start_two();
    // Steps of 2 pixels that pass from one monitor to the other and back
    // (screen x 196, 198, 200, 201, 199).
    s[0]->Form_MouseMove(0, 0, 196.0f, 50.0f);
    s[0]->Form_MouseMove(0, 0, 198.0f, 50.0f);
    s[1]->Form_MouseMove(0, 0, 0.0f, 50.0f);
    s[1]->Form_MouseMove(0, 0, 1.0f, 51.0f);
    s[0]->Form_MouseMove(0, 0, 199.0f, 51.0f);
    EXPECT_FALSE(ended(*backend));
    // 3 pixels across it: screen 199 to 202.
    EXPECT_THROW(s[1]->Form_MouseMove(0, 0, 2.0f, 51.0f), ProgramEnd);
}

TEST_F(MonitorScenes, MonitorsThatComeAndGoRebuildTheScenes)
{
    settings({{"Background", "0"}, {"maxFl", "10"}});
    std::vector<frmMain*> s = start_two();
    frmMain* left = s[0];
    backend->run_ticks(5);

    // The right monitor goes: its scene is unloaded, the saver goes on.
    backend->options().monitors = {at(200, 120, 0, 0)};
    backend->monitors_changed();
    Forms::release_unloaded();
    EXPECT_EQ(scenes(), (std::vector<frmMain*>{left}));
    EXPECT_FALSE(ended(*backend));

    // A monitor comes, below: a new scene covers it and draws.
    backend->options().monitors = {at(200, 120, 0, 0), at(100, 80, 0, 120)};
    backend->monitors_changed();
    ASSERT_EQ(scenes().size(), 2u);
    frmMain* below = scenes()[1];
    EXPECT_EQ(below->screen_area(), (Rect{0, 120, 100, 200}));
    backend->run_ticks(2);
    EXPECT_GT(count_colour(below->surface(), white), 0);

    // The first changes its size: the same scene, set up again at the new size.
    backend->options().monitors = {at(240, 120, 0, 0), at(100, 80, 0, 120)};
    backend->monitors_changed();
    EXPECT_EQ(scenes(), (std::vector<frmMain*>{left, below}));
    EXPECT_EQ(left->picBG.Width(), 240);
    EXPECT_TRUE(backend->window_of(*left)->timer_enabled);
    EXPECT_FALSE(ended(*backend));
    EXPECT_TRUE(protocol().empty());

    // The end still takes every scene along.
    EXPECT_THROW(below->Form_KeyDown(32, 0), ProgramEnd);
    EXPECT_TRUE(ended(*backend));
}

}  // namespace
}  // namespace fw
