#include "app/command_field.h"

#include <utility>

namespace tarnwick {

CommandField::CommandField(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_DontShowOnScreen);
    hide();
}

void CommandField::setText(std::string text) {
    text_ = std::move(text);
    emit changed();
}

}  // namespace tarnwick
