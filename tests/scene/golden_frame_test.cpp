// Whole frames against stored pictures: one per background, made with a fixed
// seed and clock. FROSTWISP_UPDATE_GOLDEN=1 writes them anew (look at them
// before committing).
#include "scene_fixture.h"

#include "toolkit/headless/png.h"

#include <cstdlib>

namespace fw {
namespace {

class GoldenFrame : public testing::SceneTest, public ::testing::WithParamInterface<int> {};

TEST_P(GoldenFrame, MatchesTheStoredPicture)
{
    const int background = GetParam();
    Image desktop;
    desktop.width = 320;
    desktop.height = 240;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) desktop.pixels.push_back(rgb(40 + x / 4, 90, 60 + y / 3));
    options.desktop = desktop;
    settings({{"Background", std::to_string(background)}, {"maxFl", "80"}, {"rTime", "2"}});
    frmMain& s = start_scene(320, 240);
    backend->run_ticks(100);  // crosses one restart
    const Image frame = s.surface().image();

    const auto path = std::filesystem::path(FROSTWISP_TEST_DATA) / "golden" / ("background-" + std::to_string(background) + ".png");
    if (std::getenv("FROSTWISP_UPDATE_GOLDEN")) {
        ASSERT_TRUE(write_png(path, frame));
    }
    const Image golden = read_png(path);
    ASSERT_EQ(golden.width, frame.width) << path;
    ASSERT_EQ(golden.height, frame.height);
    size_t differing = 0;
    for (size_t i = 0; i < frame.pixels.size(); ++i) differing += frame.pixels[i] != golden.pixels[i];
    EXPECT_EQ(differing, 0u) << "see " << path;
    if (differing) (void)write_png(path.string() + ".actual.png", frame);
}

INSTANTIATE_TEST_SUITE_P(Backgrounds, GoldenFrame, ::testing::Values(0, 1, 2, 3));

}  // namespace
}  // namespace fw
