#pragma once
#include <QIcon>
#include <QPixmap>

namespace kolmara {

// The program's icon, drawn rather than loaded so that the program needs no
// resource files beside it.
QIcon ProgramIcon();

// One size of it, square; the package's hicolor PNGs are made from these, so
// the desktop shows the same icon as the window.
QPixmap ProgramIconPixmap(int size);

}  // namespace kolmara
