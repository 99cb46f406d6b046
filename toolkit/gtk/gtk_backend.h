// The dialogs on Linux: GTK 3 widgets built from a DialogForm's controls,
// placed at their twip positions at the display's resolution. The display
// backend (X11 or Wayland) owns the event loop; it calls gtk_backend_pump() with its own events and
// hands the windows of dialog forms to create_gtk_window().
#pragma once

#include "toolkit/form.h"
#include "toolkit/platform.h"

#include <functional>
#include <memory>
#include <optional>

namespace fw {

// Opens GTK on a display of the kinds GDK names in backends ("x11",
// "wayland"); false when there is none. Later calls answer the first one's
// result.
bool gtk_backend_init(const char* backends = "x11");

// The window of a dialog form: a fixed-size window holding a widget for every
// control. A modal show runs GTK's events until the form is unloaded. Empty
// when GTK cannot be opened.
std::unique_ptr<NativeWindow> create_gtk_window(Form& form);

// How GTK scales: its windows by a whole factor (GDK_SCALE), its fonts at a
// resolution of its own scaled pixels (-1 when it has none). Empty before
// GTK is open.
struct GtkScaling {
    int scale = 1;
    double resolution = -1;
};
std::optional<GtkScaling> gtk_scaling();

// Handles the GTK events that are waiting, without blocking.
void gtk_backend_pump();

// How a modal window waits for its end: the loop runs until still_open()
// turns false, or returns early when the program is asked to end. Without
// one, a modal window runs GTK's events alone; the program's event loop
// installs itself here so that its own windows and signals go on meanwhile.
using ModalLoop = std::function<void(const std::function<bool()>& still_open)>;
void set_gtk_modal_loop(ModalLoop loop);

// True while a GTK window of the program is open.
bool gtk_windows_open();

}  // namespace fw
