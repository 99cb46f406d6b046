// The settings dialog.
#pragma once

#include "toolkit/form.h"

namespace fw {

// FIXME: only the window so far; its controls and handlers are still to come.
class frmConfig : public Form {
public:
    frmConfig();
};

}  // namespace fw
