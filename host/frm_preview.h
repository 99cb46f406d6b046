// The still preview shown inside the system's saver-settings preview area.
#pragma once

#include "toolkit/canvas.h"
#include "toolkit/form.h"

namespace fw {

class frmPreview : public Form {
public:
    frmPreview();

    void Form_Resize() override;
    void Form_Unload() override;

    // The picture the image control holds.
    const Image& Image1() const { return image1_; }

private:
    Image image1_;
};

}  // namespace fw
