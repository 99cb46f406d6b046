// The Windows program's entry point: the screen saver frostwisp.scr.
#include "host/run_saver.h"
#include "host/saver.h"
#include "toolkit/form.h"
#include "toolkit/win32/win32_platform.h"
#include "toolkit/win32/win32_window.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    fw::Win32Platform platform;
    const int status = fw::run_saver(platform, [] {
        MSG msg;
        while (fw::Forms::count() > 0 && GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (!fw::Win32Window::navigate_dialog(msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            fw::Forms::release_unloaded();
        }
        fw::Forms::release_unloaded();
    }).value_or(0);
    // Start-up switched the system's screen saver off in every mode; only the
    // full-screen saver's own ending switches it on again. The settings
    // dialog, the preview (which the control panel starts whenever its page
    // is shown) and the switches that open nothing leave it as they found it.
    if (!fw::Saver::SaverMode) platform.restore_screensaver_active();
    std::fflush(nullptr);
    return status;
}
