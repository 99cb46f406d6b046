#include "scene/frm_main.h"

#include "errors/trap.h"

namespace fw {

namespace {

FormDesign main_design()
{
    FormDesign d;
    d.caption = "Glimmerkin";
    d.border = BorderStyle::none;
    d.back_color = rgb(0, 0, 0);
    return d;
}

// Every input handler of the scene ends the saver the same way.
void end_on_input(const char* procedure)
{
    Trap trap("frmMain", procedure);
    trap.line(50010, [] { Saver::exitScreensaver(); });
}

}  // namespace

frmMain::frmMain() : Form("frmMain", main_design()) {}

void frmMain::Form_Load()
{
    Trap trap("frmMain", "Form_Load");
    trap.line(50010, [&] { window().set_window_state(WindowState::maximized); });
}

void frmMain::Form_KeyDown(int, int) { end_on_input("Form_KeyDown"); }
void frmMain::Form_KeyPress(int) { end_on_input("Form_KeyPress"); }
void frmMain::Form_MouseDown(int, int, float, float) { end_on_input("Form_MouseDown"); }
void frmMain::Form_Click() { end_on_input("Form_Click"); }
void frmMain::Form_DblClick() { end_on_input("Form_DblClick"); }
void frmMain::Form_Unload() { end_on_input("Form_Unload"); }
void frmMain::Form_Terminate() { end_on_input("Form_Terminate"); }

void frmMain::Form_MouseMove(int, int, float x, float y)
{
    Trap trap("frmMain", "Form_MouseMove");
    trap.line(50010, [&] {
        if (Saver::movement_ends_saver(LastMouse, x, y)) Saver::exitScreensaver();
    });
}

}  // namespace fw
