// The dialogs' scroll bars on GTK, drawn by the program: two arrow buttons,
// the track and a square thumb, at any size down to the 17 x 17 pixels of a
// minutes bar, where the arrows share the length and no thumb fits. GTK's
// own scroll bar moves by fractions of a step per frame while an arrow is
// held and cannot be used at that size; this one asks for whole steps:
//
//   arrow click      one line towards that end, repeated while held
//   track click      one page towards the click, repeated while held until
//                    the thumb has passed the pointer
//   thumb drag       the thumb follows the pointer; the position is asked
//                    for once, on release
//   arrow keys       one line (left and up towards the start)
//   Page Up / Down   one page
//   Home / End       the start or the end
//   wheel            one line per notch (up and left towards the start)
//
// The start is the left or top end. The widget shows the value it is told;
// what a request does to that value is its owner's business.
#pragma once

#include <gtk/gtk.h>

#include <functional>

namespace fw {

enum class ScrollRequest { line_back, line_forward, page_back, page_forward, to_start, to_end, to_position };

class GtkScrollBar {
public:
    // position is the value asked for by to_position, else 0.
    using Handler = std::function<void(ScrollRequest request, int position)>;

    // Made with its widget, which owns it: the object goes when the widget does.
    static GtkScrollBar& create(GtkOrientation orientation, Handler handler);
    // The scroll bar of a widget made by create(); nullptr for any other widget.
    static GtkScrollBar* of(GtkWidget* widget);

    GtkScrollBar(const GtkScrollBar&) = delete;
    GtkScrollBar& operator=(const GtkScrollBar&) = delete;
    ~GtkScrollBar();

    GtkWidget* widget() const { return widget_; }
    // The values at the start and at the end (either may be the larger), and
    // the value the thumb shows.
    void show(int start_value, int end_value, int value);
    int value() const { return value_; }

    // Where the parts lie along the bar, in widget pixels from the start.
    struct Layout {
        int length = 0;
        int back_arrow = 0;     // its length
        int forward_arrow = 0;  // its length
        int thumb_start = -1;   // -1: no thumb
        int thumb_length = 0;
    };
    Layout layout() const;

private:
    enum class Part { none, back_arrow, back_track, thumb, forward_track, forward_arrow };

    GtkScrollBar(GtkOrientation orientation, Handler handler);
    bool horizontal() const { return orientation_ == GTK_ORIENTATION_HORIZONTAL; }
    Part part_at(double along, const Layout& l) const;
    void act(Part part);
    void repeat_after(guint ms);
    void stop();
    void draw(cairo_t* cr) const;

    static gboolean on_draw(GtkWidget*, cairo_t* cr, gpointer self);
    static gboolean on_press(GtkWidget*, GdkEventButton* event, gpointer self);
    static gboolean on_release(GtkWidget*, GdkEventButton* event, gpointer self);
    static gboolean on_motion(GtkWidget*, GdkEventMotion* event, gpointer self);
    static gboolean on_scroll(GtkWidget*, GdkEventScroll* event, gpointer self);
    static gboolean on_key(GtkWidget*, GdkEventKey* event, gpointer self);
    static gboolean on_repeat(gpointer self);
    static void on_lost(GtkWidget*, gpointer self);

    GtkWidget* widget_ = nullptr;
    GtkOrientation orientation_;
    Handler handler_;
    int start_ = 0;
    int end_ = 1;
    int value_ = 0;
    Part pressed_ = Part::none;
    double pointer_ = 0;   // along the bar, while the button is down
    int drag_offset_ = 0;  // the pointer's distance from the thumb's start when the drag began
    int drag_thumb_ = -1;  // the thumb's start while dragged; -1 when not
    int drag_origin_ = -1;  // the thumb's start when the drag began
    double wheel_ = 0;     // smooth scrolling that is not yet a whole notch
    guint timer_ = 0;
};

}  // namespace fw
