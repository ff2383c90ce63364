#pragma once

#include <QWidget>
#include <cmath>

namespace vantrel::gui {

// Window measures are kept in twips (1440 per inch): 15 twips are one pixel at 96 dpi, scaled by
// the screen's logical dpi so the windows look right on HiDPI screens.
inline int ToPixels(const QWidget* w, int twips) {
    const int dpi = w ? w->logicalDpiX() : 96;
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

inline int ToTwips(const QWidget* w, int pixels) {
    const int dpi = w ? w->logicalDpiX() : 96;
    return static_cast<int>(std::lround(static_cast<double>(pixels) * 1440.0 / dpi));
}

}  // namespace vantrel::gui
