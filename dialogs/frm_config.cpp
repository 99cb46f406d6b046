#include "dialogs/frm_config.h"

namespace fw {

namespace {

FormDesign config_design()
{
    FormDesign d;
    d.caption = "Frostwisp Screensaver  ---  Settings / Einstellungen...";
    d.border = BorderStyle::fixed_tool_window;
    d.show_in_taskbar = false;
    d.client_width_px = 390;
    d.client_height_px = 310;
    return d;
}

}  // namespace

frmConfig::frmConfig() : Form("frmConfig", config_design()) {}

}  // namespace fw
