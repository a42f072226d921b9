#include "mainwindow/fonts.h"

namespace zarnex {

QFont ClassicFont(int pixelHeight, bool bold) {
    QFont font;
    font.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "DejaVu Sans", "Sans Serif"});
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}

}  // namespace zarnex
