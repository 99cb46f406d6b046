// Tests of the Windows backend run the real backend in the test process, with
// the settings under a registry key of their own and the program's files in a
// temporary folder. They need a display (under Wine, a virtual X server).
#pragma once

#include "host/saver.h"
#include "toolkit/form.h"
#include "toolkit/runtime_error.h"
#include "toolkit/win32/dib_store.h"
#include "toolkit/win32/registry_store.h"
#include "toolkit/win32/win32_platform.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace fw::testing {

// A registry root no other run uses: Software\FrostwispTest-<random>.
inline std::wstring fresh_registry_root()
{
    return L"Software\\FrostwispTest-" + std::to_wstring(std::random_device{}());
}

class TestWin32Platform : public Win32Platform {
public:
    TestWin32Platform(std::wstring registry_root, std::filesystem::path program)
        : store(std::move(registry_root)), program_(std::move(program))
    {
    }
    std::string command_text() const override { return command; }
    std::filesystem::path program_file() const override { return program_; }
    SettingsStore& settings() override { return store; }
    [[noreturn]] void end_program() override { throw ProgramEnd{0}; }
    void open_url(const std::string& url) override { opened.push_back(url); }
    std::vector<Monitor> listed_monitors() override
    {
        return fake_monitors.empty() ? Win32Platform::listed_monitors() : fake_monitors;
    }
    Rect dialog_area() override { return fake_dialog_area ? *fake_dialog_area : Win32Platform::dialog_area(); }

    std::string command;
    // The system's answers when set.
    std::vector<Monitor> fake_monitors;
    std::optional<Rect> fake_dialog_area;
    std::vector<std::string> opened;
    RegistryStore store;

private:
    std::filesystem::path program_;
};

class Win32Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        registry_root = fresh_registry_root();
        dir = std::filesystem::temp_directory_path() / ("frostwisp-win32-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dir);
        backend = std::make_unique<TestWin32Platform>(registry_root, dir / "frostwisp.scr");
        install_platform(backend.get());
        Saver::SaverSettings = {};
        Saver::numFl = 0;
        Saver::SaverMode = false;
    }

    void TearDown() override
    {
        Forms::discard_all();
        pump(std::chrono::milliseconds(0));
        install_platform(nullptr);
        backend.reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, registry_root.c_str());
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    // Delivers the thread's messages for the given time (at least once).
    static void pump(std::chrono::milliseconds duration)
    {
        const auto until = std::chrono::steady_clock::now() + duration;
        do {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            if (duration.count() > 0) MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        } while (std::chrono::steady_clock::now() < until);
    }

    std::wstring registry_root;
    std::filesystem::path dir;
    std::unique_ptr<TestWin32Platform> backend;
};

// The pixels a window shows, read back through its device context.
inline Image window_pixels(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    Image out;
    out.width = client.right;
    out.height = client.bottom;
    out.pixels.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
    if (out.empty()) return out;
    HDC source = GetDC(window);
    HDC memory = CreateCompatibleDC(source);
    void* bits = nullptr;
    HBITMAP dib = create_dib(memory, out.width, out.height, &bits);
    const HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, out.width, out.height, source, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const Color*>(bits);
    for (size_t i = 0; i < out.pixels.size(); ++i) out.pixels[i] = pixels[i] & 0x00FFFFFFu;
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(window, source);
    return out;
}

// A plain visible top-level window with the given client size, owned by no
// form (the system's preview area, for instance).
inline HWND make_foreign_window(int client_width, int client_height)
{
    static const bool registered = [] {
        WNDCLASSW c{};
        c.lpfnWndProc = DefWindowProcW;
        c.hInstance = GetModuleHandleW(nullptr);
        c.lpszClassName = L"FrostwispTestParent";
        c.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
        return RegisterClassW(&c) != 0;
    }();
    (void)registered;
    RECT frame{0, 0, client_width, client_height};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
    return CreateWindowExW(0, L"FrostwispTestParent", L"parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 450,
                           frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

}  // namespace fw::testing
