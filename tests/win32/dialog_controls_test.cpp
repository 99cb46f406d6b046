// The dialogs realised with the system's controls: where the controls sit,
// the model and the child windows kept in step both ways, the drawn labels and
// links, and the keyboard.
#include "toolkit/win32/dialog_controls.h"

#include "dialogs/frm_config.h"
#include "dialogs/frm_info.h"
#include "host/saver.h"
#include "tests/win32/win32_fixture.h"
#include "toolkit/win32/win32_window.h"

#include <gtest/gtest.h>

namespace fw::testing {
namespace {

class DialogControlsTest : public Win32Test {
protected:
    frmConfig& open_config()
    {
        Saver::LoadConfig();
        frmConfig& d = Forms::create<frmConfig>();
        d.Show(ShowMode::modeless);
        return d;
    }
    static DialogControls& controls_of(Form& form) { return *static_cast<Win32Window&>(form.window()).dialog(); }
    static HWND child(Form& form, const Control& c) { return controls_of(form).native(c); }

    static RECT placed(HWND w)
    {
        RECT r{};
        GetWindowRect(w, &r);
        MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
};

TEST_F(DialogControlsTest, InteractiveControlsAreChildWindowsAtTheirTwipPositions)
{
    frmConfig& d = open_config();
    RECT client{};
    GetClientRect(reinterpret_cast<HWND>(d.hWnd()), &client);
    EXPECT_EQ(client.right, twips_to_pixels_x(5850));
    EXPECT_EQ(client.bottom, twips_to_pixels_y(4650));

    int natives = 0;
    for (Control* c : d.controls()) {
        const HWND w = child(d, *c);
        const bool interactive = c->kind() != ControlKind::label && c->kind() != ControlKind::group_box &&
                                 c->kind() != ControlKind::image;
        EXPECT_EQ(w != nullptr, interactive) << c->name() << c->index();
        if (!w) continue;
        ++natives;
        const TwipRect t = d.client_rect(*c);
        const RECT r = placed(w);
        EXPECT_EQ(r.left, twips_to_pixels_x(t.left)) << c->name() << c->index();
        EXPECT_EQ(r.top, twips_to_pixels_y(t.top)) << c->name() << c->index();
        EXPECT_EQ(r.right - r.left, twips_to_pixels_x(t.width)) << c->name() << c->index();
        EXPECT_EQ(r.bottom - r.top, twips_to_pixels_y(t.height)) << c->name() << c->index();
    }
    EXPECT_EQ(natives, 16);  // 3 + 1 bars, 3 + 1 boxes, 4 options, 4 buttons

    // The OK button sits 4440, 3480 twips into the window: 296, 232 at 96 dpi.
    if (backend->twips_per_pixel_x() == 15) {
        const RECT ok = placed(child(d, d.cmdOK));
        EXPECT_EQ(ok.left, 296);
        EXPECT_EQ(ok.top, 232);
    }
}

TEST_F(DialogControlsTest, ModelChangesReachTheChildWindows)
{
    frmConfig& d = open_config();
    EXPECT_EQ(SendMessageW(child(d, d.chkRandom), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_FALSE(IsWindowEnabled(child(d, d.optBack(1))));

    d.chkRandom.set_Value(0);  // the handler frees the options
    d.optBack(2).set_Value(true);
    d.chkOpt(2).set_Value(2);
    d.HScroll(1).set_Value(73);
    EXPECT_EQ(SendMessageW(child(d, d.chkRandom), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_TRUE(IsWindowEnabled(child(d, d.optBack(1))));
    EXPECT_EQ(SendMessageW(child(d, d.optBack(2)), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(child(d, d.optBack(0)), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(child(d, d.chkOpt(2)), BM_GETCHECK, 0, 0), BST_INDETERMINATE);
    EXPECT_EQ(GetScrollPos(child(d, d.HScroll(1)), SB_CTL), 73);

    d.cmdReset.set_Enabled(false);
    d.cmdInfo.set_Caption("&Anders");
    EXPECT_FALSE(IsWindowEnabled(child(d, d.cmdReset)));
    wchar_t text[32] = {};
    GetWindowTextW(child(d, d.cmdInfo), text, 32);
    EXPECT_STREQ(text, L"&Anders");
}

TEST_F(DialogControlsTest, UserActionsOnChildWindowsReachTheModel)
{
    frmConfig& d = open_config();
    const HWND window = reinterpret_cast<HWND>(d.hWnd());

    SendMessageW(child(d, d.chkOpt(2)), BM_CLICK, 0, 0);
    EXPECT_EQ(d.chkOpt(2).Value(), 0);
    EXPECT_FALSE(IsWindowEnabled(child(d, d.vscTime)));  // the box's handler ran
    SendMessageW(child(d, d.chkOpt(2)), BM_CLICK, 0, 0);
    EXPECT_EQ(d.chkOpt(2).Value(), 1);

    const HWND bar = child(d, d.HScroll(0));
    SendMessageW(window, WM_HSCROLL, SB_LINERIGHT, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(d.HScroll(0).Value(), 55);
    SendMessageW(window, WM_HSCROLL, SB_PAGELEFT, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(d.HScroll(0).Value(), 35);
    SendMessageW(window, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 99), reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(d.HScroll(0).Value(), 99);
    SendMessageW(window, WM_HSCROLL, SB_PAGERIGHT, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(d.HScroll(0).Value(), 100);  // kept within the range
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 100);

    // The minutes bar: its up arrow lowers the value, so the minutes rise.
    SendMessageW(window, WM_VSCROLL, SB_LINEUP, reinterpret_cast<LPARAM>(child(d, d.vscTime)));
    EXPECT_EQ(d.vscTime.Value(), 89);
    EXPECT_EQ(d.lblTime.Caption(), "11");

    SendMessageW(child(d, d.optBack(3)), BM_CLICK, 0, 0);  // disabled while random: refused
    EXPECT_FALSE(d.optBack(3).Value());
}

TEST_F(DialogControlsTest, AFocusedScrollBarShowsItAlsoWithoutAThumb)
{
    frmConfig& d = open_config();
    // As after the first Tab: the window shows where the focus is.
    SendMessageW(reinterpret_cast<HWND>(d.hWnd()), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    for (ScrollBar* bar : {&d.vscTime, &d.HScroll(1)}) {
        SetFocus(child(d, d.cmdOK));
        pump(std::chrono::milliseconds(50));
        const Image before = window_pixels(child(d, *bar));
        SetFocus(child(d, *bar));
        pump(std::chrono::milliseconds(50));
        const Image after = window_pixels(child(d, *bar));
        ASSERT_EQ(before.pixels.size(), after.pixels.size());
        int differ = 0;
        for (int x = 0; x < after.width; ++x) differ += after.at(x, 0) != before.at(x, 0);
        EXPECT_GT(differ, 2) << bar->name();  // the top edge is dotted
    }
}

TEST_F(DialogControlsTest, DrawnLabelFollowsItsCaption)
{
    frmConfig& d = open_config();
    const Image before = d.surface().image();
    d.lblTime.set_Caption("42");
    const Image after = d.surface().image();
    ASSERT_EQ(before.pixels.size(), after.pixels.size());
    const TwipRect t = d.client_rect(d.lblTime);
    const RECT box{twips_to_pixels_x(t.left), twips_to_pixels_y(t.top), twips_to_pixels_x(t.right()),
                   twips_to_pixels_y(t.bottom())};
    int inside = 0, outside = 0;
    for (int y = 0; y < after.height; ++y)
        for (int x = 0; x < after.width; ++x) {
            if (before.at(x, y) == after.at(x, y)) continue;
            const POINT p{x, y};
            (PtInRect(&box, p) ? inside : outside) += 1;
        }
    EXPECT_GT(inside, 0);
    EXPECT_EQ(outside, 0);
    pump(std::chrono::milliseconds(50));
    EXPECT_EQ(window_pixels(reinterpret_cast<HWND>(d.hWnd())).at(box.left + 4, box.top + 4), after.at(box.left + 4, box.top + 4));
}

TEST_F(DialogControlsTest, ClickOnTheLinkLabelOpensTheAddress)
{
    frmInfo& info = Forms::create<frmInfo>();
    info.Show(ShowMode::modeless);
    const HWND window = reinterpret_cast<HWND>(info.hWnd());
    const TwipRect t = info.client_rect(info.lblHomepage);
    const int x = twips_to_pixels_x(t.left + t.width / 2);
    const int y = twips_to_pixels_y(t.top + t.height / 2);
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    ASSERT_EQ(backend->opened.size(), 1u);
    EXPECT_EQ(backend->opened[0], "https://www.frostwisp.example/");

    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));  // the picture: nothing
    EXPECT_EQ(backend->opened.size(), 1u);
}

TEST_F(DialogControlsTest, EnterClicksTheFocusedButtonAndOnlyTheButtonClosesTheInfo)
{
    frmInfo& info = Forms::create<frmInfo>();
    info.Show(ShowMode::modeless);
    const HWND window = reinterpret_cast<HWND>(info.hWnd());
    SendMessageW(window, WM_CLOSE, 0, 0);  // no close box: nothing happens
    EXPECT_TRUE(info.loaded());

    const HWND ok = child(info, info.ok);
    SetFocus(ok);
    const LRESULT id = SendMessageW(window, DM_GETDEFID, 0, 0);
    EXPECT_EQ(HIWORD(id), DC_HASDEFID);
    EXPECT_EQ(GetDlgItem(window, LOWORD(id)), ok);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(LOWORD(id), BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    EXPECT_FALSE(info.loaded());
}

TEST_F(DialogControlsTest, KeyboardOrderIsTheDialogsTabOrder)
{
    frmConfig& d = open_config();
    const HWND window = reinterpret_cast<HWND>(d.hWnd());
    std::vector<HWND> expected;
    for (Control* c : d.focus_order())
        if (c->Enabled() && c->Visible() && !(c->kind() == ControlKind::option_button)) expected.push_back(child(d, *c));
    // From the first control, Tab walks the enabled ones in order and wraps.
    HWND at = expected.front();
    for (size_t i = 1; i <= expected.size(); ++i) {
        at = GetNextDlgTabItem(window, at, FALSE);
        EXPECT_EQ(at, expected[i % expected.size()]) << i;
    }
}

}  // namespace
}  // namespace fw::testing
