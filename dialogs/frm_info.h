// The info dialog: the program's title and version, the maker's web address
// as a link and the catalogue number, over its own picture. Shown modally from
// the settings dialog and closed only by its OK button.
#pragma once

#include "toolkit/dialog_form.h"

#include <cstdint>
#include <string>

namespace fw {

class frmInfo : public DialogForm {
public:
    frmInfo();

    void Form_Load() override;
    void lblHomepage_Click();
    void OK_Click();

    ControlArray<TextLabel> Label;
    ControlArray<ImageBox> Image1;

private:
    // Makes every control in drawing order, filling the arrays above.
    bool build();
    const bool built_;

public:
    ImageBox& Image2;
    TextLabel& lblHomepage;
    PushButton& ok;

    // "major.minor.revision" with the patterns "0", "00" and "0000".
    static std::string version_text(int major, int minor, int revision);
    // Where the left (or top) edge goes for a window of this extent to sit in
    // the middle of a screen of that extent, in twips.
    static int32_t centred(double screen_extent, double window_extent);
};

}  // namespace fw
