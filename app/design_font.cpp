#include "app/design_font.h"

#include <QFont>
#include <QWidget>

namespace tarnwick {

void ApplyDesignFont(QWidget& window) {
    QFont font = window.font();
    font.setPixelSize(10);
    window.setFont(font);
}

}  // namespace tarnwick
