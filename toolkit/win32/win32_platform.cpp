#include "toolkit/win32/win32_platform.h"

#include "toolkit/win32/dib_store.h"
#include "toolkit/win32/gdi_text.h"
#include "toolkit/win32/wide_text.h"
#include "toolkit/win32/win32_window.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace fw {

namespace {

constexpr UINT spi_screensaver_running = 97;  // SPI_SCREENSAVERRUNNING

SYSTEMTIME system_time_of(const std::tm& when)
{
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(when.tm_year + 1900);
    st.wMonth = static_cast<WORD>(when.tm_mon + 1);
    st.wDay = static_cast<WORD>(when.tm_mday);
    st.wDayOfWeek = static_cast<WORD>(when.tm_wday);
    st.wHour = static_cast<WORD>(when.tm_hour);
    st.wMinute = static_cast<WORD>(when.tm_min);
    st.wSecond = static_cast<WORD>(when.tm_sec);
    return st;
}

// The exported function name of a library that is loaded for this one call.
template <class Function> Function load_function(HMODULE library, const char* name)
{
    // Through void(*)() so the compiler accepts the cast between function types.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

BOOL CALLBACK add_monitor(HMONITOR monitor, HDC, LPRECT, LPARAM list)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(monitor, &info)) {
        const RECT& r = info.rcMonitor;
        reinterpret_cast<std::vector<Monitor>*>(list)->push_back(
            {{r.left, r.top, r.right, r.bottom}, (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
    }
    return TRUE;
}

int system_dpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

}  // namespace

Win32Platform::Win32Platform() = default;

std::string Win32Platform::arguments_of(std::string_view line)
{
    size_t at = 0;
    if (!line.empty() && line[0] == '"') {
        const size_t close = line.find('"', 1);
        at = close == std::string_view::npos ? line.size() : close + 1;
    } else {
        while (at < line.size() && line[at] != ' ' && line[at] != '\t') ++at;
    }
    return std::string(line.substr(at));
}

std::string Win32Platform::command_text() const { return arguments_of(GetCommandLineA()); }

std::filesystem::path Win32Platform::program_file() const
{
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (n < name.size()) {
            name.resize(n);
            return name;
        }
        name.resize(name.size() * 2);
    }
}

double Win32Platform::seconds_since_midnight() const
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    return st.wHour * 3600.0 + st.wMinute * 60.0 + st.wSecond + st.wMilliseconds / 1000.0;
}

uint32_t Win32Platform::tick_count() const { return GetTickCount(); }

std::tm Win32Platform::local_time() const
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    std::tm t{};
    t.tm_year = st.wYear - 1900;
    t.tm_mon = st.wMonth - 1;
    t.tm_mday = st.wDay;
    t.tm_wday = st.wDayOfWeek;
    t.tm_hour = st.wHour;
    t.tm_min = st.wMinute;
    t.tm_sec = st.wSecond;
    t.tm_isdst = -1;
    return t;
}

bool Win32Platform::get_version(OsVersionInfo& info) const
{
    OSVERSIONINFOA record{};
    record.dwOSVersionInfoSize = info.size;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const BOOL ok = GetVersionExA(&record);
#pragma GCC diagnostic pop
    if (ok != TRUE) return false;
    info.major = record.dwMajorVersion;
    info.minor = record.dwMinorVersion;
    info.build = record.dwBuildNumber;
    info.platform_id = record.dwPlatformId;
    static_assert(sizeof info.csd_version == sizeof record.szCSDVersion);
    std::memcpy(info.csd_version, record.szCSDVersion, sizeof info.csd_version);
    return true;
}

char Win32Platform::decimal_separator() const
{
    wchar_t text[8] = {};
    const int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, text, 8);
    // A separator outside ASCII, or longer than one character, cannot be one byte of UTF-8.
    if (n == 2 && text[0] > 0 && text[0] < 128) return static_cast<char>(text[0]);
    return '.';
}

std::string Win32Platform::short_date_text(const std::tm& when) const
{
    const SYSTEMTIME st = system_time_of(when);
    wchar_t text[128] = {};
    if (GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, text, 128) <= 0) return {};
    return narrow(text);
}

std::string Win32Platform::long_time_text(const std::tm& when) const
{
    const SYSTEMTIME st = system_time_of(when);
    wchar_t text[128] = {};
    if (GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, text, 128) <= 0) return {};
    return narrow(text);
}

void Win32Platform::set_screensaver_active(bool active)
{
    if (!activation_asked_) {
        activation_asked_ = true;
        BOOL found = FALSE;
        if (SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &found, 0)) activation_found_ = found ? 1 : 0;
    }
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, active ? 1 : 0, nullptr, 0);
}

void Win32Platform::restore_screensaver_active()
{
    if (activation_found_ < 0) return;
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, static_cast<UINT>(activation_found_), nullptr, 0);
    // Asking again costs nothing, and makes a display driver that buffers
    // the change (Wine's, for one) send it before the process ends.
    BOOL now = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &now, 0);
}

void Win32Platform::set_screensaver_running(bool running)
{
    if (running && !running_mark_) {
        // One full-screen saver a session: a second would cover the first,
        // and a key would end only one.
        running_mark_ = CreateMutexW(nullptr, FALSE, L"Local\\Frostwisp full-screen saver");
        if (running_mark_ && GetLastError() == ERROR_ALREADY_EXISTS) {
            restore_screensaver_active();
            end_program();
        }
    }
    SystemParametersInfoA(spi_screensaver_running, running ? static_cast<UINT>(-1) : 0, nullptr, 0);
}

void Win32Platform::show_cursor(bool show) { ShowCursor(show ? TRUE : FALSE); }

bool Win32Platform::verify_screensave_password(NativeHandle window)
{
    HMODULE library = LoadLibraryA("password.cpl");
    if (!library) return true;
    using Verify = BOOL(WINAPI*)(HWND);
    bool accepted = true;
    if (const auto verify = load_function<Verify>(library, "VerifyScreenSavePwd"))
        accepted = static_cast<int16_t>(verify(reinterpret_cast<HWND>(window))) != 0;
    FreeLibrary(library);
    return accepted;
}

void Win32Platform::change_screensave_password(NativeHandle window)
{
    HMODULE library = LoadLibraryA("mpr.dll");
    if (!library) return;
    using Change = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, DWORD);
    if (const auto change = load_function<Change>(library, "PwdChangePasswordA"))
        change("SCRSAVE", reinterpret_cast<HWND>(window), 0, 0);
    FreeLibrary(library);
}

void Win32Platform::beep() { MessageBeep(MB_OK); }

void Win32Platform::open_url(const std::string& url)
{
    ShellExecuteA(nullptr, "Open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::filesystem::path Win32Platform::user_state_dir() const
{
    wchar_t folder[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return std::filesystem::path(folder) / L"Frostwisp";
    return {};
}

bool Win32Platform::append_log(const std::filesystem::path& file, std::string_view text, uintmax_t rotate_at)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself rather than what it
        // points to, so that it can be refused.
        HANDLE handle = CreateFileW(file.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return false;
        BY_HANDLE_FILE_INFORMATION info{};
        if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
            (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
            CloseHandle(handle);
            return false;
        }
        const uintmax_t size = (uintmax_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
        if (size >= rotate_at && attempt == 0) {
            CloseHandle(handle);
            std::filesystem::path older = file;
            older += L".1";
            if (!MoveFileExW(file.c_str(), older.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
            continue;
        }
        bool written = true;
        for (size_t done = 0; done < text.size() && written;) {
            DWORD n = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1u << 20));
            written = WriteFile(handle, text.data() + done, chunk, &n, nullptr) && n > 0;
            done += n;
        }
        return CloseHandle(handle) && written;
    }
    return false;
}

int Win32Platform::screen_width_px() const { return GetSystemMetrics(SM_CXVIRTUALSCREEN); }
int Win32Platform::screen_height_px() const { return GetSystemMetrics(SM_CYVIRTUALSCREEN); }
double Win32Platform::twips_per_pixel_x() const { return std::max(1440 / system_dpi(), 1); }
double Win32Platform::twips_per_pixel_y() const { return std::max(1440 / system_dpi(), 1); }

Image Win32Platform::capture_screen(int x, int y, int width, int height)
{
    Image shot = black_image(width, height);
    if (shot.empty()) return shot;

    HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    if (!display) return shot;
    HDC memory = CreateCompatibleDC(display);
    void* bits = nullptr;
    HBITMAP dib = memory ? create_dib(memory, shot.width, shot.height, &bits) : nullptr;
    if (dib && bits) {
        const HGDIOBJ old = SelectObject(memory, dib);
        // The display's device context counts from the virtual screen's corner.
        BitBlt(memory, 0, 0, shot.width, shot.height, display, x - GetSystemMetrics(SM_XVIRTUALSCREEN),
               y - GetSystemMetrics(SM_YVIRTUALSCREEN), SRCCOPY);
        GdiFlush();
        const auto* pixels = static_cast<const Color*>(bits);
        std::transform(pixels, pixels + shot.pixels.size(), shot.pixels.begin(),
                       [](Color c) { return c & 0x00FFFFFFu; });
        SelectObject(memory, old);
    }
    if (dib) DeleteObject(dib);
    if (memory) DeleteDC(memory);
    DeleteDC(display);
    return shot;
}

std::vector<Monitor> Win32Platform::listed_monitors()
{
    std::vector<Monitor> list;
    EnumDisplayMonitors(nullptr, nullptr, &add_monitor, reinterpret_cast<LPARAM>(&list));
    return list;
}

std::optional<Point> Win32Platform::pointer_position()
{
    POINT p{};
    if (!GetCursorPos(&p)) return std::nullopt;
    return Point{p.x, p.y};
}

Rect Win32Platform::dialog_area()
{
    RECT work{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) return Platform::dialog_area();
    return {work.left, work.top, work.right, work.bottom};
}

bool Win32Platform::client_size(NativeHandle window, int& width, int& height)
{
    RECT r{};
    HWND hwnd = reinterpret_cast<HWND>(window);
    if (!hwnd || !IsWindow(hwnd) || !GetClientRect(hwnd, &r)) return false;
    width = r.right;
    height = r.bottom;
    return true;
}

std::unique_ptr<NativeWindow> Win32Platform::create_window(Form& form) { return std::make_unique<Win32Window>(form); }

std::unique_ptr<TextRenderer> Win32Platform::create_text_renderer(const FontSpec& desc)
{
    return std::make_unique<GdiText>(desc, system_dpi());
}

void Win32Platform::end_program()
{
    std::fflush(nullptr);
    ExitProcess(static_cast<UINT>(end_status()));
}

}  // namespace fw
