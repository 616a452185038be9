#include "app/mouse_pointer.h"

#include <QApplication>
#include <QCursor>

namespace tarnwick {

void ApplyMousePointer(MousePointer pointer) {
    if (pointer == MousePointer::Default) {
        while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
        return;
    }
    const QCursor cursor(pointer == MousePointer::Busy ? Qt::WaitCursor : Qt::ArrowCursor);
    if (QApplication::overrideCursor() != nullptr)
        QApplication::changeOverrideCursor(cursor);
    else
        QApplication::setOverrideCursor(cursor);
}

}  // namespace tarnwick
