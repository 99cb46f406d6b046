// The settings dialog: three bars for the flake count, speed and size, the
// date, time and restart boxes with the minutes field, the background choice,
// and the buttons for the info dialog, the maker's web address, the defaults
// and OK. It keeps no state of its own beyond its controls and the settings
// record.
#pragma once

#include "toolkit/dialog_form.h"

namespace fw {

class frmConfig : public DialogForm {
public:
    frmConfig();

    void Form_Load() override;
    void chkOpt_Click(int index);
    void chkRandom_Click();
    void optBack_Click(int index);
    void vscTime_Change();
    void cmdReset_Click();
    void cmdOK_Click();
    void cmdInfo_Click();
    void cmdHomepage_Click();

    ControlArray<GroupBox> Frame;
    ControlArray<TextLabel> Label1;
    ControlArray<TextLabel> Label2;
    ControlArray<TextLabel> Label3;
    ControlArray<ScrollBar> HScroll;
    ControlArray<CheckBox> chkOpt;
    ControlArray<OptionButton> optBack;

private:
    // Makes every control in drawing order, filling the arrays above; the
    // single controls below are then looked up by name.
    bool build();
    const bool built_;

public:
    GroupBox& Frame1;
    TextLabel& Label4;
    TextLabel& Label5;
    TextLabel& lblTime;
    ScrollBar& vscTime;
    CheckBox& chkRandom;
    PushButton& cmdHomepage;
    PushButton& cmdInfo;
    PushButton& cmdReset;
    PushButton& cmdOK;
};

}  // namespace fw
