#pragma once
// The application-wide mouse pointer as one value, mapped onto Qt's override cursor: at most one
// override is active at a time, and Default removes every override.
#include "pump/shell_port.h"

namespace tarnwick {

void ApplyMousePointer(MousePointer pointer);

}  // namespace tarnwick
