#include "app/design_font.h"

#include <QFont>
#include <QStringList>
#include <QWidget>

namespace tarnwick {

void ApplyDesignFont(QWidget& window) {
    QFont font = window.font();
    font.setFamilies(QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                 QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);  // 8 point at 96 pixels per inch, rounded as the classic font was
    window.setFont(font);
}

}  // namespace tarnwick
