#include "toolkit/win32/dialog_controls.h"

#include "toolkit/bitmap.h"
#include "toolkit/resources.h"
#include "toolkit/win32/dib_store.h"
#include "toolkit/win32/gdi_picture.h"
#include "toolkit/win32/wide_text.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>

namespace fw {

namespace {

constexpr int first_control_id = 1000;

COLORREF colorref(Color c) { return RGB(red(c), green(c), blue(c)); }

Color color_of(COLORREF c) { return rgb(GetRValue(c), GetGValue(c), GetBValue(c)); }

int screen_dpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

bool is_native(ControlKind kind)
{
    switch (kind) {
    case ControlKind::push_button:
    case ControlKind::check_box:
    case ControlKind::option_button:
    case ControlKind::hscroll_bar:
    case ControlKind::vscroll_bar: return true;
    default: return false;
    }
}

// Windows marks mnemonics with "&" as the program's captions do.
std::wstring caption_of(const Control& c) { return widen(c.Caption()); }

Image picture_named(const std::string& name)
{
    return name.empty() ? Image{} : decode_bmp(embedded_resource(name));
}

// The system shows a scroll bar's focus only as a blinking thumb, and a bar
// too short for a thumb (the minutes bar) not at all: a focused bar gets a
// dotted line along its edge, drawn again after each of the bar's own
// drawings. The line is opaque, so drawing it twice leaves it as it was.
void draw_bar_focus(HWND bar)
{
    if (GetFocus() != bar || (SendMessageW(bar, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)) return;
    RECT r{};
    GetClientRect(bar, &r);
    HDC dc = GetDC(bar);
    if (!dc) return;
    HPEN pen = CreatePen(PS_DOT, 1, RGB(0, 0, 0));
    const HGDIOBJ old_pen = SelectObject(dc, pen);
    const HGDIOBJ old_brush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, RGB(255, 255, 255));
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
    SelectObject(dc, old_brush);
    SelectObject(dc, old_pen);
    DeleteObject(pen);
    ReleaseDC(bar, dc);
}

LRESULT CALLBACK bar_procedure(HWND bar, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id, DWORD_PTR)
{
    if (message == WM_NCDESTROY) RemoveWindowSubclass(bar, bar_procedure, id);
    const LRESULT result = DefSubclassProc(bar, message, wparam, lparam);
    switch (message) {
    case WM_KILLFOCUS: InvalidateRect(bar, nullptr, FALSE); break;
    case WM_PAINT:
    case WM_SETFOCUS:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_KEYDOWN:
    case WM_ENABLE:
    case WM_UPDATEUISTATE:
    case SBM_SETSCROLLINFO:
    case SBM_SETPOS: draw_bar_focus(bar); break;
    default: break;
    }
    return result;
}

}  // namespace

DialogControls::DialogControls(DialogForm& form, HWND window, DibStore& surface)
    : form_(form), window_(window), surface_(surface)
{
    const auto& back = form.dialog_design().back_color;
    back_color_ = back ? *back : color_of(GetSysColor(COLOR_BTNFACE));
    back_brush_ = CreateSolidBrush(colorref(back_color_));

    // Child windows go in keyboard order, since that is the order the system
    // walks with Tab; the controls that never take the focus follow.
    std::vector<Control*> natives = form.focus_order();
    for (Control* c : form.controls())
        if (!c->takes_focus()) natives.push_back(c);
    std::erase_if(natives, [](const Control* c) { return !is_native(c->kind()); });

    bound_.reserve(form.controls().size());
    int id = first_control_id;
    for (Control* c : form.controls()) bound_.push_back({c, nullptr, id++});

    const Control* previous = nullptr;
    for (Control* c : natives) {
        Bound& b = *std::find_if(bound_.begin(), bound_.end(), [c](const Bound& x) { return x.control == c; });
        // Options of one container form one group: arrow keys move in it.
        const bool continues_group = previous && c->kind() == ControlKind::option_button &&
                                     previous->kind() == ControlKind::option_button &&
                                     previous->container() == c->container();
        create_native(b, !continues_group);
        previous = c;
    }
    for (Bound& b : bound_)
        b.control->set_observer([this, &b](Control&, ControlProperty property) { sync(b, property); });
}

DialogControls::~DialogControls()
{
    for (auto& [desc, f] : fonts_) DeleteObject(f);
    for (HIMAGELIST list : image_lists_) ImageList_Destroy(list);
    if (back_brush_) DeleteObject(back_brush_);
}

void DialogControls::release()
{
    if (released_) return;
    released_ = true;
    for (Bound& b : bound_) b.control->set_observer(nullptr);
}

void DialogControls::create_native(Bound& b, bool starts_group)
{
    Control& c = *b.control;
    DWORD style = WS_CHILD | (starts_group ? WS_GROUP : 0) | (c.takes_focus() ? WS_TABSTOP : 0);
    const wchar_t* window_class = L"BUTTON";
    std::wstring text = caption_of(c);
    switch (c.kind()) {
    case ControlKind::push_button: style |= BS_PUSHBUTTON | BS_MULTILINE | BS_CENTER | BS_VCENTER; break;
    case ControlKind::check_box: style |= BS_3STATE | BS_MULTILINE | BS_VCENTER; break;
    case ControlKind::option_button: style |= BS_RADIOBUTTON | BS_MULTILINE | BS_VCENTER; break;
    case ControlKind::hscroll_bar:
        window_class = L"SCROLLBAR";
        style |= SBS_HORZ;
        text.clear();
        break;
    case ControlKind::vscroll_bar:
        window_class = L"SCROLLBAR";
        style |= SBS_VERT;
        text.clear();
        break;
    default: return;
    }
    const RECT r = pixel_rect(c);
    b.hwnd = CreateWindowExW(0, window_class, text.c_str(), style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                             window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(b.id)), GetModuleHandleW(nullptr),
                             nullptr);
    if (!b.hwnd) return;
    if (c.kind() == ControlKind::hscroll_bar || c.kind() == ControlKind::vscroll_bar)
        SetWindowSubclass(b.hwnd, bar_procedure, 1, 0);
    SendMessageW(b.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font(c.Font())), FALSE);
    if (c.kind() == ControlKind::push_button) {
        const Image picture = picture_named(static_cast<PushButton&>(c).picture);
        if (HBITMAP bitmap = bitmap_of(picture)) {
            HIMAGELIST list = ImageList_Create(picture.width, picture.height, ILC_COLOR32 | ILC_MASK, 1, 0);
            ImageList_AddMasked(list, bitmap, colorref(transparent_key));
            DeleteObject(bitmap);
            image_lists_.push_back(list);
            BUTTON_IMAGELIST images{list, {0, 2, 0, 0}, BUTTON_IMAGELIST_ALIGN_TOP};
            SendMessageW(b.hwnd, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&images));
        }
    }
    sync_value(b);
    EnableWindow(b.hwnd, c.Enabled());
    if (c.Visible()) ShowWindow(b.hwnd, SW_SHOWNA);
}

RECT DialogControls::pixel_rect(const Control& control) const
{
    const TwipRect t = form_.client_rect(control);
    const int left = twips_to_pixels_x(t.left);
    const int top = twips_to_pixels_y(t.top);
    return {left, top, left + twips_to_pixels_x(t.width), top + twips_to_pixels_y(t.height)};
}

HFONT DialogControls::font(const FontSpec& desc)
{
    const auto key = std::make_tuple(desc.face, desc.points, static_cast<int>(desc.weight), desc.underline);
    HFONT& f = fonts_[key];
    if (!f) {
        const int height = -static_cast<int>(std::lround(desc.points * screen_dpi() / 72.0));
        f = CreateFontW(height, 0, 0, 0, static_cast<int>(desc.weight), FALSE, desc.underline, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                        widen(desc.face).c_str());
    }
    return f;
}

void DialogControls::sync(Bound& b, ControlProperty property)
{
    Control& c = *b.control;
    if (!b.hwnd) {
        paint();
        return;
    }
    switch (property) {
    case ControlProperty::caption: SetWindowTextW(b.hwnd, caption_of(c).c_str()); break;
    case ControlProperty::enabled: EnableWindow(b.hwnd, c.Enabled()); break;
    case ControlProperty::visible: ShowWindow(b.hwnd, c.Visible() ? SW_SHOWNA : SW_HIDE); break;
    case ControlProperty::font: SendMessageW(b.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font(c.Font())), TRUE); break;
    case ControlProperty::fore_color:
    case ControlProperty::back_color: InvalidateRect(b.hwnd, nullptr, TRUE); break;
    case ControlProperty::position: {
        const RECT r = pixel_rect(c);
        MoveWindow(b.hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
        break;
    }
    case ControlProperty::value: sync_value(b); break;
    case ControlProperty::picture: break;
    }
}

void DialogControls::sync_value(Bound& b)
{
    Control& c = *b.control;
    switch (c.kind()) {
    case ControlKind::check_box: {
        const int v = static_cast<CheckBox&>(c).Value();
        SendMessageW(b.hwnd, BM_SETCHECK, v == 1 ? BST_CHECKED : v == 2 ? BST_INDETERMINATE : BST_UNCHECKED, 0);
        break;
    }
    case ControlKind::option_button:
        SendMessageW(b.hwnd, BM_SETCHECK, static_cast<OptionButton&>(c).Value() ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
    case ControlKind::hscroll_bar:
    case ControlKind::vscroll_bar: {
        // The system's bars run from their smaller end; a bar whose Min is
        // the larger value runs the other way.
        auto& bar = static_cast<ScrollBar&>(c);
        const int low = std::min(bar.Min(), bar.Max());
        const int high = std::max(bar.Min(), bar.Max());
        SCROLLINFO info{sizeof info, SIF_RANGE | SIF_POS | SIF_PAGE, low, high, 0,
                        bar.Min() <= bar.Max() ? bar.Value() : low + high - bar.Value(), 0};
        SetScrollInfo(b.hwnd, SB_CTL, &info, TRUE);
        break;
    }
    default: break;
    }
}

void DialogControls::paint()
{
    Canvas& surface = form_.surface();
    surface.fill_rect(0, 0, surface.width(), surface.height(), back_color_);
    HDC dc = surface_.dc();
    if (!dc || surface.width() <= 0) return;
    for (const Bound& b : bound_)
        if (!b.hwnd && b.control->Visible()) draw(dc, *b.control);
    GdiFlush();
    if (IsWindowVisible(window_)) {
        InvalidateRect(window_, nullptr, FALSE);
        for (const Bound& b : bound_)
            if (b.hwnd) InvalidateRect(b.hwnd, nullptr, TRUE);
    }
}

void DialogControls::draw(HDC dc, const Control& c)
{
    RECT r = pixel_rect(c);
    const HGDIOBJ old_font = SelectObject(dc, font(c.Font()));
    SetBkMode(dc, TRANSPARENT);
    switch (c.kind()) {
    case ControlKind::image: {
        GdiFlush();
        const auto& box = static_cast<const ImageBox&>(c);
        const Image picture = picture_named(box.picture);
        if (box.stretch)
            form_.surface().stretch_draw(picture, r.left, r.top, r.right - r.left, r.bottom - r.top);
        else
            draw_keyed(form_.surface(), picture, r.left, r.top);
        break;
    }
    case ControlKind::label: {
        if (c.back_style == BackStyle::opaque) {
            HBRUSH brush = CreateSolidBrush(colorref(c.BackColor()));
            FillRect(dc, &r, brush);
            DeleteObject(brush);
        }
        if (c.border == ControlBorder::fixed_single) {
            DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
            InflateRect(&r, -1, 0);
        }
        SetTextColor(dc, c.Enabled() ? colorref(c.ForeColor()) : GetSysColor(COLOR_GRAYTEXT));
        const UINT align = c.alignment == TextAlign::right ? DT_RIGHT : c.alignment == TextAlign::center ? DT_CENTER : DT_LEFT;
        std::wstring text = widen(plain_text(c.Caption()));
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, align | DT_WORDBREAK | DT_NOPREFIX);
        break;
    }
    case ControlKind::group_box: {
        const std::wstring text = widen(plain_text(c.Caption()));
        SIZE extent{0, 0};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        RECT frame = r;
        frame.top += extent.cy / 2;
        DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
        if (!text.empty()) {
            RECT caption{r.left + 6, r.top, r.left + 6 + extent.cx + 4, r.top + extent.cy};
            FillRect(dc, &caption, back_brush_);
            SetTextColor(dc, c.Enabled() ? colorref(c.ForeColor()) : GetSysColor(COLOR_GRAYTEXT));
            TextOutW(dc, caption.left + 2, caption.top, text.c_str(), static_cast<int>(text.size()));
        }
        break;
    }
    default: break;
    }
    SelectObject(dc, old_font);
}

void DialogControls::focus_first()
{
    for (Control* c : form_.focus_order()) {
        if (!c->Enabled() || !c->Visible()) continue;
        if (HWND h = native(*c)) {
            SetFocus(h);
            return;
        }
    }
}

HWND DialogControls::native(const Control& control) const
{
    for (const Bound& b : bound_)
        if (b.control == &control) return b.hwnd;
    return nullptr;
}

DialogControls::Bound* DialogControls::bound_at(POINT p, bool clickable_only)
{
    for (auto it = bound_.rbegin(); it != bound_.rend(); ++it) {
        if (it->hwnd || !it->control->Visible()) continue;
        if (clickable_only && !it->control->has_handler()) continue;
        const RECT r = pixel_rect(*it->control);
        if (PtInRect(&r, p)) return &*it;
    }
    return nullptr;
}

DialogControls::Bound* DialogControls::bound_of(HWND child)
{
    for (Bound& b : bound_)
        if (b.hwnd == child) return &b;
    return nullptr;
}

DialogControls::Bound* DialogControls::wheel_target(POINT screen)
{
    const auto is_bar = [](const Bound* b) {
        return b && (b->control->kind() == ControlKind::hscroll_bar || b->control->kind() == ControlKind::vscroll_bar);
    };
    ScreenToClient(window_, &screen);
    Bound* b = bound_of(ChildWindowFromPointEx(window_, screen, CWP_SKIPINVISIBLE));
    if (!is_bar(b)) b = bound_of(GetFocus());
    return is_bar(b) ? b : nullptr;
}

bool DialogControls::handle(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result)
{
    result = 0;
    switch (message) {
    case WM_COMMAND: {
        if (HIWORD(wparam) != BN_CLICKED) return false;
        Bound* b = bound_of(reinterpret_cast<HWND>(lparam));
        if (!b || released_) return true;
        b->control->user_click();
        return true;
    }
    case WM_HSCROLL:
    case WM_VSCROLL: {
        Bound* b = bound_of(reinterpret_cast<HWND>(lparam));
        if (!b || released_) return false;
        auto& bar = static_cast<ScrollBar&>(*b->control);
        switch (LOWORD(wparam)) {
        case SB_LINELEFT: bar.user_step(-bar.SmallChange()); break;
        case SB_LINERIGHT: bar.user_step(bar.SmallChange()); break;
        case SB_PAGELEFT: bar.user_step(-bar.LargeChange()); break;
        case SB_PAGERIGHT: bar.user_step(bar.LargeChange()); break;
        case SB_LEFT: bar.user_scroll_to(bar.Min()); break;
        case SB_RIGHT: bar.user_scroll_to(bar.Max()); break;
        case SB_THUMBPOSITION: {
            const int pos = static_cast<int>(static_cast<short>(HIWORD(wparam)));
            const int low = std::min(bar.Min(), bar.Max());
            const int high = std::max(bar.Min(), bar.Max());
            bar.user_scroll_to(bar.Min() <= bar.Max() ? pos : low + high - pos);
            break;
        }
        default: return true;
        }
        // The bar may have been refused (disabled) or the window closed.
        return true;
    }
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL: {
        // The system's bars leave the wheel to their window: each notch moves
        // one small change, up and left towards Min.
        Bound* b = wheel_target({GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
        if (!b || released_) return false;
        const int delta = GET_WHEEL_DELTA_WPARAM(wparam);
        wheel_ += message == WM_MOUSEWHEEL ? -delta : delta;
        const int notches = wheel_ / WHEEL_DELTA;
        wheel_ -= notches * WHEEL_DELTA;
        auto& bar = static_cast<ScrollBar&>(*b->control);
        // One step for all notches: the form may be gone after the handler.
        if (notches != 0) bar.user_step(notches * bar.SmallChange());
        return true;
    }
    case WM_ACTIVATE:
        // The focus goes back to the control that had it, as in a dialog box.
        if (LOWORD(wparam) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            if (focus && IsChild(window_, focus)) saved_focus_ = focus;
            return false;
        }
        if (saved_focus_ && IsWindow(saved_focus_) && IsWindowEnabled(saved_focus_))
            SetFocus(saved_focus_);
        else
            focus_first();
        return true;
    case DM_GETDEFID: {
        // The focused push button is the default one, so Enter clicks it.
        Bound* b = bound_of(GetFocus());
        if (b && b->control->kind() == ControlKind::push_button) result = MAKELRESULT(b->id, DC_HASDEFID);
        return true;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        Bound* b = bound_of(reinterpret_cast<HWND>(lparam));
        HDC dc = reinterpret_cast<HDC>(wparam);
        SetBkColor(dc, colorref(back_color_));
        if (b) SetTextColor(dc, colorref(b->control->ForeColor()));
        result = reinterpret_cast<LRESULT>(back_brush_);
        return true;
    }
    case WM_LBUTTONUP: {
        const POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
        Bound* b = bound_at(p, true);
        if (!b || released_ || !b->control->Enabled()) return false;
        b->control->user_click();
        return true;
    }
    case WM_SETCURSOR: {
        if (LOWORD(lparam) != HTCLIENT || reinterpret_cast<HWND>(wparam) != window_) return false;
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(window_, &p);
        Bound* b = bound_at(p, true);
        if (!b) return false;
        // A label that does something when clicked is a link.
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        result = TRUE;
        return true;
    }
    default: return false;
    }
}

}  // namespace fw
