// A form's real window: sizing before showing, presenting the surface, the
// timer, the input events and the ways a window goes.
#include "toolkit/win32/win32_window.h"

#include "tests/win32/win32_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace fw::testing {
namespace {

// Records what the backend delivers.
class Probe : public Form {
public:
    explicit Probe(BorderStyle border = BorderStyle::none) : Form("Probe", design(border)) {}

    void Form_Resize() override
    {
        resizes.push_back({ScaleWidth(), ScaleHeight(), IsWindowVisible(reinterpret_cast<HWND>(hWnd())) != 0});
    }
    void Form_Unload() override { ++unloads; }
    void Form_KeyDown(int key, int shift) override { events.push_back("down " + std::to_string(key) + " " + std::to_string(shift)); }
    void Form_KeyPress(int key) override { events.push_back("press " + std::to_string(key)); }
    void Form_MouseDown(int button, int, float x, float y) override
    {
        events.push_back("mouse " + std::to_string(button) + " " + std::to_string(static_cast<int>(x)) + "," +
                         std::to_string(static_cast<int>(y)));
    }
    void Form_Click() override { events.push_back("click"); }
    void Form_DblClick() override { events.push_back("dblclick"); }
    void Form_MouseMove(int button, int, float x, float y) override
    {
        events.push_back("move " + std::to_string(button) + " " + std::to_string(static_cast<int>(x)) + "," +
                         std::to_string(static_cast<int>(y)));
    }
    void Timer_Timer() override { ++ticks; }

    struct Resize {
        int width;
        int height;
        bool visible;
        bool operator==(const Resize&) const = default;
    };
    std::vector<Resize> resizes;
    std::vector<std::string> events;
    int unloads = 0;
    int ticks = 0;

    HWND hwnd() const { return reinterpret_cast<HWND>(hWnd()); }

private:
    static FormDesign design(BorderStyle border)
    {
        FormDesign d;
        d.border = border;
        d.client_width_px = 64;
        d.client_height_px = 48;
        return d;
    }
};

class Win32WindowTest : public Win32Test {
protected:
    Probe& probe(BorderStyle border = BorderStyle::none)
    {
        Probe& p = Forms::create<Probe>(border);
        p.Load();
        return p;
    }
};

TEST_F(Win32WindowTest, MaximisedFormTakesTheVirtualScreenBeforeItIsSeen)
{
    Probe& p = probe();
    p.window().set_window_state(WindowState::maximized);
    EXPECT_TRUE(p.resizes.empty());  // nothing happens until it is shown
    p.Show();

    const int vw = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int vh = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    ASSERT_EQ(p.resizes.size(), 1u);
    EXPECT_EQ(p.resizes[0], (Probe::Resize{vw, vh, false}));
    RECT r{};
    GetWindowRect(p.hwnd(), &r);
    EXPECT_EQ(r.left, GetSystemMetrics(SM_XVIRTUALSCREEN));
    EXPECT_EQ(r.top, GetSystemMetrics(SM_YVIRTUALSCREEN));
    EXPECT_EQ(r.right - r.left, vw);
    EXPECT_EQ(r.bottom - r.top, vh);
    EXPECT_TRUE(IsWindowVisible(p.hwnd()));
    pump(std::chrono::milliseconds(50));
    EXPECT_EQ(p.resizes.size(), 1u);  // showing it reported nothing new
}

TEST_F(Win32WindowTest, NormalFormShowsItsDesignedClientSize)
{
    Probe& p = probe(BorderStyle::fixed_dialog);
    p.Show();
    ASSERT_EQ(p.resizes.size(), 1u);
    EXPECT_EQ(p.resizes[0], (Probe::Resize{64, 48, false}));
    RECT client{};
    GetClientRect(p.hwnd(), &client);
    EXPECT_EQ(client.right, 64);
    EXPECT_EQ(client.bottom, 48);
}

TEST_F(Win32WindowTest, RefreshAndRepaintShowTheSurface)
{
    Probe& p = probe();
    p.Show();
    p.surface().fill_rect(0, 0, 64, 48, rgb(10, 20, 30));
    p.surface().fill_rect(5, 6, 7, 9, rgb(250, 240, 230));
    p.Refresh();
    EXPECT_EQ(window_pixels(p.hwnd()).pixels, p.surface().image().pixels);

    // Something else paints over the window; a repaint brings the surface back.
    HDC dc = GetDC(p.hwnd());
    RECT all{0, 0, 64, 48};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(p.hwnd(), dc);
    InvalidateRect(p.hwnd(), nullptr, TRUE);
    UpdateWindow(p.hwnd());
    EXPECT_EQ(window_pixels(p.hwnd()).pixels, p.surface().image().pixels);
}

TEST_F(Win32WindowTest, TopmostIsSetAndClearedWithoutTakingTheInput)
{
    Probe& p = probe();
    p.Show();
    EXPECT_TRUE(p.window().set_topmost(true, false));
    EXPECT_TRUE(GetWindowLongW(p.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(p.window().set_topmost(false, false));
    EXPECT_FALSE(GetWindowLongW(p.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(Win32WindowTest, TimerFiresThroughTheMessageLoopUntilStopped)
{
    Probe& p = probe();
    p.Show();
    p.window().set_timer(30, true);
    pump(std::chrono::milliseconds(600));
    // The system's timer granularity (about 15.6 ms on Windows) stretches 30 ms
    // to 31 or 47; a slow host delivers fewer ticks, never more.
    EXPECT_GE(p.ticks, 5);
    EXPECT_LE(p.ticks, 21);

    p.window().set_timer(30, false);
    const int stopped_at = p.ticks;
    pump(std::chrono::milliseconds(150));
    EXPECT_EQ(p.ticks, stopped_at);
}

TEST_F(Win32WindowTest, InputMessagesBecomeTheFormsEvents)
{
    Probe& p = probe();
    p.Show();
    const HWND w = p.hwnd();
    SendMessageW(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(12, 34));
    SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, 34));
    SendMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(12, 34));
    SendMessageW(w, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(12, 34));
    SendMessageW(w, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(1, 2));
    SendMessageW(w, WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(3, 4));
    SendMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<WORD>(-5), 7));  // captured, left of the window
    SendMessageW(w, WM_KEYDOWN, 'A', 0);
    SendMessageW(w, WM_CHAR, 'a', 0);
    SendMessageW(w, WM_SYSKEYDOWN, VK_F10, 0);

    const std::vector<std::string> expected = {
        "move 1 12,34", "mouse 1 12,34", "click", "dblclick", "mouse 2 1,2", "mouse 4 3,4",
        "move 0 -5,7",  "down 65 0",     "press 97", "down 121 0",
    };
    EXPECT_EQ(p.events, expected);
}

TEST_F(Win32WindowTest, CloseBoxAndForeignDestructionUnloadTheFormOnce)
{
    Probe& closed = probe(BorderStyle::fixed_dialog);
    closed.Show();
    SendMessageW(closed.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(closed.loaded());
    EXPECT_EQ(closed.unloads, 1);

    Probe& destroyed = probe();
    destroyed.Show();
    const HWND w = destroyed.hwnd();
    DestroyWindow(w);
    EXPECT_FALSE(destroyed.loaded());
    EXPECT_EQ(destroyed.unloads, 1);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(Forms::count(), 0);
}

// A dialog that, on its first timer event, notes whether its owner takes
// input, then closes itself.
class ClosingProbe : public Probe {
public:
    explicit ClosingProbe(HWND owner) : Probe(BorderStyle::fixed_dialog), owner_(owner) {}
    void Timer_Timer() override
    {
        owner_enabled_meanwhile = IsWindowEnabled(owner_) != 0;
        Unload();
    }
    bool owner_enabled_meanwhile = true;

private:
    HWND owner_;
};

TEST_F(Win32WindowTest, ModalShowReturnsWhenTheFormIsGoneAndOthersTakeInputAgain)
{
    Probe& owner = probe(BorderStyle::fixed_dialog);
    owner.Show();
    ClosingProbe& dialog = Forms::create<ClosingProbe>(owner.hwnd());
    dialog.Load();
    dialog.window().set_timer(50, true);
    dialog.Show(ShowMode::modal);

    EXPECT_FALSE(dialog.loaded());
    EXPECT_FALSE(dialog.owner_enabled_meanwhile);
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd()));
}

TEST_F(Win32WindowTest, FirstVisibleFrameWritesTheReadyFile)
{
    const std::filesystem::path ready = dir / "ready";
    _wputenv_s(L"FROSTWISP_READY_FILE", ready.wstring().c_str());
    Probe& p = probe();
    p.Refresh();  // not visible yet: no frame anyone has seen
    EXPECT_FALSE(std::filesystem::exists(ready));
    p.Show();
    p.Refresh();
    _wputenv_s(L"FROSTWISP_READY_FILE", L"");
    std::ifstream in(ready);
    std::string name;
    int w = 0, h = 0;
    in >> name >> w >> h;
    EXPECT_EQ(name, "Probe");
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 48);
}

}  // namespace
}  // namespace fw::testing
