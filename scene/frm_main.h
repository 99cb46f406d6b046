// The full-screen scene window: a background with a growing snow cover, the
// date, time and web address, and the falling flakes, composed off-screen at
// every timer tick and copied to the window in one piece.
#pragma once

#include "host/saver.h"
#include "scene/scene_group.h"
#include "toolkit/form.h"
#include "toolkit/picture_box.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace fw {

struct FlakeData {
    int32_t X = 0;         // top-left corner of the flake's bounding square
    int32_t Y = 0;
    int32_t Diameter = 0;  // side of that square
};

// A label that is never shown: its position marks where the web address goes.
struct AnchorLabel {
    std::string Caption;
    Color ForeColor = 0;
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

class frmMain : public Form {
public:
    static constexpr int flake_slots = 501;

    // The scene on one monitor of a group; without a group, a scene of its
    // own over the whole screen.
    explicit frmMain(std::shared_ptr<SceneGroup> group = nullptr, std::optional<Rect> monitor = std::nullopt);

    void Form_Load() override;
    void Form_Resize() override;
    void Timer_Timer() override;
    void tmrAnimation_timer();
    void Flakes();
    void Hintergrund();

    void Form_KeyDown(int key_code, int shift) override;
    void Form_KeyPress(int key_ascii) override;
    void Form_MouseDown(int button, int shift, float x, float y) override;
    void Form_Click() override;
    void Form_DblClick() override;
    void Form_MouseMove(int button, int shift, float x, float y) override;
    void pointer_placed(float x, float y) override;
    void Form_Unload() override;
    void Form_Terminate() override;

    // Controls.
    PictureBox picBG;
    PictureBox picBuffer;
    Image imgBG;
    AnchorLabel lblURL;
    Timer tmrAnimation;

    // Window-level state.
    std::array<FlakeData, flake_slots> Flake{};
    double SnowLine = 0;
    int32_t TickNow = 0;
    int32_t LastRestartTick = 0;
    bool DesktopCaptured = false;
    Image StripPicture;
    // Its monitor went away: unloading it ends this scene only, not the saver.
    bool MonitorGone = false;

    const std::shared_ptr<SceneGroup>& group() const { return group_; }

private:
    // The index of the last live flake: numFl, but never past the last slot.
    int last_flake() const;
    void rebuild_background();
    // The top-left corner of the scene's monitor in screen coordinates.
    Point origin() const;
    struct PointF {
        float x, y;
    };
    PointF pointer_point(float x, float y);

    std::shared_ptr<SceneGroup> group_;
    std::shared_ptr<const TextRenderer> font_;
    // numFl is the count of the scene whose handler runs: each scene keeps
    // the count it drew and puts it back into numFl when a handler of its own
    // starts, so every scene draws its own count and numFl means what it
    // always meant wherever it is read.
    int16_t flake_count_ = 0;
};

}  // namespace fw
