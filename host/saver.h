// Module Saver: start-up and mode dispatch, the settings record and its store,
// and the end of the full-screen saver.
#pragma once

#include "toolkit/form.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fw {

struct SaverSettingsRecord {
    int16_t maxFl = 0;
    float SpeedF = 0;
    float Size = 0;
    int16_t Date = 0;
    int16_t Time = 0;
    int16_t Restart = 0;
    int32_t rTime = 0;
    int16_t Background = 0;
    int16_t minFl = 0;     // derived, never stored
    bool RandomBack = false;  // derived, never stored
};

namespace Saver {

// The process-wide values of the module.
extern SaverSettingsRecord SaverSettings;
extern int16_t numFl;
extern bool SaverMode;

inline constexpr std::string_view app_name = "Frostwisp";
inline constexpr std::string_view section_name = "Settings";
// The maker's web address, shown by the scene and opened by the dialogs.
inline constexpr std::string_view web_address = "www.frostwisp.example";

// The address as a browser opens it: a bare host name ("www.x.example")
// becomes the https URL of the site's root ("https://www.x.example/"); an
// address with a scheme stays as it is. Browsers and xdg-open take a bare
// name for a file.
std::string web_url(std::string_view address);

// The start-up procedure: reads the settings, seeds the generator and opens the
// window the command line asks for.
void Main();
// Rebuilds the full-screen saver's scenes after a change of the monitors: a
// new scene for a new monitor, a scene whose monitor went away unloaded, a
// scene whose monitor changed its size or place resized to it.
void MonitorsChanged();
void LoadConfig();
// Writes the eight stored settings; false when the store did not take them
// (the failure has been reported).
bool SaveConfig();
bool SetTopMost(Form& window, bool topmost, bool activate);
// The one way to end the full-screen saver; does nothing in the other modes.
void exitScreensaver();
bool IsWinNT();

// The window handle after a "/P" or "/A" switch: the number at the start of
// the text from the fourth character on, nearest 32-bit integer.
int32_t window_handle_from(std::string_view normalised_command);

// The last remembered pointer position of the scene window; empty reads as 0.
struct RememberedMouse {
    std::optional<float> x;
    std::optional<float> y;
};
// The scene's movement rule: a step of 3 pixels or more on either axis from
// the remembered position ends the saver (true); a smaller step, or the first
// move after the remembered position was (0, 0), only remembers the position.
bool movement_ends_saver(RememberedMouse& last, float x, float y);

}  // namespace Saver
}  // namespace fw
