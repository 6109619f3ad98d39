#pragma once

#include "month_model/colours.h"

namespace hiduke {

// Text must stand out from its fill by at least this contrast ratio; a
// colour that has to be changed for it is taken further, to where it reads
// with ease, as far as the fill allows.
inline constexpr double kLegibleContrast = 4.5;
inline constexpr double kComfortableContrast = 7.0;

// The contrast ratio of two colours, 1 (the same) to 21 (black on white),
// from their relative luminance in sRGB.
double contrastRatio(Rgb a, Rgb b);

// `text` itself when it is legible on `fill`; otherwise the same colour
// darkened (on a light fill) or lightened (on a dark fill) until it is
// comfortable to read, so that a Sunday stays red and a Saturday green.
Rgb legibleTextColour(Rgb text, Rgb fill);

}  // namespace hiduke
