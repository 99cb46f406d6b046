// The monitors on Windows: what EnumDisplayMonitors gives, a scene window on
// each monitor of a list (one left of the primary, at negative coordinates),
// WM_DISPLAYCHANGE rebuilding them, and the dialogs on the primary work area.
#include "dialogs/frm_config.h"
#include "dialogs/frm_info.h"
#include "scene/frm_main.h"
#include "tests/win32/win32_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace fw::testing {
namespace {

class Win32MonitorsTest : public Win32Test {
protected:
    static std::vector<Rect> scene_windows()
    {
        std::vector<Rect> placed;
        for (int i = 0; i < Forms::count(); ++i) {
            RECT r{};
            GetWindowRect(reinterpret_cast<HWND>(Forms::at(i).hWnd()), &r);
            placed.push_back({r.left, r.top, r.right, r.bottom});
        }
        return placed;
    }
};

TEST_F(Win32MonitorsTest, TheSystemsMonitorsFillTheVirtualScreen)
{
    const std::vector<Monitor> listed = backend->listed_monitors();
    ASSERT_FALSE(listed.empty());
    EXPECT_EQ(std::count_if(listed.begin(), listed.end(), [](const Monitor& m) { return m.primary; }), 1);
    const int vx = GetSystemMetrics(SM_XVIRTUALSCREEN), vy = GetSystemMetrics(SM_YVIRTUALSCREEN);
    EXPECT_EQ(bounding_box(listed),
              (Rect{vx, vy, vx + GetSystemMetrics(SM_CXVIRTUALSCREEN), vy + GetSystemMetrics(SM_CYVIRTUALSCREEN)}));
    const auto primary = std::find_if(listed.begin(), listed.end(), [](const Monitor& m) { return m.primary; });
    ASSERT_NE(primary, listed.end());
    EXPECT_EQ((Point{primary->area.left, primary->area.top}), (Point{0, 0}));
}

TEST_F(Win32MonitorsTest, ASceneWindowCoversEachMonitorAndFollowsTheirChanges)
{
    backend->fake_monitors = {{{0, 0, 400, 300}, true}, {{-320, -40, 0, 200}, false}};
    backend->command = "/S";
    Saver::Main();
    pump(std::chrono::milliseconds(100));
    EXPECT_EQ(scene_windows(), (std::vector<Rect>{{0, 0, 400, 300}, {-320, -40, 0, 200}}));
    for (int i = 0; i < Forms::count(); ++i) {
        const HWND w = reinterpret_cast<HWND>(Forms::at(i).hWnd());
        EXPECT_TRUE(IsWindowVisible(w));
        EXPECT_TRUE(GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST);
    }
    const auto& left = static_cast<frmMain&>(Forms::at(1));
    EXPECT_EQ(left.picBG.Height(), 240);

    // The left monitor goes and the primary one grows: one window, resized.
    backend->fake_monitors = {{{0, 0, 480, 300}, true}};
    SendMessageW(reinterpret_cast<HWND>(Forms::at(0).hWnd()), WM_DISPLAYCHANGE, 32, MAKELPARAM(480, 300));
    pump(std::chrono::milliseconds(50));
    EXPECT_EQ(scene_windows(), (std::vector<Rect>{{0, 0, 480, 300}}));
    EXPECT_EQ(static_cast<frmMain&>(Forms::at(0)).picBG.Width(), 480);
    ShowCursor(TRUE);  // hidden by the start
}

TEST_F(Win32MonitorsTest, DialogsOpenCentredOnThePrimaryWorkArea)
{
    backend->fake_dialog_area = Rect{-1000, 100, -200, 700};
    frmConfig& config = Forms::create<frmConfig>();
    config.Show(ShowMode::modeless);
    RECT r{};
    GetWindowRect(reinterpret_cast<HWND>(config.hWnd()), &r);
    EXPECT_LE(std::abs((r.left + r.right) - (-1000 + -200)), 1);
    EXPECT_LE(std::abs((r.top + r.bottom) - (100 + 700)), 1);

    // The info dialog by the integer rule in twips, within the work area.
    frmInfo& info = Forms::create<frmInfo>();
    info.Load();
    const int tx = static_cast<int>(backend->twips_per_pixel_x()), ty = static_cast<int>(backend->twips_per_pixel_y());
    EXPECT_EQ(info.Left(), -1000 * tx + (800 * tx - info.Width()) / 2);
    EXPECT_EQ(info.Top(), 100 * ty + (600 * ty - info.Height()) / 2);
    GetWindowRect(reinterpret_cast<HWND>(info.hWnd()), &r);
    EXPECT_EQ(r.left, twips_to_pixels_x(info.Left()));
    EXPECT_EQ(r.top, twips_to_pixels_y(info.Top()));
    info.Unload();
}

}  // namespace
}  // namespace fw::testing
