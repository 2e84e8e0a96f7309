// Dialog units, the layouts' measure: pixels from the dialog font as Windows
// computes them.
#pragma once

#include <QFont>

namespace quillet {

// MulDiv as Windows rounds it: value * numerator / denominator, to nearest;
// -1 for a zero denominator.
int MulDivRound(int value, int numerator, int denominator);

// Dialog units to pixels with the dialog font's base units.
struct DialogBaseUnits {
    int x = 1;  // average character width in pixels
    int y = 1;  // character height in pixels

    int ToPixelsX(int units) const { return MulDivRound(units, x, 4); }
    int ToPixelsY(int units) const { return MulDivRound(units, y, 8); }
};

// The layouts' font, 8-point "MS Sans Serif", or the system's sans font at
// 8 points where that face is not installed (as on Linux).
QFont DialogFont();

// The base units of a font as Windows computes them: the rounded average
// width of "A".."Z" "a".."z", and the font's height.
DialogBaseUnits BaseUnitsOf(const QFont& font);

}  // namespace quillet
