// What the window shows. A run of the scene (restarts with new backgrounds,
// a new window size and back) is recorded refresh by refresh: the parts a
// window sends, and the whole surface at that moment. Replayed onto a window
// that starts empty, the parts alone must give the whole surface after each.
#include "scene_fixture.h"

#include <vector>

namespace fw {
namespace {

using SceneTest = testing::SceneTest;

struct Recorded {
    std::vector<Rect> parts;
    Image surface;
};

TEST_F(SceneTest, AWindowSentOnlyTheChangedPartsShowsEveryFrame)
{
    Image desktop{157, 93, {}};
    for (int p = 0; p < desktop.width * desktop.height; ++p) desktop.pixels.push_back(rgb(p % 157, 60, p / 157));
    options.desktop = desktop;
    // Random backgrounds and a restart every second; sizes that leave part tiles.
    settings({{"Background", "4"}, {"maxFl", "120"}, {"rTime", "1"}});
    frmMain& s = start_scene(157, 93);
    HeadlessWindow& window = *backend->window_of(s);
    std::vector<Recorded> run;
    window.on_refresh = [&](const std::vector<Rect>& parts) { run.push_back({parts, s.surface().image()}); };
    backend->run_ticks(150);
    window.move(0, 0, 203, 131);
    backend->run_ticks(60);
    window.move(0, 0, 157, 93);
    backend->run_ticks(60);
    window.on_refresh = nullptr;
    ASSERT_GT(run.size(), 270u);

    Image shown;
    for (size_t i = 0; i < run.size(); ++i) {
        const Image& want = run[i].surface;
        // A window of a new size shows nothing of the old picture.
        if (want.width != shown.width || want.height != shown.height)
            shown = Image{want.width, want.height, std::vector<Color>(want.pixels.size(), rgb(1, 2, 3))};
        for (const Rect& part : run[i].parts)
            for (int y = part.top; y < part.bottom; ++y)
                for (int x = part.left; x < part.right; ++x) {
                    const size_t at = static_cast<size_t>(y) * static_cast<size_t>(want.width) + static_cast<size_t>(x);
                    shown.pixels[at] = want.pixels[at];
                }
        ASSERT_EQ(shown.pixels, want.pixels) << "after refresh " << i;
    }
}

}  // namespace
}  // namespace fw
