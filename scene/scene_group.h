// What the full-screen scenes of one run share, one scene per monitor: the
// pointer position the ending rule measures from, in screen coordinates, so
// that a move across the seam between two monitors is one path; and the
// desktop snapshot, one picture of every monitor, taken when the first scene
// asks for it, which is before any scene covers the screen.
#pragma once

#include "host/saver.h"
#include "toolkit/canvas.h"

#include <optional>

namespace fw {

class SceneGroup {
public:
    // screen: the rectangle the snapshot covers, in screen coordinates.
    explicit SceneGroup(const Rect& screen) : screen_(screen) {}

    // The last remembered pointer position, in screen coordinates.
    Saver::RememberedMouse LastMouse;

    // The snapshot's pixels in area (screen coordinates), black where the
    // snapshot has none. The first call takes the snapshot.
    Image desktop(const Rect& area);

private:
    Rect screen_;
    std::optional<Image> snapshot_;
};

}  // namespace fw
