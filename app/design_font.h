#pragma once
// The windows' design places were made for the classic 8-point interface font, whose metrics an
// Arial-metric face matches. Both windows and the list use such a face (Liberation Sans, from
// Debian's fonts-liberation2 package; Arimo or Arial where they are installed instead) at
// 8 point as the classic interface drew it at 96 pixels per inch: 11 pixels. Without any of them
// the font system's sans-serif face stands in, and the list widens what would not fit.
class QWidget;

namespace tarnwick {

void ApplyDesignFont(QWidget& window);

}  // namespace tarnwick
