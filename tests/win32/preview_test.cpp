// "/P" in the test process: Wine shows no child window's pixels across
// processes, so the preview's placement, size and drawing are checked here,
// inside a parent window of the size the system's preview area has.
#include "host/frm_preview.h"
#include "host/saver.h"
#include "tests/win32/win32_fixture.h"

#include <gtest/gtest.h>

namespace fw::testing {
namespace {

class Win32PreviewTest : public Win32Test {
protected:
    frmPreview& start_preview(HWND parent)
    {
        backend->command = "/p " + std::to_string(reinterpret_cast<intptr_t>(parent));
        Saver::Main();
        EXPECT_EQ(Forms::count(), 1);
        return static_cast<frmPreview&>(Forms::at(0));
    }
};

TEST_F(Win32PreviewTest, FillsTheParentsClientAreaExactlyAsItsChild)
{
    HWND parent = make_foreign_window(152, 112);
    frmPreview& preview = start_preview(parent);
    const HWND child = reinterpret_cast<HWND>(preview.hWnd());
    pump(std::chrono::milliseconds(50));

    EXPECT_EQ(GetParent(child), parent);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_FALSE(style & WS_POPUP);
    EXPECT_TRUE(IsWindowVisible(child));
    RECT placed{};
    GetWindowRect(child, &placed);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed.left, 0);
    EXPECT_EQ(placed.top, 0);
    EXPECT_EQ(placed.right, 152);
    EXPECT_EQ(placed.bottom, 112);
    EXPECT_NE(GetActiveWindow(), child);
    EXPECT_FALSE(Saver::SaverMode);

    // The picture, stretched edge to edge, is what the window shows.
    ASSERT_FALSE(preview.Image1().empty());
    Canvas expected;
    expected.resize(152, 112);
    expected.stretch_draw(preview.Image1(), 0, 0, 152, 112);
    EXPECT_EQ(preview.surface().image().pixels, expected.image().pixels);
    EXPECT_EQ(window_pixels(child).pixels, expected.image().pixels);

    DestroyWindow(parent);
}

TEST_F(Win32PreviewTest, FollowsTheParentIntoDestructionAndLeavesNoWindow)
{
    HWND parent = make_foreign_window(152, 112);
    start_preview(parent);
    DestroyWindow(parent);  // the system closes its dialog
    pump(std::chrono::milliseconds(20));
    EXPECT_EQ(Forms::count(), 0);
    Forms::release_unloaded();
}

TEST_F(Win32PreviewTest, WithoutAParentIsSizedToNothingAndClosesItself)
{
    frmPreview& preview = start_preview(nullptr);
    RECT r{};
    GetClientRect(reinterpret_cast<HWND>(preview.hWnd()), &r);
    EXPECT_EQ(r.right, 0);
    EXPECT_EQ(r.bottom, 0);
    pump(std::chrono::milliseconds(50));
    EXPECT_EQ(Forms::count(), 0);
}

}  // namespace
}  // namespace fw::testing
