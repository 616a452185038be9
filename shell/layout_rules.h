#pragma once
// The main window's layout rules, in twips and free of any toolkit: what a resize does to the
// window's own size and to the positions of its controls.
#include <optional>

namespace tarnwick {

// Twips per pixel at 96 pixels per inch.
inline constexpr float TwipsPerPixel = 15.0f;

enum class WindowShowState { Normal, Minimized, Maximized };

struct LayoutInput {
    float outerWidth = 0;   // window width including the frame, twips
    float outerHeight = 0;  // window height including frame and caption, twips
    float minWidth = 0;     // MinWidth: the outer width when the window loaded
    float minHeight = 0;    // MinHeight
    WindowShowState state = WindowShowState::Normal;
};

struct LayoutResult {
    // The outer size after the minimum rules, one dimension at a time.
    float outerWidth = 0;
    float outerHeight = 0;
    bool widthCorrected = false;
    bool heightCorrected = false;
    // ListView1's size and the buttons' top; the list's left and top (120) never change.
    float listWidth = 0;
    float listHeight = 0;
    float addTop = 0;
    float removeTop = 0;
    // Every pass in the normal state hides the status bar and both buttons.
    bool hideStatusBar = true;
    bool hideAdd = true;
    bool hideRemove = true;
};

inline constexpr float ListTopTwips = 120;
inline constexpr float ListLeftTwips = 120;

// Form_Resize. Nothing happens while the window is minimized or maximized (nullopt). In the
// normal state a size below the minimum is raised to it; the rest of the pass works with the
// corrected size, which gives the same outcome as the nested pass that the correction raises.
std::optional<LayoutResult> FormResize(const LayoutInput& in);

// Twips to whole pixels, rounded to the nearest pixel.
int PixelsFromTwips(float twips);
float TwipsFromPixels(int pixels);

}  // namespace tarnwick
