#pragma once
// The start-up logo, drawn by the program itself, shown while the busy wait is calibrated.

#include <QPixmap>

namespace kelvanor {

QPixmap make_startup_logo();

}  // namespace kelvanor
