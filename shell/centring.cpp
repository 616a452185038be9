// The load-time placement of the main window: minimums and centring.
#include "shell/centring.h"

namespace tarnwick {

LoadPlacement PlaceOnLoad(float outerWidth, float outerHeight, float screenWidth,
                          float screenHeight) {
    LoadPlacement p;
    p.minWidth = outerWidth;
    p.minHeight = outerHeight;
    p.top = (screenHeight - p.minHeight) / 2.0f;
    p.left = (screenWidth - p.minWidth) / 2.0f;
    return p;
}

}  // namespace tarnwick
