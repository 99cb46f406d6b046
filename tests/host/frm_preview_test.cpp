#include "host/frm_preview.h"

#include "../support/headless_fixture.h"

namespace fw {
namespace {

using PreviewTest = testing::HeadlessTest;

TEST_F(PreviewTest, ThePictureFillsTheParentEdgeToEdgeAtAnySize)
{
    for (auto [w, h] : {std::pair{152, 112}, std::pair{300, 50}, std::pair{1, 1}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        SetUp();
        options.command_text = "/p " + std::to_string(0x4242);
        options.foreign_windows[0x4242] = {w, h};
        auto& p = start();
        Saver::Main();
        auto& preview = static_cast<frmPreview&>(Forms::at(0));
        const Image& picture = preview.Image1();
        ASSERT_EQ(picture.width, 256);
        ASSERT_EQ(picture.height, 192);
        const Canvas& shown = preview.surface();
        ASSERT_EQ(shown.width(), w);
        ASSERT_EQ(shown.height(), h);
        for (int y = 0; y < h; y += 7)
            for (int x = 0; x < w; x += 5)
                ASSERT_EQ(shown.pixel(x, y), picture.at(x * 256 / w, y * 192 / h)) << x << "," << y;
        EXPECT_GT(p.window_of(preview)->refreshes, 0);
        TearDown();
    }
}

TEST_F(PreviewTest, NoParentGivesAnEmptyWindowAndClosingEndsNothingElse)
{
    options.command_text = "/P";
    auto& p = start();
    Saver::Main();
    auto& preview = Forms::at(0);
    EXPECT_EQ(preview.surface().width(), 0);
    EXPECT_EQ(p.window_of(preview)->parent, 0);
    p.calls.clear();
    preview.destroyed_by_system();  // the parent went away
    EXPECT_EQ(Forms::count(), 0);
    EXPECT_TRUE(p.calls.empty());  // no password, no restored activation
}

}  // namespace
}  // namespace fw
