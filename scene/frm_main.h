// The full-screen scene window.
#pragma once

#include "host/saver.h"
#include "toolkit/form.h"

namespace fw {

// FIXME: the window and its ending handlers only; the scene itself is still to come.
class frmMain : public Form {
public:
    frmMain();

    void Form_Load() override;
    void Form_KeyDown(int key_code, int shift) override;
    void Form_KeyPress(int key_ascii) override;
    void Form_MouseDown(int button, int shift, float x, float y) override;
    void Form_Click() override;
    void Form_DblClick() override;
    void Form_MouseMove(int button, int shift, float x, float y) override;
    void Form_Unload() override;
    void Form_Terminate() override;

    Saver::RememberedMouse LastMouse;
};

}  // namespace fw
