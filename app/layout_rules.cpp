#include "app/layout_rules.h"

#include <cmath>

namespace tarnwick {

std::optional<LayoutResult> FormResize(const LayoutInput& in) {
    if (in.state != WindowShowState::Normal) return std::nullopt;
    LayoutResult r;
    r.outerWidth = in.outerWidth;
    r.outerHeight = in.outerHeight;
    if (r.outerWidth < in.minWidth) {
        r.outerWidth = in.minWidth;
        r.widthCorrected = true;
    }
    if (r.outerHeight < in.minHeight) {
        r.outerHeight = in.minHeight;
        r.heightCorrected = true;
    }
    r.listWidth = r.outerWidth - 360;
    r.listHeight = r.outerHeight - 700;
    r.addTop = ListTopTwips + r.listHeight + 105;
    r.removeTop = r.addTop;
    return r;
}

int PixelsFromTwips(float twips) {
    return static_cast<int>(std::lround(twips / TwipsPerPixel));
}

float TwipsFromPixels(int pixels) {
    return static_cast<float>(pixels) * TwipsPerPixel;
}

}  // namespace tarnwick
