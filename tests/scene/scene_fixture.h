// The scene on the headless backend: settings from a map, "/S" start-up, and
// access to the scene window.
#pragma once

#include "host/allgemein.h"
#include "scene/frm_main.h"

#include "../support/headless_fixture.h"

#include <map>

namespace fw::testing {

class SceneTest : public HeadlessTest {
protected:
    void settings(const std::map<std::string, std::string>& values)
    {
        for (const auto& [key, text] : values) memory->write("Frostwisp", "Settings", key, text);
    }

    frmMain& start_scene(int width = 320, int height = 240)
    {
        options.command_text = "/S";
        options.screen_width = width;
        options.screen_height = height;
        start();
        Saver::Main();
        return scene();
    }

    frmMain& scene() { return static_cast<frmMain&>(Forms::at(0)); }

    static int count_colour(const Canvas& c, Color colour, int left = 0, int top = 0, int right = -1, int bottom = -1)
    {
        if (right < 0) right = c.width();
        if (bottom < 0) bottom = c.height();
        int n = 0;
        for (int y = std::max(top, 0); y < std::min(bottom, c.height()); ++y)
            for (int x = std::max(left, 0); x < std::min(right, c.width()); ++x)
                if (c.pixel(x, y) == colour) ++n;
        return n;
    }
};

}  // namespace fw::testing
