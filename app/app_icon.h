#pragma once
#include <QIcon>

namespace kolmara {

// The program's icon, drawn rather than loaded so that the program needs no
// resource files beside it.
QIcon ProgramIcon();

}  // namespace kolmara
