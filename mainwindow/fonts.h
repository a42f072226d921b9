// The classic dialog font, shared by the window and the About box.
#pragma once

#include <QFont>
#include <QStringList>

namespace zarnex {

// "MS Sans Serif" where it exists, the nearest sans serif elsewhere; sizes in pixels at 96 dpi.
QFont ClassicFont(int pixelHeight, bool bold = false);

}  // namespace zarnex
