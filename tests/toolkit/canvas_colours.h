// The three colours the canvas tests draw with, and a cleared surface.
#pragma once

#include "toolkit/canvas.h"

namespace fw::testing {

constexpr Color kBack = rgb(0, 0, 64);
constexpr Color kFill = rgb(0, 200, 0);
constexpr Color kFore = rgb(255, 255, 255);

inline void make(Canvas& c, int w, int h)
{
    c.back_color = kBack;
    c.fill_color = kFill;
    c.fore_color = kFore;
    c.resize(w, h);
    c.clear();
}

}  // namespace fw::testing
