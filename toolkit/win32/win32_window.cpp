#include "toolkit/win32/win32_window.h"

#include "toolkit/bitmap.h"
#include "toolkit/dialog_form.h"
#include "toolkit/resources.h"
#include "toolkit/runtime_error.h"
#include "toolkit/win32/dialog_controls.h"
#include "toolkit/win32/dib_store.h"
#include "toolkit/win32/gdi_picture.h"
#include "toolkit/win32/wide_text.h"

#include <windowsx.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace fw {

namespace {

constexpr wchar_t form_class[] = L"FrostwispForm";
constexpr UINT_PTR form_timer = 1;
constexpr UINT parent_watch_ms = 250;
constexpr int program_icon = 100;

void register_form_class()
{
    static bool registered = false;
    if (registered) return;
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    c.style = CS_DBLCLKS;
    c.lpfnWndProc = DefWindowProcW;  // replaced per window once it has its form
    c.hInstance = GetModuleHandleW(nullptr);
    c.hIcon = LoadIconW(c.hInstance, MAKEINTRESOURCEW(program_icon));
    if (!c.hIcon) c.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    c.lpszClassName = form_class;
    RegisterClassExW(&c);
    registered = true;
}

// Forms that stay out of the taskbar are owned by this hidden window, as a
// window with an owner gets no taskbar button.
HWND hidden_owner()
{
    static HWND owner = CreateWindowExW(0, form_class, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
    return owner;
}

int shift_state()
{
    return (GetKeyState(VK_SHIFT) < 0 ? 1 : 0) | (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
           (GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

int buttons_of(WPARAM wparam)
{
    return ((wparam & MK_LBUTTON) ? 1 : 0) | ((wparam & MK_RBUTTON) ? 2 : 0) | ((wparam & MK_MBUTTON) ? 4 : 0);
}

BOOL CALLBACK collect_enabled_window(HWND window, LPARAM list)
{
    if (IsWindowVisible(window) && IsWindowEnabled(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

// The windows embedded in a parent, each with its thread timer.
std::vector<Win32Window*>& embedded_windows()
{
    static std::vector<Win32Window*> windows;
    return windows;
}

// GetMessage dispatches a message another thread or process sends without
// returning, so a form unloaded by one (a preview whose parent was destroyed
// by its own process) would leave the message loop waiting for a posted
// message that may never come. This one wakes it, and the loop sees whether
// any form is left.
void wake_message_loop() { PostMessageW(nullptr, WM_NULL, 0, 0); }

// The program's end inside a callback of the system's: nothing may unwind
// through the system's frames above it.
[[noreturn]] void end_process(const ProgramEnd& end)
{
    std::fflush(nullptr);
    ExitProcess(static_cast<UINT>(end.exit_code));
}

RECT virtual_screen()
{
    const int x = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

}  // namespace

Win32Window::Win32Window(Form& form) : form_(form)
{
    register_form_class();
    form_.surface().use_store(std::make_unique<DibStore>());

    const FormDesign& d = form_.design();
    DWORD style = WS_CLIPCHILDREN;
    DWORD ex = 0;
    switch (d.border) {
    case BorderStyle::none: style |= WS_POPUP; break;
    case BorderStyle::fixed_tool_window:
        style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
        ex |= WS_EX_TOOLWINDOW;
        break;
    case BorderStyle::fixed_dialog:
        style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
        ex |= WS_EX_DLGMODALFRAME;
        break;
    case BorderStyle::sizable: style |= WS_OVERLAPPEDWINDOW; break;
    }
    HWND owner = nullptr;
    if (d.show_in_taskbar)
        ex |= WS_EX_APPWINDOW;
    else
        owner = hidden_owner();

    RECT frame{0, 0, d.client_width_px, d.client_height_px};
    AdjustWindowRectEx(&frame, style, FALSE, ex);
    const int w = frame.right - frame.left;
    const int h = frame.bottom - frame.top;
    const Rect work = platform().dialog_area();
    int x = work.left + (work.right - work.left - w) / 2;
    int y = work.top + (work.bottom - work.top - h) / 2;
    auto* dialog = dynamic_cast<DialogForm*>(&form_);
    if (dialog && dialog->dialog_design().start == StartPosition::manual) {
        x = twips_to_pixels_x(dialog->Left());
        y = twips_to_pixels_y(dialog->Top());
    }

    hwnd_ = CreateWindowExW(ex, form_class, widen(d.caption).c_str(), style, x, y, w, h, owner, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    if (!hwnd_) throw RuntimeError(err::out_of_memory);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32Window::procedure));
    if (!d.icon.empty()) {
        icon_ = icon_of(decode_bmp(embedded_resource(d.icon)));
        if (icon_) {
            SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
            SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
        }
    }
    if (dialog) dialog_ = std::make_unique<DialogControls>(*dialog, hwnd_, store());
}

Win32Window::~Win32Window()
{
    stop_watching_parent();
    if (dialog_) dialog_->release();
    enable_others();
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        if (timer_on_) KillTimer(hwnd_, form_timer);
        if (!destroying_) {
            destroying_ = true;
            DestroyWindow(hwnd_);
        }
    }
    if (icon_) DestroyIcon(icon_);
}

Win32Window* Win32Window::from(HWND hwnd)
{
    if (!hwnd) return nullptr;
    return reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void Win32Window::show(ShowMode mode)
{
    const Lifetime::Watch self = watch();
    if (state_ == WindowState::maximized) fit_to_screen_area();
    sized_ = true;
    report_client_size();
    if (!self.alive()) return;
    if (dialog_) dialog_->paint();
    const HWND previous = GetActiveWindow();
    if (mode == ShowMode::modal) disable_others();
    ShowWindow(hwnd_, SW_SHOW);
    if (!self.alive()) return;
    UpdateWindow(hwnd_);
    if (!self.alive()) return;
    if (dialog_) dialog_->focus_first();
    if (mode == ShowMode::modal) run_modal(previous);
}

void Win32Window::set_window_state(WindowState state)
{
    state_ = state;
    if (sized_ && state_ == WindowState::maximized) fit_to_screen_area();
}

bool Win32Window::set_topmost(bool topmost, bool activate)
{
    UINT flags = SWP_NOMOVE | SWP_NOSIZE;
    if (!activate) flags |= SWP_NOACTIVATE;
    return SetWindowPos(hwnd_, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, flags) != 0;
}

void Win32Window::refresh()
{
    if (!hwnd_ || destroying_) return;
    const std::vector<Rect> parts = shown_.take_changes(form_.surface());
    if (!parts.empty()) {
        if (HDC dc = GetDC(hwnd_)) {
            present(dc, parts);
            ReleaseDC(hwnd_, dc);
        }
    }
    if (IsWindowVisible(hwnd_)) signal_first_frame();
}

void Win32Window::embed(NativeHandle parent_handle, int width, int height)
{
    const Lifetime::Watch self = watch();
    HWND parent = reinterpret_cast<HWND>(parent_handle);
    // A child cannot be a pop-up as well: with both styles the window would
    // still be placed in screen coordinates.
    const LONG style = (GetWindowLongA(hwnd_, GWL_STYLE) & ~static_cast<LONG>(WS_POPUP)) | WS_CHILD;
    SetWindowLongA(hwnd_, GWL_STYLE, style);
    SetParent(hwnd_, parent);
    SetWindowLongPtrA(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(parent));
    sized_ = true;
    SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    if (!self.alive()) return;
    report_client_size();
    if (!self.alive()) return;
    if (!IsWindow(parent)) {
        PostMessageW(hwnd_, WM_CLOSE, 0, 0);
        return;
    }
    parent_ = parent;
    if (!parent_watch_) {
        parent_watch_ = SetTimer(nullptr, 0, parent_watch_ms, &Win32Window::watch_parent);
        if (parent_watch_) embedded_windows().push_back(this);
    }
}

void CALLBACK Win32Window::watch_parent(HWND, UINT, UINT_PTR timer, DWORD) noexcept
{
    for (Win32Window* window : embedded_windows()) {
        if (window->parent_watch_ != timer) continue;
        if (!IsWindow(window->parent_) || !IsWindow(window->hwnd_)) {
            window->stop_watching_parent();
            try {
                window->lost_window();
            } catch (const ProgramEnd& end) {
                end_process(end);
            }
        }
        return;
    }
}

void Win32Window::stop_watching_parent()
{
    if (!parent_watch_) return;
    KillTimer(nullptr, parent_watch_);
    parent_watch_ = 0;
    std::erase(embedded_windows(), this);
}

void Win32Window::lost_window()
{
    if (destroying_) return;
    destroying_ = true;
    form_.destroyed_by_system();
}

void Win32Window::move(int left, int top, int width, int height)
{
    // The size is the client area's; the frame comes on top of it.
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_EXSTYLE)));
    MoveWindow(hwnd_, left, top, frame.right - frame.left, frame.bottom - frame.top, TRUE);
}

void Win32Window::set_timer(int interval_ms, bool enabled)
{
    if (enabled) {
        if (!timer_on_ || interval_ms != timer_interval_) SetTimer(hwnd_, form_timer, static_cast<UINT>(interval_ms), nullptr);
    } else if (timer_on_) {
        KillTimer(hwnd_, form_timer);
    }
    timer_on_ = enabled;
    timer_interval_ = interval_ms;
}

void Win32Window::destroy()
{
    stop_watching_parent();
    if (dialog_) dialog_->release();
    enable_others();
    wake_message_loop();
    if (!hwnd_ || destroying_) return;
    destroying_ = true;
    if (timer_on_) KillTimer(hwnd_, form_timer);
    timer_on_ = false;
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

void Win32Window::fit_to_screen_area()
{
    const RECT v = virtual_screen();
    const Rect area = form_.screen_area().value_or(Rect{v.left, v.top, v.right, v.bottom});
    SetWindowPos(hwnd_, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Window::report_client_size()
{
    RECT client{};
    GetClientRect(hwnd_, &client);
    form_.client_resized(client.right, client.bottom);
}

// Every memory the surface moves into comes from the DIB section it was
// given at creation.
DibStore& Win32Window::store() const { return static_cast<DibStore&>(form_.surface().store()); }

void Win32Window::present(HDC dc, const RECT& area) const
{
    BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, store().dc(), area.left, area.top,
           SRCCOPY);
}

// A region of many rectangles, built in halves: a region made from a list
// of rectangles takes each one into all that came before it, which for a
// frame's hundreds of parts costs more than the copy they save.
HRGN Win32Window::region_of(const RECT* rects, size_t count)
{
    constexpr size_t kFlat = 16;
    if (count > kFlat) {
        HRGN first = region_of(rects, count / 2);
        HRGN second = region_of(rects + count / 2, count - count / 2);
        if (first && second) CombineRgn(first, first, second, RGN_OR);
        if (second) DeleteObject(second);
        return first;
    }
    RECT box = rects[0];
    for (size_t i = 1; i < count; ++i) UnionRect(&box, &box, &rects[i]);
    region_data_.resize(sizeof(RGNDATAHEADER) + count * sizeof(RECT));
    const RGNDATAHEADER header{sizeof(RGNDATAHEADER), RDH_RECTANGLES, static_cast<DWORD>(count),
                               static_cast<DWORD>(count * sizeof(RECT)), box};
    std::memcpy(region_data_.data(), &header, sizeof header);
    std::memcpy(region_data_.data() + sizeof header, rects, count * sizeof(RECT));
    return ExtCreateRegion(nullptr, static_cast<DWORD>(region_data_.size()),
                           reinterpret_cast<const RGNDATA*>(region_data_.data()));
}

// Many parts go as one copy of what encloses them, clipped to the parts.
void Win32Window::present(HDC dc, const std::vector<Rect>& parts)
{
    rects_.resize(parts.size());
    RECT box{parts[0].left, parts[0].top, parts[0].right, parts[0].bottom};
    for (size_t i = 0; i < parts.size(); ++i) {
        rects_[i] = RECT{parts[i].left, parts[i].top, parts[i].right, parts[i].bottom};
        UnionRect(&box, &box, &rects_[i]);
    }
    HRGN region = parts.size() > 1 ? region_of(rects_.data(), rects_.size()) : nullptr;
    if (region) SelectClipRgn(dc, region);
    present(dc, box);
    if (region) {
        SelectClipRgn(dc, nullptr);
        DeleteObject(region);
    }
}

void Win32Window::disable_others()
{
    // Every other window of the program waits until this one has gone.
    EnumThreadWindows(GetCurrentThreadId(), &collect_enabled_window, reinterpret_cast<LPARAM>(&disabled_while_modal_));
    std::erase(disabled_while_modal_, hwnd_);
    for (HWND w : disabled_while_modal_) EnableWindow(w, FALSE);
}

void Win32Window::enable_others()
{
    // Before this window goes, so that the system hands the activation back
    // to one of them rather than to another program.
    for (HWND w : disabled_while_modal_)
        if (IsWindow(w)) EnableWindow(w, TRUE);
    disabled_while_modal_.clear();
}

void Win32Window::run_modal(HWND previous)
{
    const Lifetime::Watch self = watch();
    MSG msg;
    bool quit = false;
    while (self.alive()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            quit = got == 0;
            break;
        }
        if (navigate_dialog(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (self.alive()) enable_others();
    if (previous && IsWindow(previous)) SetActiveWindow(previous);
    if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
}

void Win32Window::signal_first_frame()
{
    // FROSTWISP_READY_FILE names a file that gets one line, "<form> <width>
    // <height>", for each window when it has first been painted or refreshed
    // while visible; tests wait for it instead of guessing how long start-up takes.
    if (signalled_) return;
    const wchar_t* path = _wgetenv(L"FROSTWISP_READY_FILE");
    if (!path || !*path) return;
    signalled_ = true;
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << form_.name() << ' ' << store().width() << ' ' << store().height() << '\n';
}

bool Win32Window::navigate_dialog(MSG& msg)
{
    const HWND top = GetAncestor(msg.hwnd, GA_ROOT);
    const Win32Window* window = from(top);
    return window && window->dialog_ && IsDialogMessageW(top, &msg);
}

LRESULT CALLBACK Win32Window::procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) noexcept
{
    Win32Window* window = from(hwnd);
    if (!window) return DefWindowProcW(hwnd, message, wparam, lparam);
    try {
        return window->handle(message, wparam, lparam);
    } catch (const ProgramEnd& end) {
        end_process(end);
    }
}

// The form's handlers may unload the form and with it this object; after
// calling one, only the copied handle is used.
LRESULT Win32Window::handle(UINT message, WPARAM wparam, LPARAM lparam)
{
    const HWND hwnd = hwnd_;
    const float x = static_cast<float>(GET_X_LPARAM(lparam));
    const float y = static_cast<float>(GET_Y_LPARAM(lparam));
    if (dialog_) {
        LRESULT result = 0;
        if (dialog_->handle(message, wparam, lparam, result)) return result;
    }
    switch (message) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        present(dc, ps.rcPaint);
        EndPaint(hwnd, &ps);
        if (IsWindowVisible(hwnd)) signal_first_frame();
        return 0;
    }
    case WM_SIZE:
        shown_.forget();
        if (sized_ && wparam != SIZE_MINIMIZED) form_.client_resized(LOWORD(lparam), HIWORD(lparam));
        return 0;
    case WM_DISPLAYCHANGE:
        shown_.forget();
        // Every top-level window hears of it; the rebuild of the scenes after
        // the first finds nothing left to do.
        platform().monitors_changed();
        return 0;
    case WM_TIMER:
        if (wparam == form_timer && timer_on_) form_.Timer_Timer();
        return 0;
    case WM_KEYDOWN: form_.Form_KeyDown(static_cast<int>(wparam), shift_state()); return 0;
    case WM_SYSKEYDOWN: {
        const Lifetime::Watch self = watch();
        form_.Form_KeyDown(static_cast<int>(wparam), shift_state());
        // Alt+F4 and the window menu still work where the form stays.
        return self.alive() ? DefWindowProcW(hwnd, message, wparam, lparam) : 0;
    }
    case WM_CHAR: form_.Form_KeyPress(static_cast<int>(wparam)); return 0;
    case WM_LBUTTONDOWN: form_.Form_MouseDown(1, shift_state(), x, y); return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: form_.Form_MouseDown(2, shift_state(), x, y); return 0;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: form_.Form_MouseDown(4, shift_state(), x, y); return 0;
    case WM_LBUTTONUP: form_.Form_Click(); return 0;
    case WM_LBUTTONDBLCLK: form_.Form_DblClick(); return 0;
    case WM_MOUSEMOVE: form_.Form_MouseMove(buttons_of(wparam), shift_state(), x, y); return 0;
    case WM_CLOSE:
        // A dialog without a border has no close box: only its own button closes it.
        if (!(dialog_ && form_.design().border == BorderStyle::none)) form_.destroyed_by_system();
        return 0;
    case WM_DESTROY: lost_window(); return 0;
    case WM_NCDESTROY:
        // Under Wine a child whose parent's process is killed is freed with
        // this message alone.
        lost_window();
        return DefWindowProcW(hwnd, message, wparam, lparam);
    default: return DefWindowProcW(hwnd, message, wparam, lparam);
    }
}

}  // namespace fw
