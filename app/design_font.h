#pragma once
// The windows' design places were made for an 8-point dialog font. The desktop's usual 9- or
// 10-point font is wider and clips captions, column headers and dates at those places, so both
// windows use a 10-pixel font (about the width of the design font's text).
class QWidget;

namespace tarnwick {

void ApplyDesignFont(QWidget& window);

}  // namespace tarnwick
