#pragma once
// Where the main window goes when it loads: its outer size becomes the minimum it may ever have,
// and it is centred on the screen, all in twips and 32-bit floats as the layout rules are.
namespace tarnwick {

struct LoadPlacement {
    float minWidth = 0;   // MinWidth: the outer width when the window loaded
    float minHeight = 0;  // MinHeight
    float left = 0;       // the outer frame's position relative to the screen's top left
    float top = 0;
};

// outerWidth/outerHeight: the window's outer size as it loads; screenWidth/screenHeight: the
// screen's size. A window larger than the screen gets a negative position, as the arithmetic
// gives.
LoadPlacement PlaceOnLoad(float outerWidth, float outerHeight, float screenWidth,
                          float screenHeight);

}  // namespace tarnwick
