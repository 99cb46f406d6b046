#include "host/frm_preview.h"

#include "errors/trap.h"
#include "host/saver.h"
#include "toolkit/bitmap.h"
#include "toolkit/resources.h"

namespace fw {

namespace {

FormDesign preview_design()
{
    FormDesign d;
    d.border = BorderStyle::none;
    d.show_in_taskbar = false;
    d.client_width_px = 312;
    d.client_height_px = 213;
    return d;
}

}  // namespace

frmPreview::frmPreview() : Form("frmPreview", preview_design())
{
    image1_ = decode_bmp(embedded_resource("preview.bmp"));
}

void frmPreview::Form_Resize()
{
    Trap trap("frmPreview", "Form_Resize");
    trap.line(50010, [&] { surface().stretch_draw(image1_, 0, 0, ScaleWidth(), ScaleHeight()); });
    trap.line(50020, [&] { Refresh(); });
}

void frmPreview::Form_Unload()
{
    Trap trap("frmPreview", "Form_Unload");
    trap.line(50010, [&] { Saver::exitScreensaver(); });
}

}  // namespace fw
