// A small Windows program for the Wine end-to-end scripts: reads and sets the
// system's screen-saver activation, as another program of the session sees it,
// and stands in for the settings page that a preview is shown in.
//
//   wine_test_helper screensaver-active       prints 1 or 0
//   wine_test_helper screensaver-active N     sets it to N (not written to the profile)
//   wine_test_helper parent-window W H        opens a window with a client area of
//                                             W x H, prints its handle (decimal) and
//                                             runs until the window is closed
//   wine_test_helper close HWND               posts WM_CLOSE to the window HWND
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

LRESULT CALLBACK parent_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

int parent_window(int width, int height)
{
    WNDCLASSA c{};
    c.lpfnWndProc = parent_procedure;
    c.hInstance = GetModuleHandleA(nullptr);
    c.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    c.lpszClassName = "PreviewParent";
    if (!RegisterClassA(&c)) return 1;
    // WS_CLIPCHILDREN, as the system's preview area has.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    RECT frame{0, 0, width, height};
    AdjustWindowRect(&frame, style, FALSE);
    HWND window = CreateWindowA("PreviewParent", "Preview parent", style | WS_VISIBLE, 20, 20, frame.right - frame.left,
                                frame.bottom - frame.top, nullptr, nullptr, c.hInstance, nullptr);
    if (!window) return 1;
    std::printf("%lld\n", static_cast<long long>(reinterpret_cast<intptr_t>(window)));
    std::fflush(stdout);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* mode = argc >= 2 ? argv[1] : "";
    if (std::strcmp(mode, "parent-window") == 0 && argc == 4) return parent_window(std::atoi(argv[2]), std::atoi(argv[3]));
    if (std::strcmp(mode, "close") == 0 && argc == 3) {
        HWND window = reinterpret_cast<HWND>(static_cast<intptr_t>(std::atoll(argv[2])));
        return IsWindow(window) && PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
    }
    // A windowed program with the display open, as the saver is: under Wine
    // the activation is the display driver's (the X server's screen saver),
    // which a program without the display never reaches.
    ReleaseDC(nullptr, GetDC(nullptr));
    if (std::strcmp(mode, "screensaver-active") == 0 && argc <= 3) {
        if (argc == 3 && !SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, std::atoi(argv[2]) != 0, nullptr, 0)) return 1;
        // Read back even after a change: that also sends a change the driver
        // may still hold before the program ends.
        BOOL active = FALSE;
        if (!SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0)) return 1;
        if (argc == 2) std::printf("%d\n", active ? 1 : 0);
        return 0;
    }
    std::fprintf(stderr, "usage: wine_test_helper screensaver-active [0|1] | parent-window W H | close HWND\n");
    return 2;
}
