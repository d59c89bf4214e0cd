#pragma once

#include <QFont>
#include <QRect>
#include <QStringList>

namespace app {

// Converts a rectangle in dialog units to pixels at 96 dpi. The layout was
// drawn in dialog units of an 8-point dialog font, whose base units are 6 x 13
// pixels: 1.5 px per horizontal and 1.625 px per vertical unit. High-DPI
// screens scale the whole window on top of this.
inline int DialogUnitsToPixelsX(int units) {
    return (units * 6 + 2) / 4;
}
inline int DialogUnitsToPixelsY(int units) {
    return (units * 13 + 4) / 8;
}

inline QRect DialogRect(int x, int y, int width, int height) {
    const int left = DialogUnitsToPixelsX(x);
    const int top = DialogUnitsToPixelsY(y);
    return QRect(left, top, DialogUnitsToPixelsX(x + width) - left,
                 DialogUnitsToPixelsY(y + height) - top);
}

// The dialog font the layout was made for: 8 points, of Arial's widths.
inline QFont DialogFont(QFont base) {
    base.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans Condensed"), base.family()});
    base.setPointSize(8);
    return base;
}

} // namespace app
