// A form's real window. The form's surface lives in DIB sections, so showing
// it is one BitBlt, clipped at a refresh to the tiles that changed since the
// last one; the window procedure turns messages into the form's events.
//
// A form is sized before it becomes visible: show() reports the client size
// (its screen area, else the whole virtual screen, when maximised) and so runs
// Form_Resize while the window is still hidden, then shows it.
#pragma once

#include "toolkit/form.h"
#include "toolkit/platform.h"
#include "toolkit/shown_tiles.h"

#include <windows.h>

#include <memory>
#include <vector>

namespace fw {

class DialogControls;
class DibStore;

class Win32Window final : public NativeWindow {
public:
    explicit Win32Window(Form& form);
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;
    ~Win32Window() override;

    NativeHandle handle() const override { return reinterpret_cast<NativeHandle>(hwnd_); }
    void show(ShowMode mode) override;
    // Maximised covers the form's screen area (its monitor), else the virtual
    // screen; it takes effect when the window is shown, or at once when it is
    // visible already.
    void set_window_state(WindowState state) override;
    bool set_topmost(bool topmost, bool activate) override;
    void refresh() override;
    // A parent that is no window will never destroy the preview, so the
    // window closes itself once the message loop runs. A parent of another
    // process may also take the window without a WM_DESTROY (under Wine, when
    // that process is killed, the child hears only WM_NCDESTROY) or without a
    // word: a thread timer, which outlives the window, checks both windows
    // every 250 ms and unloads the form once either has gone.
    void embed(NativeHandle parent, int width, int height) override;
    void move(int left, int top, int width, int height) override;
    void set_timer(int interval_ms, bool enabled) override;
    void destroy() override;

    HWND hwnd() const { return hwnd_; }
    Form& form() { return form_; }

    // The window of a form of this program behind hwnd, or nullptr.
    static Win32Window* from(HWND hwnd);
    // Keyboard navigation of dialog windows (Tab, arrows, mnemonics): true
    // when msg was used up and must not be dispatched.
    static bool navigate_dialog(MSG& msg);
    // The controls of a dialog form; nullptr for other forms.
    DialogControls* dialog() const { return dialog_.get(); }

private:
    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
    static void CALLBACK watch_parent(HWND, UINT, UINT_PTR timer, DWORD) noexcept;
    void stop_watching_parent();
    // The form learns that the system took its window.
    void lost_window();
    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
    void fit_to_screen_area();
    void report_client_size();
    // The DIB section the surface is in now.
    DibStore& store() const;
    void present(HDC dc, const RECT& area) const;
    void present(HDC dc, const std::vector<Rect>& parts);
    HRGN region_of(const RECT* rects, size_t count);
    void disable_others();
    void enable_others();
    void run_modal(HWND previous);
    void signal_first_frame();

    Form& form_;
    HWND hwnd_ = nullptr;
    // What the window shows of the surface, so a refresh sends only what
    // changed; all of it after a resize or a display change. A repaint the
    // system asks for shows the whole damaged area as the surface is.
    ShownTiles shown_;
    std::vector<RECT> rects_;
    std::vector<unsigned char> region_data_;
    std::unique_ptr<DialogControls> dialog_;
    HICON icon_ = nullptr;
    WindowState state_ = WindowState::normal;
    bool sized_ = false;         // size changes reach the form from now on
    bool destroying_ = false;
    bool signalled_ = false;
    std::vector<HWND> disabled_while_modal_;
    int timer_interval_ = 0;
    bool timer_on_ = false;
    HWND parent_ = nullptr;
    UINT_PTR parent_watch_ = 0;
};

}  // namespace fw
