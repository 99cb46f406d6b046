#include "dialogs/frm_info.h"

#include "toolkit/runtime_error.h"

#include "../support/headless_fixture.h"

namespace fw {
namespace {

using InfoTest = testing::HeadlessTest;

TEST_F(InfoTest, LoadCentresTheWindowByHalvingTowardZero)
{
    // The window is 5340 x 4935 twips, 356 x 329 pixels at 15 twips a pixel.
    const struct { int screen_w, screen_h, tpp, left, top, left_px, top_px; } cases[] = {
        {1024, 768, 15, 5010, 3292, 334, 219},   // 6585 / 2 = 3292.5 -> 3292
        {357, 330, 15, 7, 7, 0, 0},              // odd differences of 15 twips give 7
        {300, 200, 15, -420, -967, -28, -64},    // larger than the screen: negative, still centred
        {356, 329, 15, 0, 0, 0, 0},
        {1920, 1080, 12, 8850, 4012, 738, 334},  // 120 dots per inch
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.screen_w) + "x" + std::to_string(c.screen_h));
        options = {};
        SetUp();
        options.screen_width = c.screen_w;
        options.screen_height = c.screen_h;
        options.twips_per_pixel = c.tpp;
        start();
        frmInfo& info = Forms::create<frmInfo>();
        info.Show(ShowMode::modal);
        EXPECT_EQ(info.Left(), c.left);
        EXPECT_EQ(info.Top(), c.top);
        // The window's middle is the screen's, to within half a twip.
        EXPECT_LE(std::abs(2 * info.Left() + info.Width() - c.screen_w * c.tpp), 1);
        const HeadlessWindow* w = backend->window_of(info);
        EXPECT_EQ(w->left, c.left_px);
        EXPECT_EQ(w->top, c.top_px);
        EXPECT_TRUE(w->modal);
        TearDown();
    }
}

TEST_F(InfoTest, VersionTextPadsButNeverCuts)
{
    const struct { int major, minor, revision; const char* text; } cases[] = {
        {1, 0, 491, "1.00.0491"}, {1, 5, 12, "1.05.0012"}, {0, 0, 0, "0.00.0000"},
        {12, 123, 12345, "12.123.12345"}, {2, 10, 9999, "2.10.9999"},
    };
    for (const auto& c : cases) EXPECT_EQ(frmInfo::version_text(c.major, c.minor, c.revision), c.text);
}

TEST_F(InfoTest, ShowsTitleVersionAndTexts)
{
    start();
    frmInfo& info = Forms::create<frmInfo>();
    info.Show(ShowMode::modal);
    EXPECT_EQ(info.Label(0).Caption(), "Frostwisp");
    EXPECT_EQ(info.Label(1).Caption(), "1.00.0491");
    EXPECT_EQ(info.Label(2).Caption(), "Freeware");
    EXPECT_EQ(info.Label(4).Caption(), "SAVE program number QXR_114");
    EXPECT_EQ(info.lblHomepage.Caption(), "www.frostwisp.example");
    EXPECT_TRUE(info.lblHomepage.Font().underline);
    EXPECT_EQ(info.design().border, BorderStyle::none);
    EXPECT_EQ(info.dialog_design().back_color, rgb(0, 0, 128));
    // The OK button is the only control that takes the focus.
    ASSERT_EQ(info.focus_order().size(), 1u);
    EXPECT_EQ(info.focus_order().front(), &info.ok);
    // The picture lies beneath every other control.
    EXPECT_EQ(info.controls().front(), &info.Image2);
    EXPECT_TRUE(protocol().empty());
}

TEST_F(InfoTest, TheLinkOpensTheAddressAndOnlyOkCloses)
{
    start();
    frmInfo& info = Forms::create<frmInfo>();
    info.Show(ShowMode::modal);
    info.lblHomepage.user_click();
    info.lblHomepage.user_click();
    EXPECT_EQ(backend->calls, (std::vector<std::string>{"open https://www.frostwisp.example/", "open https://www.frostwisp.example/"}));
    EXPECT_TRUE(info.loaded());
    info.Label(2).user_click();  // plain labels do nothing
    info.Image2.user_click();
    EXPECT_TRUE(info.loaded());
    info.ok.user_click();
    EXPECT_FALSE(info.loaded());
    EXPECT_EQ(Forms::count(), 0);
}

}  // namespace
}  // namespace fw
